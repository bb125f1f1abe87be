#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "shell/frmMain.h"
#include "shell/frmMainMenu.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

namespace {

// A caption as the user reads it: the & before an access key is not shown.
QString shown(QString caption)
{
    return caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(u'&')
        .replace(u'\x01', u'&');
}

} // namespace

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

        // Every menu and item has an access key, none used twice at one level.
        QStringList structure;
        QStringList menuKeys;
        for (QAction* top : Ui::Find<QMenuBar>(menu, QStringLiteral("menuBar"))->actions()) {
            QMenu* sub = top->menu();
            structure << sub->objectName() + u'=' + shown(sub->title());
            menuKeys << QKeySequence::mnemonic(sub->title()).toString();
            QStringList itemKeys;
            for (QAction* item : sub->actions()) {
                structure << item->objectName() + u'=' + shown(item->text());
                itemKeys << QKeySequence::mnemonic(item->text()).toString();
            }
            QVERIFY2(!itemKeys.contains(QString()) && itemKeys.removeDuplicates() == 0,
                     qPrintable(itemKeys.join(u' ')));
        }
        QVERIFY2(!menuKeys.contains(QString()) && menuKeys.removeDuplicates() == 0,
                 qPrintable(menuKeys.join(u' ')));
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

    // The keys a user presses on the main menu, and the window they open.
    void keyboardReachesEveryItem_data()
    {
        QTest::addColumn<QList<QKeyCombination>>("keys");
        QTest::addColumn<QString>("window");
        const auto alt = [](Qt::Key key) { return QKeyCombination(Qt::AltModifier, key); };
        QTest::newRow("F10, access key")
            << QList<QKeyCombination>{Qt::Key_F10, Qt::Key_A} << "frmQuestion";
        QTest::newRow("F10, Right, Return")
            << QList<QKeyCombination>{Qt::Key_F10, Qt::Key_Right, Qt::Key_Return} << "frmNewSurvey";
        QTest::newRow("F10, Right, Down, Return")
            << QList<QKeyCombination>{Qt::Key_F10, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return}
            << "frmSurvey";
        QTest::newRow("Alt+S, access key")
            << QList<QKeyCombination>{alt(Qt::Key_S), Qt::Key_M} << "frmSurvey";
        QTest::newRow("F10, Left wraps round")
            << QList<QKeyCombination>{Qt::Key_F10, Qt::Key_Left, Qt::Key_Down, Qt::Key_Enter}
            << "frmModelTable";
        QTest::newRow("Alt+A, access key")
            << QList<QKeyCombination>{alt(Qt::Key_A), Qt::Key_Q} << "frmModelTable";
    }

    void keyboardReachesEveryItem()
    {
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(QString, window);
        TestDb fixture;
        MessageCapture box;
        QWidget* menu = ShowForm<frmMainMenu>();
        Ui::Activate(menu);
        for (const QKeyCombination key : keys)
            Ui::Key(key.key(), key.keyboardModifiers());
        QWidget* opened = Ui::Window(window);
        QVERIFY2(opened && opened->isVisible(), qPrintable(window));
        QCOMPARE(box.messages, QStringList());
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
