#include "shell/frmMain.h"

#include "platform/ErrorReport.h"
#include "shell/frmMainMenu.h"

void Main()
{
    RunGuarded(nullptr, [] { ShowForm<frmMainMenu>(); });
}
