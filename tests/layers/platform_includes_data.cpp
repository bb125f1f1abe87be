// The engine layer knows no statement of ours.
#include "data/Statements.h"
