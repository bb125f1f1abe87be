// Subsystems do not reach into each other beyond the model lists.
#include "survey/frmSurvey.h"
