// quelt-db never uses a window.
#include "shell/frmMainMenu.h"
