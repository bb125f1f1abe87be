#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"

#include <QLabel>
#include <QListWidget>
#include <QProcess>

namespace {

const QString kChooseCell = QStringLiteral("Choose a model row and a model column first.");
const QString kTypeText = QStringLiteral("Type the question's text first; nothing was stored.");
const QString kNoNumber =
    QStringLiteral("No further question number is available; nothing was stored.");
const QString kDiscard =
    QStringLiteral("The question typed in Add Question is not stored. Discard it?");

// "Add Question" on the main menu: the window it shows, and its controls
// found by name.
struct AddQuestion
{
    static QWidget* open()
    {
        Ui::MenuItem("miAddQuestion");
        return Ui::FindWindow("frmQuestion");
    }
    QWidget* form = open();
    QComboBox* cmbModelRow = Ui::Find<QComboBox>(form, "cmbModelRow");
    QListWidget* lstModelRow = Ui::Find<QListWidget>(form, "lstModelRow");
    QComboBox* cmbModelCol = Ui::Find<QComboBox>(form, "cmbModelCol");
    QListWidget* lstModelCol = Ui::Find<QListWidget>(form, "lstModelCol");
    TextBox* txtLabel = Ui::Find<TextBox>(form, "txtLabel");
    MultiLineTextBox* txtQuestion = Ui::Find<MultiLineTextBox>(form, "txtQuestion");
    QAbstractButton* Check1 = Ui::Find<QAbstractButton>(form, "Check1");
    QAbstractButton* butSubmit = Ui::Find<QAbstractButton>(form, "butSubmit");
    QAbstractButton* butCancel = Ui::Find<QAbstractButton>(form, "butCancel");
};

QStringList Numbers(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->item(i)->text());
    return items;
}

// Types as keystrokes, one character at a time; a line break is Return.
void Type(QWidget* box, const QString& text)
{
    for (const QChar ch : text) {
        if (ch == u'\n')
            QTest::keyClick(box, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

} // namespace

class QuestionWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    void listsHoldTheModel_data()
    {
        QTest::addColumn<QStringList>("rowInserts");
        QTest::addColumn<QStringList>("colInserts");
        QTest::addColumn<QStringList>("rowNames");
        QTest::addColumn<QStringList>("rowNumbers");
        QTest::addColumn<QStringList>("colNames");
        QTest::addColumn<QStringList>("colNumbers");

        QTest::newRow("plain model")
            << QStringList{"0, 'Row A'", "1, 'Row B'"} << QStringList{"0, 'Col A'"}
            << QStringList{"Row A", "Row B"} << QStringList{"0", "1"} << QStringList{"Col A"}
            << QStringList{"0"};
        QTest::newRow("empty model") << QStringList{} << QStringList{} << QStringList{}
                                     << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("empty rows only")
            << QStringList{} << QStringList{"0, 'Col A'"} << QStringList{} << QStringList{}
            << QStringList{"Col A"} << QStringList{"0"};
        // The engine's order, not the numbers' order: only the lockstep ties them.
        QTest::newRow("engine order kept")
            << QStringList{"2, 'Two'", "0, 'Zero'", "1, 'One'"}
            << QStringList{"1, 'B'", "0, 'A'"} << QStringList{"Two", "Zero", "One"}
            << QStringList{"2", "0", "1"} << QStringList{"B", "A"} << QStringList{"1", "0"};
        QTest::newRow("blanks trimmed")
            << QStringList{"' 3 ', '  Padded  '", "4, 'Inner  gap'"}
            << QStringList{"0, ' Col '"} << QStringList{"Padded", "Inner  gap"}
            << QStringList{"3", "4"} << QStringList{"Col"} << QStringList{"0"};
        QTest::newRow("null name listed empty, null number left out")
            << QStringList{"0, 'First'", "NULL, 'Unnumbered'", "1, NULL", "'  ', 'Blank'",
                           "2, 'Last'"}
            << QStringList{"NULL, NULL", "0, 'Only'"} << QStringList{"First", "", "Last"}
            << QStringList{"0", "1", "2"} << QStringList{"Only"} << QStringList{"0"};
    }

    void listsHoldTheModel()
    {
        QUELT_FILE_ONLY("text in number columns, rows in no order of their key");
        QFETCH(QStringList, rowInserts);
        QFETCH(QStringList, colInserts);
        TestDb db({}, {}, true);
        for (const QString& values : rowInserts)
            db.exec(QStringLiteral("INSERT INTO model_row VALUES (%1)").arg(values));
        for (const QString& values : colInserts)
            db.exec(QStringLiteral("INSERT INTO model_column VALUES (%1)").arg(values));

        AddQuestion w;
        QVERIFY(w.form->isVisible());
        QTEST(Ui::Items(w.cmbModelRow), "rowNames");
        QTEST(Numbers(w.lstModelRow), "rowNumbers");
        QTEST(Ui::Items(w.cmbModelCol), "colNames");
        QTEST(Numbers(w.lstModelCol), "colNumbers");
        QCOMPARE(w.cmbModelRow->currentIndex(), -1);
        QCOMPARE(w.cmbModelCol->currentIndex(), -1);
    }

    void windowMatchesItsLayout()
    {
        TestDb db;
        AddQuestion w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(Ui::Find<QLabel>(w.form, "Label1")->text(), QStringLiteral("Add Question"));
        QVERIFY(!w.cmbModelRow->isEditable());
        QVERIFY(!w.cmbModelCol->isEditable());
        QVERIFY(!w.lstModelRow->isVisible());
        QVERIFY(!w.lstModelCol->isVisible());
        QVERIFY(!w.Check1->isChecked());
        QCOMPARE(Ui::TabOrder(w.form),
                 (QStringList{"txtLabel", "txtQuestion", "butSubmit", "butCancel", "Check1",
                              "cmbModelRow", "cmbModelCol"}));
    }

    // The worked example: label 4, text Why, row 2, column 3.
    void submitStoresTheQuestion()
    {
        TestDb db({"R0", "R1", "R2"}, {"C0", "C1", "C2", "C3"});
        MessageCapture mc;
        AddQuestion w;
        Ui::PickText(w.cmbModelRow, QStringLiteral("R2"));
        Ui::PickText(w.cmbModelCol, QStringLiteral("C3"));
        QTest::keyClicks(w.txtLabel, QStringLiteral("4"));
        QTest::keyClicks(w.txtQuestion, QStringLiteral("Why"));
        Ui::Click(w.butSubmit);

        const auto stored = db.rows(QStringLiteral(
            "SELECT id, label, question_text, row_id, col_id FROM question"));
        QCOMPARE(stored.size(), 1);
        QVERIFY(!stored[0][0].isNull());
        QCOMPARE(stored[0].mid(1), (QVariantList{"4", "Why", 2, 3}));
        QCOMPARE(w.txtLabel->text(), QString());
        QCOMPARE(w.txtQuestion->text(), QString());
        QCOMPARE(w.cmbModelRow->currentText(), QStringLiteral("R2"));
        QCOMPARE(w.cmbModelCol->currentText(), QStringLiteral("C3"));
        QVERIFY(w.form->isVisible());
        QCOMPARE(mc.messages, QStringList());

        // The same cell again needs only new texts; a repeat is stored again.
        QTest::keyClicks(w.txtLabel, QStringLiteral("4"));
        QTest::keyClicks(w.txtQuestion, QStringLiteral("Why"));
        Ui::Click(w.butSubmit);
        const auto both = db.rows(QStringLiteral("SELECT id, label, question_text, row_id, "
                                                 "col_id FROM question ORDER BY id"));
        QCOMPARE(both.size(), 2);
        QVERIFY(both[1][0].toLongLong() > both[0][0].toLongLong());
        QCOMPARE(both[1].mid(1), both[0].mid(1));
    }

    // Keys alone: the pickers by their arrow keys, Return in the label box
    // on to the question box, where it is a line break, Return on the focused
    // Submit stores and on Cancel hides the window. Typing goes on in the
    // label box after a Submit and when the window comes back.
    void keyboardOnly()
    {
        TestDb db({"R0", "R1"}, {"C0", "C1"});
        MessageCapture mc;
        AddQuestion w;
        Ui::Activate(w.form);
        QCOMPARE(Ui::Focused(), QStringLiteral("txtLabel"));
        Ui::Key(Qt::Key_Tab, Qt::ShiftModifier);
        Ui::Key(Qt::Key_Down);
        Ui::Key(Qt::Key_Down);
        Ui::Key(Qt::Key_Tab, Qt::ShiftModifier);
        Ui::Key(Qt::Key_Down);
        QCOMPARE(Ui::Focused(), QStringLiteral("cmbModelRow"));
        Ui::Key(Qt::Key_Tab);
        Ui::Key(Qt::Key_Tab);
        Type(QApplication::focusWidget(), QStringLiteral("4"));
        Ui::Key(Qt::Key_Return);
        QCOMPARE(Ui::Focused(), QStringLiteral("txtQuestion"));
        Type(QApplication::focusWidget(), QStringLiteral("Why\nnot"));
        QCOMPARE(db.count(QStringLiteral("question")), 0);
        Ui::Key(Qt::Key_Tab);
        Ui::Key(Qt::Key_Return);
        QCOMPARE(
            db.rows(QStringLiteral("SELECT label, question_text, row_id, col_id FROM question")),
            (QList<QVariantList>{{"4", "Why\nnot", 0, 1}}));
        QCOMPARE(w.txtLabel->text(), QString());
        QCOMPARE(Ui::Focused(), QStringLiteral("txtLabel"));

        // Returns on the emptied form store nothing.
        Ui::Key(Qt::Key_Return);
        Ui::Key(Qt::Key_Tab);
        Ui::Key(Qt::Key_Enter);
        QCOMPARE(mc.messages, QStringList{kTypeText});
        QCOMPARE(Ui::Focused(), QStringLiteral("txtQuestion"));
        Ui::Key(Qt::Key_Tab);
        Ui::Key(Qt::Key_Tab);
        Ui::Key(Qt::Key_Return);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(db.count(QStringLiteral("question")), 1);
        AddQuestion::open();
        QCOMPARE(w.form->focusWidget(), w.txtLabel);
        QCOMPARE(mc.messages.size(), 1);
    }

    void textsStoredAsTyped_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("header");

        QTest::newRow("apostrophes") << "Q'1" << "Isn't it 'quoted'?" << false;
        QTest::newRow("statement-like") << "'); DELETE FROM question; --" << "x', 1, 1); --"
                                        << false;
        QTest::newRow("blanks kept") << "  padded  " << "   lead and trail   " << false;
        QTest::newRow("empty label") << ""
                                     << "Only a text" << false;
        QTest::newRow("line breaks") << "L" << "first line\nsecond line\n\nlast\n" << false;
        QTest::newRow("other characters")
            << QString::fromUtf8("Ünïcødé «ω» \u00a0nbsp")
            << QString::fromUtf8("tab\there — €, \\ % _ \" ; non\u00a0breaking")
            << false;
        QTest::newRow("header ticked") << "H" << "Ticking changes nothing stored" << true;
    }

    void textsStoredAsTyped()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(bool, header);
        TestDb db;
        AddQuestion w;
        Ui::Pick(w.cmbModelRow, 1);
        Ui::Pick(w.cmbModelCol, 2);
        if (header)
            Ui::Click(w.Check1);
        Type(w.txtLabel, label);
        Type(w.txtQuestion, text);
        QCOMPARE(w.txtLabel->text(), label);
        QCOMPARE(w.txtQuestion->text(), text);
        Ui::Click(w.butSubmit);

        QCOMPARE(db.rows(QStringLiteral("SELECT label, question_text, row_id, col_id FROM "
                                        "question")),
                 (QList<QVariantList>{{label, text, 1, 2}}));
        QCOMPARE(db.count(QStringLiteral("model_row")), 3);
    }

    void longTextsStoredWhole()
    {
        TestDb db;
        AddQuestion w;
        Ui::Pick(w.cmbModelRow, 0);
        Ui::Pick(w.cmbModelCol, 0);
        QString label(100000, u'L');
        label[0] = u'\'';
        QString text;
        for (int i = 0; text.size() < 100000; ++i)
            text += QStringLiteral("line %1 it's\n").arg(i);
        text.truncate(100000);
        w.txtLabel->setText(label);
        w.txtQuestion->setText(text);
        Ui::Click(w.butSubmit);

        QCOMPARE(db.value(QStringLiteral("SELECT label FROM question")).toString(), label);
        QCOMPARE(db.value(QStringLiteral("SELECT question_text FROM question")).toString(), text);
    }

    // What cannot be stored is said, and nothing typed is lost. A question
    // numbered beyond 32767 could never be shown for answering.
    void submitRefusals_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("largest"); // the largest question number stored; 0: none
        QTest::addColumn<QString>("message");
        QTest::newRow("no row") << -1 << 0 << "Kept?" << 0 << kChooseCell;
        QTest::newRow("no column") << 0 << -1 << "Kept?" << 0 << kChooseCell;
        QTest::newRow("neither") << -1 << -1 << "Kept?" << 0 << kChooseCell;
        QTest::newRow("no question text") << 0 << 0 << "" << 0 << kTypeText;
        QTest::newRow("blank question text") << 0 << 0 << " \n\t " << 0 << kTypeText;
        QTest::newRow("number 32767 taken") << 0 << 0 << "Kept?" << 32767 << kNoNumber;
        QTest::newRow("number 32767 left") << 0 << 0 << "Kept?" << 32766 << QString();
    }

    void submitRefusals()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(int, largest);
        QFETCH(QString, message);
        TestDb db;
        if (largest > 0) {
            db.exec(QStringLiteral("INSERT INTO question (id, label, question_text, row_id, "
                                   "col_id) VALUES (%1, 'L', 'Last', 2, 2)")
                        .arg(largest));
            // A server numbers on from its own count, which a file's copy sets.
            if (TestDb::OnServer())
                db.value(QStringLiteral("SELECT setval(pg_get_serial_sequence('question', "
                                        "'id'), %1)")
                             .arg(largest));
        }
        const qint64 before = db.count(QStringLiteral("question"));
        MessageCapture mc;
        AddQuestion w;
        if (row >= 0)
            Ui::Pick(w.cmbModelRow, row);
        if (col >= 0)
            Ui::Pick(w.cmbModelCol, col);
        QTest::keyClicks(w.txtLabel, QStringLiteral("1"));
        Type(w.txtQuestion, text);
        Ui::Click(w.butSubmit);

        if (message.isEmpty()) {
            QCOMPARE(mc.messages, QStringList());
            QCOMPARE(db.value(QStringLiteral("SELECT MAX(id) FROM question")).toInt(), 32767);
            return;
        }
        QCOMPARE(mc.messages, QStringList{message});
        QCOMPARE(db.count(QStringLiteral("question")), before);
        QCOMPARE(w.txtLabel->text(), QStringLiteral("1"));
        QCOMPARE(w.txtQuestion->text(), text);
        // The file is as usable as before.
        QProcess check;
        check.start(QStringLiteral(QUELT_DB_TOOL), {QStringLiteral("check"), db.location()});
        QVERIFY(check.waitForFinished());
        QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
    }

    // Closing the window, or the program, asks before typed text goes;
    // Cancel keeps it without asking.
    void closingAsksBeforeTypedTextGoes_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("closedBy"); // "close box", "Escape", or the main menu's
        QTest::addColumn<bool>("yes");
        QTest::newRow("nothing typed") << ""
                                       << ""
                                       << "close box" << false;
        QTest::newRow("a label, No") << "7"
                                     << ""
                                     << "close box" << false;
        QTest::newRow("a text, Yes") << ""
                                     << "Half done"
                                     << "close box" << true;
        QTest::newRow("Escape, No") << "7"
                                    << "Half done"
                                    << "Escape" << false;
        QTest::newRow("Escape, Yes") << ""
                                     << "Half done"
                                     << "Escape" << true;
        QTest::newRow("program closed, No") << ""
                                            << "Half done"
                                            << "program" << false;
        QTest::newRow("program closed, Yes") << "7"
                                             << "Half done"
                                             << "program" << true;
    }

    void closingAsksBeforeTypedTextGoes()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(QString, closedBy);
        QFETCH(bool, yes);
        const bool mainMenu = closedBy == QLatin1String("program");
        TestDb db;
        MessageCapture mc;
        AddQuestion w;
        w.txtLabel->setText(label);
        w.txtQuestion->setText(text);
        mc.answers << yes;
        if (mainMenu) {
            Ui::Click(w.butCancel);
            Ui::CloseBox(Ui::FindWindow("frmMainMenu"));
        } else if (closedBy == QLatin1String("Escape")) {
            Ui::Activate(w.form);
            w.txtQuestion->setFocus();
            Ui::Key(Qt::Key_Escape);
            Ui::Settle();
        } else {
            Ui::CloseBox(w.form);
        }

        const bool typed = !label.isEmpty() || !text.isEmpty();
        QCOMPARE(mc.messages, typed ? QStringList{kDiscard} : QStringList());
        QCOMPARE(Ui::Window("frmQuestion") == nullptr, !typed || yes);
        QCOMPARE(Ui::Window("frmMainMenu") == nullptr, mainMenu && yes);
        if (typed && !yes) {
            QCOMPARE(w.txtLabel->text(), label);
            QCOMPARE(w.txtQuestion->text(), text);
        }
        QCOMPARE(db.count(QStringLiteral("question")), 0);
    }

    // When the engine refuses the insert, the report says so and nothing typed is lost.
    void failedInsertKeepsTheTexts()
    {
        QUELT_FILE_ONLY("a trigger in SQLite's words");
        TestDb db;
        MessageCapture mc;
        AddQuestion w;
        Ui::Pick(w.cmbModelRow, 0);
        Ui::Pick(w.cmbModelCol, 0);
        QTest::keyClicks(w.txtLabel, QStringLiteral("1"));
        QTest::keyClicks(w.txtQuestion, QStringLiteral("Refused"));
        db.exec(QStringLiteral("DROP TABLE question"));
        db.exec(
            QStringLiteral("CREATE TABLE question (id INTEGER PRIMARY KEY, label, question_text, "
                           "row_id, col_id, CONSTRAINT refused_here CHECK (label <> '1'))"));
        Ui::Click(w.butSubmit);

        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("refused_here")), qPrintable(mc.last()));
        QCOMPARE(db.count(QStringLiteral("question")), 0);
        QCOMPARE(w.txtLabel->text(), QStringLiteral("1"));
        QCOMPARE(w.txtQuestion->text(), QStringLiteral("Refused"));
    }

    void cancelKeepsTheWindowAndCloseBoxRenewsIt()
    {
        TestDb db;
        MessageCapture mc;
        AddQuestion w;
        Ui::Pick(w.cmbModelRow, 2);
        Ui::Pick(w.cmbModelCol, 1);
        QTest::keyClicks(w.txtLabel, QStringLiteral("7"));
        QTest::keyClicks(w.txtQuestion, QStringLiteral("Half done"));
        Ui::Click(w.Check1);
        Ui::Click(w.butCancel);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(db.count(QStringLiteral("question")), 0);

        // Lists are read once per window: a row added now shows only in a new one.
        db.exec(QStringLiteral("INSERT INTO model_row VALUES (3, 'Row D')"));
        QCOMPARE(AddQuestion::open(), w.form);
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.txtLabel->text(), QStringLiteral("7"));
        QCOMPARE(w.txtQuestion->text(), QStringLiteral("Half done"));
        QVERIFY(w.Check1->isChecked());
        QCOMPARE(w.cmbModelRow->currentIndex(), 2);
        QCOMPARE(w.cmbModelCol->currentIndex(), 1);
        QCOMPARE(w.cmbModelRow->count(), 3);

        mc.answers << true;
        Ui::CloseBox(w.form);
        QCOMPARE(mc.messages, QStringList{kDiscard});
        QVERIFY(!Ui::Window("frmQuestion"));
        AddQuestion fresh;
        QCOMPARE(Ui::Items(fresh.cmbModelRow), (QStringList{"Row A", "Row B", "Row C", "Row D"}));
        QCOMPARE(Numbers(fresh.lstModelRow), (QStringList{"0", "1", "2", "3"}));
        QCOMPARE(fresh.cmbModelRow->currentIndex(), -1);
        QCOMPARE(fresh.txtLabel->text(), QString());
        QCOMPARE(fresh.txtQuestion->text(), QString());
        QVERIFY(!fresh.Check1->isChecked());
    }
};

QUELT_TEST(QuestionWindowTest);
#include "QuestionWindowTest.moc"
