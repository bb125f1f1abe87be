#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "shell/frmMain.h"
#include "shell/frmMainMenu.h"

#include <QAccessible>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Makes a file or folder read-only for this process, undone when it goes:
// by its permissions, or for the superuser, whom they do not stop, by the
// file system's immutable flag.
class ReadOnly
{
public:
    explicit ReadOnly(const QString& path) : m_path(path) { m_done = set(true); }
    ~ReadOnly() { undo(); }
    bool done() const { return m_done; }
    void undo() { m_done = m_done && !set(false); }

private:
    bool set(bool on)
    {
        if (::geteuid() != 0) {
            const auto write = QFile::WriteOwner | QFile::WriteUser;
            const auto now = QFile::permissions(m_path);
            return QFile::setPermissions(m_path, on ? now & ~write : now | write);
        }
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }

    QString m_path;
    bool m_done = false;
};

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
        QCOMPARE(structure,
                 (QStringList{"menuQuestion=Questions", "miAddQuestion=Add Question",
                              "miCorrectQuestion=Correct Question", "menuSurvey=Survey",
                              "miCompleteSurvey=Answer New Survey",
                              "miModifySurveyAnswers=Modify Survey Answers",
                              "miCorrectSurvey=Correct Survey Header", "menuAnalysis=Analysis",
                              "miQueltTable=Quelt Analysis", "miCompareSurveys=Compare Surveys",
                              "miCompanyTrend=Company Trend"}));
    }

    void eachItemShowsItsWindowOnce_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("escapes"); // Escape closes it
        QTest::newRow("questions") << "miAddQuestion"
                                   << "frmQuestion"
                                   << "Form1" << true;
        QTest::newRow("new survey") << "miCompleteSurvey"
                                    << "frmNewSurvey"
                                    << "Answer New Survey" << true;
        QTest::newRow("answers") << "miModifySurveyAnswers"
                                 << "frmSurvey"
                                 << "Complete Survey" << false;
        QTest::newRow("analysis") << "miQueltTable"
                                  << "frmModelTable"
                                  << "Quelt Analysis" << true;
        QTest::newRow("comparison") << "miCompareSurveys"
                                    << "frmCompareSurveys"
                                    << "Compare Surveys" << true;
        QTest::newRow("trend") << "miCompanyTrend"
                               << "frmCompanyTrend"
                               << "Company Trend" << true;
        QTest::newRow("correct question") << "miCorrectQuestion"
                                          << "frmCorrectQuestion"
                                          << "Correct Question" << true;
        QTest::newRow("correct header") << "miCorrectSurvey"
                                        << "frmCorrectSurvey"
                                        << "Correct Survey Header" << true;
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
        // The desktop's menu entry's icon, in the title bar too.
        QVERIFY(!shown->windowIcon().pixmap(32).isNull());

        // Escape closes a window as its close box does, the answering window
        // excepted, where one key would be too easy a way to lose a cell's
        // scores.
        QFETCH(bool, escapes);
        Ui::Activate(shown);
        Ui::Key(Qt::Key_Escape);
        Ui::Settle();
        QCOMPARE(Ui::Window(window) == nullptr, escapes);
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
        QTest::newRow("Alt, Down, Return")
            << QList<QKeyCombination>{alt(Qt::Key_Alt), Qt::Key_Down, Qt::Key_Return}
            << "frmQuestion";
        QTest::newRow("Alt+S, access key")
            << QList<QKeyCombination>{alt(Qt::Key_S), Qt::Key_M} << "frmSurvey";
        QTest::newRow("F10, Left wraps round")
            << QList<QKeyCombination>{Qt::Key_F10, Qt::Key_Left, Qt::Key_Down, Qt::Key_Enter}
            << "frmCompareSurveys";
        QTest::newRow("Alt+A, access key")
            << QList<QKeyCombination>{alt(Qt::Key_A), Qt::Key_Q} << "frmModelTable";
        QTest::newRow("Alt+A, T") << QList<QKeyCombination>{alt(Qt::Key_A), Qt::Key_T}
                                  << "frmCompanyTrend";
        QTest::newRow("Alt+S, correct")
            << QList<QKeyCombination>{alt(Qt::Key_S), Qt::Key_C} << "frmCorrectSurvey";
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

    // What a screen reader meets in each window: a frame named by its title,
    // and in it every control the keys reach named (by its caption, or for
    // the pickers without one by what they pick), a locked box read-only and
    // never editable, and nothing the window hides.
    void everyControlIsNamed_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("names"); // objectName=accessible name
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("main menu")
            << ""
            << "frmMainMenu" << QStringList{"menuBar=Main menu"} << QStringList();
        QTest::newRow("questions")
            << "miAddQuestion"
            << "frmQuestion"
            << QStringList{"cmbModelRow=Row",      "cmbModelCol=Column",     "txtLabel=Number",
                           "txtQuestion=Question", "Check1=Question Header", "butSubmit=Submit"}
            << QStringList{"lstModelRow", "lstModelCol"};
        QTest::newRow("new survey")
            << "miCompleteSurvey"
            << "frmNewSurvey"
            << QStringList{"txtSurveyID=Survey", "txtCompletedBy=Completed By",
                           "txtCompany=Company", "butCancel=Cancel"}
            << QStringList();
        QTest::newRow("answers") << "miModifySurveyAnswers"
                                 << "frmSurvey"
                                 << QStringList{"cmbModelRow=Model row",
                                                "cmbModelCol=Model column",
                                                "cmbSurveyID=Survey number",
                                                "txtCompletedBy=Completed by",
                                                "txtCompany=Company",
                                                "butSubmit=Submit",
                                                "Label3=Score 0",
                                                "Label7=Score 4",
                                                "butWithdraw=Withdraw Cell"}
                                 << QStringList{"lstModelRow", "SurveyQuestionControl1(0)",
                                                "optChoice(0)", "txtQuestionID"};
        QTest::newRow("analysis") << "miQueltTable"
                                  << "frmModelTable"
                                  << QStringList{"cmbSurvey=Survey", "chkColorCoding=Color Coding",
                                                 "butResults=Show Results", "picTable=Results grid"}
                                  << QStringList{"lstRows", "lstCols"};
        QTest::newRow("comparison")
            << "miCompareSurveys"
            << "frmCompareSurveys"
            << QStringList{"cmbFirstSurvey=First survey", "cmbSecondSurvey=Second survey",
                           "butCompare=Compare", "picCompareArea=Comparison",
                           "picCompare=Comparison grid"}
            << QStringList();
        QTest::newRow("trend") << "miCompanyTrend"
                               << "frmCompanyTrend"
                               << QStringList{"cmbCompany=Company", "butTrend=Show Trend",
                                              "picTrendArea=Trend", "picTrend=Trend grid"}
                               << QStringList();
        QTest::newRow("correct question")
            << "miCorrectQuestion"
            << "frmCorrectQuestion"
            << QStringList{"cmbQuestion=Question", "txtLabel=Number", "txtQuestion=Text"}
            << QStringList();
        QTest::newRow("correct header")
            << "miCorrectSurvey"
            << "frmCorrectSurvey" << QStringList{"cmbSurveyID=Survey", "txtCompany=Company"}
            << QStringList();
    }

    void everyControlIsNamed()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        QFETCH(QStringList, names);
        QFETCH(QStringList, hidden);
        TestDb fixture;
        MessageCapture box;
        QWidget* menu = ShowForm<frmMainMenu>();
        if (!item.isEmpty())
            Ui::Trigger(Ui::Find<QAction>(menu, item));
        // As opened: once a picker holds a choice, Qt on Linux names it by
        // the choice.
        QWidget* form = Ui::FindWindow(window);
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(form);
        QCOMPARE(frame->role(), QAccessible::Window);
        QCOMPARE(frame->text(QAccessible::Name), form->windowTitle());
        QStringList met; // objectName=name, of every control in the tree
        QList<QAccessibleInterface*> pending{frame};
        while (!pending.isEmpty()) {
            QAccessibleInterface* node = pending.takeFirst();
            for (int i = 0; i < node->childCount(); ++i) {
                QAccessibleInterface* child = node->child(i);
                const QAccessible::State state = child->state();
                const QString name = child->text(QAccessible::Name);
                const QString what = child->object() ? child->object()->objectName() : QString();
                // Qt's own parts (a closed menu, a picker's list, a box's
                // scroll bar while it needs none) are Qt's to show.
                const auto* part = qobject_cast<QWidget*>(child->object());
                if (state.invisible && part &&
                    (part->window()->windowType() == Qt::Popup ||
                     what.startsWith(QLatin1String("qt_"))))
                    continue;
                QVERIFY2(!state.invisible, qPrintable(what));
                QVERIFY2(!state.focusable || !name.isEmpty(), qPrintable(what));
                QVERIFY2(!(state.readOnly && state.editable), qPrintable(what));
                met << what + u'=' + name;
                pending << child;
            }
        }
        for (const QString& name : names)
            QVERIFY2(met.contains(name), qPrintable(name + u'\n' + met.join(u'\n')));
        for (const QString& name : hidden)
            QVERIFY2(std::none_of(met.begin(), met.end(),
                                  [&](const QString& m) { return m.startsWith(name + u'='); }),
                     qPrintable(name));
        QVERIFY2(box.messages.isEmpty(), qPrintable(box.last()));
    }

    // On a file that cannot be written the entry windows say so, plainly and
    // once, as they are shown, before anything is typed.
    void entryWindowsTellAReadOnlyFile_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("folder"); // the folder is read-only, not the file
        for (const char* item : {"miAddQuestion", "miCompleteSurvey", "miModifySurveyAnswers",
                                 "miCorrectQuestion", "miCorrectSurvey"}) {
            QTest::addRow("%s, file", item) << item << false;
            QTest::addRow("%s, folder", item) << item << true;
        }
    }

    void entryWindowsTellAReadOnlyFile()
    {
        QFETCH(QString, item);
        QFETCH(bool, folder);
        QUELT_FILE_ONLY("a file's and its folder's rights");
        TestDb fixture;
        MessageCapture box;
        const QString path = folder ? fixture.dir() : fixture.path();
        ReadOnly locked(path);
        if (!locked.done())
            QSKIP("nothing here can make a file read-only for this user");
        Ui::MenuItem(item);
        const QString file = QFileInfo(fixture.path()).absoluteFilePath();
        const QString told =
            folder ? QStringLiteral("The folder %1 does not let the database engine write its "
                                    "journal there, so nothing can be stored in %2.")
                         .arg(QFileInfo(fixture.dir()).absoluteFilePath(), file)
                   : QStringLiteral("The database file %1 is read-only, so nothing can be "
                                    "stored in it.")
                         .arg(file);
        QCOMPARE(box.messages, QStringList{told});
        Ui::MenuItem(item);
        QCOMPARE(box.messages.size(), 1);
        locked.undo();
        Ui::MenuItem(item);
        QCOMPARE(box.messages.size(), 1);
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
