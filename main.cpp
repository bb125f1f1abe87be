#include "platform/Toolkit.h"
#include "shell/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitToolkit(app);
    Main();
    return app.exec();
}
