// quelt-db computes and draws results without the window that shows them.
#include "analysis/frmModelTable.h"
