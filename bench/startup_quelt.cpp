// The program's own start-up, up to the main menu on screen, then an exit.
// With --show-results N it goes on as a user would: opens the results
// window on quelt.mdb in the current folder, shows survey N and prints its
// peak memory.

#include "StartupWait.h"

#include "analysis/frmModelTable.h"
#include "platform/MessageBox.h"
#include "platform/Toolkit.h"
#include "shell/frmMain.h"
#include "shell/frmMainMenu.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <cstdlib>
#include <cstring>

namespace {

int showResults(const char* survey)
{
    // A message here is a failure; it must not wait for a click.
    MessageBox::SetHandler([](const QString& text, QWidget*) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::exit(2);
    });
    frmModelTable* form = ShowForm<frmModelTable>();
    WaitUntilExposed(form);
    const int index = form->cmbSurvey->findText(QString::fromLatin1(survey));
    if (index < 0) {
        std::fprintf(stderr, "no survey %s\n", survey);
        return 2;
    }
    form->cmbSurvey->setCurrentIndex(index);
    form->butResults->click();
    QCoreApplication::processEvents();
    PrintPeak();
    ExitNow();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitToolkit(app);
    Main();
    frmMainMenu* menu = FormInstance<frmMainMenu>();
    if (!menu)
        return 1;
    WaitUntilExposed(menu);
    if (argc > 2 && std::strcmp(argv[1], "--show-results") == 0)
        return showResults(argv[2]);
    ExitNow();
}
