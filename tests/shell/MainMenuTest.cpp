#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "shell/frmMain.h"
#include "shell/frmMainMenu.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

class MainMenuTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    void startUpShowsTheMenu()
    {
        Main();
        QWidget* menu = Ui::Window(QStringLiteral("frmMainMenu"));
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->windowTitle(), QStringLiteral("Quelt Analysis Software"));
        auto* label = Ui::Find<QLabel>(menu, QStringLiteral("Label1"));
        QCOMPARE(label->text(), QStringLiteral("Quelt Analysis Software"));
        QCOMPARE(label->font().pointSizeF(), 24.0);
        QCOMPARE(label->font().weight(), QFont::Normal);

        QStringList structure;
        for (QAction* top : Ui::Find<QMenuBar>(menu, QStringLiteral("menuBar"))->actions()) {
            QMenu* sub = top->menu();
            structure << sub->objectName() + u'=' + sub->title();
            for (QAction* item : sub->actions())
                structure << item->objectName() + u'=' + item->text();
        }
        QCOMPARE(structure, (QStringList{"menuQuestion=Questions", "miAddQuestion=Add Question",
                                         "menuSurvey=Survey", "miCompleteSurvey=Answer New Survey",
                                         "miModifySurveyAnswers=Modify Survey Answers",
                                         "menuAnalysis=Analysis", "miQueltTable=Quelt Analysis"}));
    }

    void eachItemShowsItsWindowOnce_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        QTest::newRow("questions") << "miAddQuestion" << "frmQuestion" << "Form1";
        QTest::newRow("new survey") << "miCompleteSurvey" << "frmNewSurvey" << "Answer New Survey";
        QTest::newRow("answers") << "miModifySurveyAnswers" << "frmSurvey" << "Complete Survey";
        QTest::newRow("analysis") << "miQueltTable" << "frmModelTable" << "Quelt Analysis";
    }

    void eachItemShowsItsWindowOnce()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(QString, title);
        TestDb fixture;
        MessageCapture box;
        QWidget* menu = ShowForm<frmMainMenu>();
        auto* action = Ui::Find<QAction>(menu, item);
        Ui::Trigger(action);
        QWidget* shown = Ui::Window(window);
        QVERIFY(shown && shown->isVisible());
        QCOMPARE(shown->windowTitle(), title);
        Ui::Trigger(action);
        int count = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            count += w->objectName() == window && w->isVisible();
        QCOMPARE(count, 1);
        QVERIFY(menu->isVisible());
        QVERIFY2(box.messages.isEmpty(), qPrintable(box.last()));
    }

    void closingTheMenuClosesEverything()
    {
        TestDb fixture;
        QWidget* menu = ShowForm<frmMainMenu>();
        Ui::Trigger(Ui::Find<QAction>(menu, QStringLiteral("miAddQuestion")));
        Ui::Trigger(Ui::Find<QAction>(menu, QStringLiteral("miQueltTable")));
        Ui::FindWindow(QStringLiteral("frmQuestion"))->hide();
        Ui::CloseBox(menu);
        for (const char* name : {"frmMainMenu", "frmQuestion", "frmModelTable"})
            QVERIFY2(!Ui::Window(QString::fromLatin1(name)), name);
    }
};

QUELT_TEST(MainMenuTest);
#include "MainMenuTest.moc"
