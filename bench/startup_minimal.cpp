// The least a Qt program does to put a window on screen: the yardstick for
// the program's start-up. With --menu-and-title it also carries a menu bar
// of three menus and a 24 pt title, as the main menu does, to show what text
// and menus alone cost; with --peak it prints its peak memory.

#include "StartupWait.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QWidget>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    const bool peak = argc > 1 && std::strcmp(argv[1], "--peak") == 0;
    if (argc > 1 && std::strcmp(argv[1], "--menu-and-title") == 0) {
        auto* bar = new QMenuBar(&window);
        bar->addMenu(QStringLiteral("Questions"))->addAction(QStringLiteral("Add Question"));
        bar->addMenu(QStringLiteral("Survey"))->addAction(QStringLiteral("Answer New Survey"));
        bar->addMenu(QStringLiteral("Analysis"))->addAction(QStringLiteral("Quelt Analysis"));
        auto* title = new QLabel(QStringLiteral("Quelt Analysis Software"), &window);
        QFont font = title->font();
        font.setPointSizeF(24);
        title->setFont(font);
        title->move(40, 100);
        window.resize(445, 240);
    }
    window.show();
    WaitUntilExposed(&window);
    if (peak)
        PrintPeak();
    ExitNow();
}
