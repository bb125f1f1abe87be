#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QAccessible>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <tuple>

namespace {

// The window opened from the main menu, on the test's file, as a user sees it.
struct Window
{
    QWidget* form = nullptr;

    void open()
    {
        Ui::MenuItem("miModifySurveyAnswers");
        form = Ui::FindWindow("frmSurvey");
    }
    template <class W = QWidget>
    W* find(const QString& name) const
    {
        return Ui::Find<W>(form, name);
    }
    QComboBox* combo(const char* name) const { return find<QComboBox>(QLatin1String(name)); }
    TextBox* box(const char* name) const { return find<TextBox>(QLatin1String(name)); }
    SurveyQuestionControl* row(int i) const { return Ui::Row(form, i); }
    QLabel* question(int i) const { return Ui::Find<QLabel>(row(i), "lblQuestion"); }
    int rowCount() const { return int(form->findChildren<SurveyQuestionControl*>().size()); }
    void pick(const char* name, int index) const { Ui::Pick(combo(name), index); }
    void pickCell(int modelRow, int modelCol) const
    {
        pick("cmbModelRow", modelRow);
        pick("cmbModelCol", modelCol);
    }
    void choose(int i, int score) const { Ui::Choose(row(i), score); }
    QList<int> scores(int rows) const
    {
        QList<int> values;
        for (int i = 0; i < rows; ++i)
            values.append(row(i)->Get_Value());
        return values;
    }
    bool showsNothing(int i) const
    {
        const SurveyQuestionControl* r = row(i);
        bool hidden = question(i)->isHidden() && r->Get_QuestionID() == -1;
        for (int score = 0; score < 5; ++score)
            hidden = hidden && Ui::Option(r, score)->isHidden();
        return hidden;
    }
    void submit() const { Ui::Click(find<QPushButton>(QStringLiteral("butSubmit"))); }
    // The scores a row shows as stored, "" for none.
    QString storedScores(int i) const
    {
        const auto* label = Ui::Find<QLabel>(row(i), "lblStoredScores");
        return label->isHidden() ? QString() : label->text();
    }
    // The scroll position in twips and where the panel stands, which go together.
    int scrolled() const
    {
        const int value = find<QScrollBar>(QStringLiteral("VScroll1"))->value();
        return find(QStringLiteral("Picture2"))->y() == TwipsToPxY(-value) ? value : -1;
    }
};

// The focused control, a row's option named with its row.
QString focused()
{
    const QWidget* w = QApplication::focusWidget();
    if (!w)
        return {};
    if (qobject_cast<const SurveyQuestionControl*>(w->parentWidget()))
        return w->parentWidget()->objectName().section(u'(', 1).chopped(1) + u'/' + w->objectName();
    return w->objectName();
}

// Whether row i stands wholly inside the viewport.
bool inView(const Window& w, int i)
{
    const QWidget* viewport = w.find(QStringLiteral("Picture2"))->parentWidget();
    const QRect row(w.row(i)->mapTo(viewport, QPoint(0, 0)), QSize(1, TwipsToPxY(375)));
    return viewport->rect().contains(row);
}

// The file refuses a question without a label.
qint64 addQuestion(const TestDb& db, int modelRow, int modelCol, const QString& text)
{
    return db.addQuestion(modelRow, modelCol, text, QStringLiteral("L"));
}

QString answer(int survey, qint64 question, int score)
{
    return QStringLiteral("%1/%2/%3").arg(survey).arg(question).arg(score);
}

QString discard(int scores)
{
    return scores == 1 ? QStringLiteral("1 score of this cell is not submitted. Discard it?")
                       : QStringLiteral("%1 scores of this cell are not submitted. Discard them?")
                             .arg(scores);
}

// The answers in the file, or those the history holds, as
// "survey/question/answer", in a fixed order.
QStringList answersIn(const TestDb& db, const char* table)
{
    QStringList answers;
    for (const QVariantList& r :
         db.rows(QStringLiteral("SELECT survey_id, question_id, answer FROM %1 ORDER BY 1, 2, 3")
                     .arg(QLatin1String(table))))
        answers.append(answer(r[0].toInt(), r[1].toInt(), r[2].toInt()));
    return answers;
}

QStringList stored(const TestDb& db)
{
    return answersIn(db, "survey_results");
}

QStringList moved(const TestDb& db)
{
    return answersIn(db, "history_answer");
}

// Each change of the history as "action by whom".
QStringList changes(const TestDb& db)
{
    QStringList made;
    for (const QString& change : HistoryOf(db))
        made.append(change.section(u':', 0, 0));
    return made;
}

} // namespace

class SurveyWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    void opensWithNothingChosen()
    {
        TestDb db;
        db.addSurvey(3);
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("Q"));
        Window w;
        w.open();
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Complete Survey"));
        QStringList ids;
        for (const QVariantList& r : db.rows(QStringLiteral("SELECT id FROM survey ORDER BY id")))
            ids.append(r[0].toString());
        QCOMPARE(Ui::Items(w.combo("cmbSurveyID")), ids);
        QCOMPARE(Ui::Items(w.combo("cmbModelCol")), (QStringList{"Col A", "Col B", "Col C"}));
        for (const char* name : {"cmbSurveyID", "cmbModelRow", "cmbModelCol"})
            QCOMPARE(w.combo(name)->currentIndex(), -1);
        QCOMPARE(w.box("txtCompletedBy")->text(), QString());
        QVERIFY(w.box("txtCompany")->isReadOnly());
        QCOMPARE(w.rowCount(), 32);
        for (int i = 0; i < 32; ++i)
            QVERIFY2(w.showsNothing(i), qPrintable(QString::number(i)));
        QCOMPARE(w.find<QScrollBar>(QStringLiteral("VScroll1"))->value(), 0);
    }

    // The headings stand over the option columns, the bar beside the viewport.
    void layout()
    {
        TestDb db;
        Window w;
        w.open();
        for (int i = 0; i < 5; ++i) {
            const QLabel* heading = w.find<QLabel>(QStringLiteral("Label%1").arg(i + 3));
            QCOMPARE(heading->text(), QString::number(i));
            const QRadioButton* option = Ui::Option(w.row(0), i);
            QStyleOptionButton so;
            so.initFrom(option);
            const QRect indicator =
                option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &so, option);
            const int centre = option->mapTo(w.form, indicator.center()).x();
            QVERIFY(qAbs(heading->geometry().center().x() - centre) <= 1);
        }
        const QRect viewport = w.find(QStringLiteral("Picture1"))->geometry();
        const QRect bar = w.find(QStringLiteral("VScroll1"))->geometry();
        QCOMPARE(bar.left(), viewport.right() + 1);
        QCOMPARE(bar.top(), viewport.top());
        QCOMPARE(bar.height(), viewport.height());
    }

    void cellQuestions_data()
    {
        QTest::addColumn<int>("modelRow"); // -1: not chosen
        QTest::addColumn<int>("modelCol");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("row only") << 0 << -1 << QStringList();
        QTest::newRow("column only") << -1 << 1 << QStringList();
        QTest::newRow("three") << 0 << 1 << QStringList{"One", "Two", "Three"};
        QTest::newRow("none in cell") << 2 << 2 << QStringList();
    }

    void cellQuestions()
    {
        QFETCH(int, modelRow);
        QFETCH(int, modelCol);
        QFETCH(QStringList, shown);
        TestDb db;
        QList<qint64> ids;
        for (const QString& text : QStringList{"One", "Two", "Three"})
            ids.append(addQuestion(db, 0, 1, QStringLiteral("  ") + text + QStringLiteral(" ")));
        addQuestion(db, 1, 0, QStringLiteral("Elsewhere"));
        Window w;
        w.open();
        if (modelRow >= 0)
            w.pick("cmbModelRow", modelRow);
        if (modelCol >= 0)
            w.pick("cmbModelCol", modelCol);
        for (int i = 0; i < w.rowCount(); ++i) {
            if (i >= shown.size()) {
                QVERIFY2(w.showsNothing(i), qPrintable(QString::number(i)));
                continue;
            }
            const SurveyQuestionControl* r = w.row(i);
            QCOMPARE(w.question(i)->text(), shown[i]);
            QVERIFY(!w.question(i)->isHidden() && !Ui::Option(r, 4)->isHidden());
            QCOMPARE(r->Get_QuestionID(), qint16(ids[i]));
            QCOMPARE(r->geometry(),
                     QRect(0, TwipsToPxY(500 * i), TwipsToPxX(8415), TwipsToPxY(375)));
        }
    }

    void submitStoresScoredQuestions_data()
    {
        QTest::addColumn<QList<int>>("chosen"); // per question, -1: none
        // What the window says is stored after the first and the second Submit.
        QTest::addColumn<QString>("once");
        QTest::addColumn<QString>("twice");
        QTest::newRow("two of three")
            << QList<int>{0, -1, 4}
            << "Survey 7 has 2 answers stored in this cell, to 2 of its 3 questions."
            << "Survey 7 has 4 answers stored in this cell, to 2 of its 3 questions.";
        QTest::newRow("every score")
            << QList<int>{0, 1, 2, 3, 4}
            << "Survey 7 has 5 answers stored in this cell, to 5 of its 5 questions."
            << "Survey 7 has 10 answers stored in this cell, to 5 of its 5 questions.";
        QTest::newRow("one")
            << QList<int>{-1, 2}
            << "Survey 7 has 1 answer stored in this cell, to 1 of its 2 questions."
            << "Survey 7 has 2 answers stored in this cell, to 1 of its 2 questions.";
        QTest::newRow("one of one")
            << QList<int>{3} << "Survey 7 has 1 answer stored in this cell, to 1 of its 1 question."
            << "Survey 7 has 2 answers stored in this cell, to 1 of its 1 question.";
    }

    void submitStoresScoredQuestions()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(QString, once);
        QFETCH(QString, twice);
        TestDb db;
        db.addSurvey(7);
        db.addSurvey(8);
        MessageCapture mc;
        Window w;
        QStringList expected;
        for (int i = 0; i < chosen.size(); ++i) {
            const qint64 id = addQuestion(db, 1, 2, QStringLiteral("Q%1").arg(i));
            if (chosen[i] >= 0)
                expected.append(answer(7, id, chosen[i]));
        }
        // Another survey's answers in the cell, and this survey's elsewhere.
        db.addAnswer(8, 1, 3);
        db.addAnswer(7, addQuestion(db, 0, 0, QStringLiteral("Other cell")), 3);
        const QStringList others = stored(db);
        const auto added = [&] {
            QStringList answers = stored(db);
            for (const QString& other : others)
                answers.removeOne(other);
            return answers;
        };
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(1, 2);
        const auto* status = w.find<QLabel>(QStringLiteral("lblStored"));
        QCOMPARE(status->text(),
                 QStringLiteral("Survey 7 has no answers stored in this cell yet."));
        for (int i = 0; i < chosen.size(); ++i) {
            if (chosen[i] >= 0)
                w.choose(i, chosen[i]);
        }
        w.submit();
        QCOMPARE(mc.messages, QStringList{"Survey Submitted"});
        QCOMPARE(added(), expected);
        QCOMPARE(w.scores(chosen.size()), chosen);
        QCOMPARE(status->text(), once);

        mc.choices << QStringLiteral("Add");
        w.submit();
        QCOMPARE(mc.messages.mid(1),
                 (QStringList{QStringLiteral("This cell already holds %1 for survey 7. Replace "
                                             "the stored answers of the questions you scored, or "
                                             "Add these as another set?")
                                  .arg(expected.size() == 1
                                           ? QStringLiteral("1 answer")
                                           : QStringLiteral("%1 answers").arg(expected.size())),
                              "Survey Submitted"}));
        QStringList twiceStored;
        for (const QString& a : expected)
            twiceStored << a << a;
        QCOMPARE(added(), twiceStored);
        QCOMPARE(status->text(), twice);
        // Read afresh for the survey chosen, and when the window is shown again.
        w.pick("cmbSurveyID", 1);
        QCOMPARE(status->text(), QStringLiteral("Survey 8 has 1 answer stored in this cell, to 1 "
                                                "of its %1 question%2.")
                                     .arg(chosen.size())
                                     .arg(chosen.size() == 1 ? "" : "s"));
        db.addAnswer(8, 1, 1);
        w.open();
        QVERIFY(status->text().startsWith(QStringLiteral("Survey 8 has 2 answers")));
    }

    // A score never moves to another question. Scores chosen since the last
    // Submit go only after a Yes; No leaves the window as it was.
    void scoresAfterAChoice_data()
    {
        QTest::addColumn<bool>("submitted");    // Submit before the picks
        QTest::addColumn<QStringList>("picks"); // "combo box name:index"
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("asked"); // questions asked
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QList<int>>("pickers"); // survey, row, column afterwards
        const QStringList row1{"cmbModelRow:1"};
        QTest::newRow("another row, discarded")
            << false << row1 << QList<bool>{true} << 1 << false << QList<int>{0, 1, 0};
        QTest::newRow("another row, kept")
            << false << row1 << QList<bool>{false} << 1 << true << QList<int>{0, 0, 0};
        QTest::newRow("another column, kept")
            << false << QStringList{"cmbModelCol:1"} << QList<bool>{false} << 1 << true
            << QList<int>{0, 0, 0};
        QTest::newRow("away and back") << false << QStringList{"cmbModelRow:1", "cmbModelRow:0"}
                                       << QList<bool>{true} << 1 << false << QList<int>{0, 0, 0};
        QTest::newRow("same row") << false << QStringList{"cmbModelRow:0"} << QList<bool>{} << 0
                                  << true << QList<int>{0, 0, 0};
        QTest::newRow("same survey") << false << QStringList{"cmbSurveyID:0"} << QList<bool>{} << 0
                                     << true << QList<int>{0, 0, 0};
        QTest::newRow("another survey, discarded")
            << false << QStringList{"cmbSurveyID:1"} << QList<bool>{true} << 1 << false
            << QList<int>{1, 0, 0};
        QTest::newRow("another survey, kept")
            << false << QStringList{"cmbSurveyID:1"} << QList<bool>{false} << 1 << true
            << QList<int>{0, 0, 0};
        QTest::newRow("submitted: another row")
            << true << row1 << QList<bool>{} << 0 << false << QList<int>{0, 1, 0};
        QTest::newRow("submitted: another survey")
            << true << QStringList{"cmbSurveyID:1"} << QList<bool>{} << 0 << true
            << QList<int>{1, 0, 0};
    }

    void scoresAfterAChoice()
    {
        QFETCH(bool, submitted);
        QFETCH(QStringList, picks);
        QFETCH(QList<bool>, answers);
        QFETCH(int, asked);
        QFETCH(bool, kept);
        QFETCH(QList<int>, pickers);
        TestDb db;
        db.addSurvey(1, QStringLiteral("One"));
        db.addSurvey(2, QStringLiteral("Two"));
        const qint64 first = addQuestion(db, 0, 0, QStringLiteral("A"));
        const qint64 second = addQuestion(db, 0, 0, QStringLiteral("B"));
        addQuestion(db, 1, 0, QStringLiteral("C"));
        addQuestion(db, 1, 0, QStringLiteral("D"));
        addQuestion(db, 0, 1, QStringLiteral("E"));
        MessageCapture mc;
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(0, 0);
        w.choose(0, 2);
        w.choose(1, 4);
        if (submitted) {
            w.submit();
            mc.messages.clear();
        }
        const QStringList before = stored(db);
        mc.answers = answers;
        for (const QString& pick : picks)
            w.pick(qPrintable(pick.section(u':', 0, 0)), pick.section(u':', 1).toInt());
        QCOMPARE(mc.messages, QStringList(asked, discard(2)));
        QCOMPARE(stored(db), before);
        QCOMPARE(w.scores(2), kept ? (QList<int>{2, 4}) : (QList<int>{-1, -1}));
        QCOMPARE((QList<int>{w.combo("cmbSurveyID")->currentIndex(),
                             w.combo("cmbModelRow")->currentIndex(),
                             w.combo("cmbModelCol")->currentIndex()}),
                 pickers);
        QCOMPARE(w.box("txtCompletedBy")->text(), pickers[0] == 0 ? "One" : "Two");
        if (kept)
            QCOMPARE(w.question(1)->text(), QStringLiteral("B"));

        mc.messages.clear();
        w.submit();
        const int survey = pickers[0] + 1;
        QStringList expected = before;
        if (kept)
            expected << answer(survey, first, 2) << answer(survey, second, 4);
        expected.sort();
        QCOMPARE(stored(db), expected);
    }

    // Leaving with scores chosen since the last Submit asks first, whether
    // the answering window or the main menu (which ends the program) closes.
    void closingAsksFirst_data()
    {
        QTest::addColumn<QString>("closed");
        QTest::addColumn<bool>("submitted");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("stays");
        QTest::newRow("close box, No") << "frmSurvey" << false << QList<bool>{false} << true;
        QTest::newRow("close box, Yes") << "frmSurvey" << false << QList<bool>{true} << false;
        QTest::newRow("main menu, No") << "frmMainMenu" << false << QList<bool>{false} << true;
        QTest::newRow("main menu, Yes") << "frmMainMenu" << false << QList<bool>{true} << false;
        QTest::newRow("submitted: nothing asked")
            << "frmMainMenu" << true << QList<bool>{} << false;
    }

    void closingAsksFirst()
    {
        QFETCH(QString, closed);
        QFETCH(bool, submitted);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, stays);
        TestDb db;
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("A"));
        MessageCapture mc;
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(0, 0);
        w.choose(0, 3);
        if (submitted)
            w.submit();
        mc.messages.clear();
        mc.answers = answers;
        Ui::CloseBox(Ui::FindWindow(closed));
        QCOMPARE(mc.messages, submitted ? QStringList() : QStringList{discard(1)});
        QCOMPARE(mc.parents.last(), QStringLiteral("frmSurvey"));
        QCOMPARE(Ui::Window("frmSurvey") != nullptr, stays);
        QCOMPARE(Ui::Window("frmMainMenu") != nullptr, stays || closed == "frmSurvey");
        if (stays)
            QCOMPARE(w.scores(1), QList<int>{3});
    }

    // A whole cell scored with keys alone: Tab in the order of the layout's tab
    // indexes, the digits score, Up and Down go between rows, a row that takes
    // the focus scrolls into view, and Return presses the focused button.
    void keyboardOnly()
    {
        TestDb db;
        db.addSurvey(1);
        QList<qint64> ids;
        for (int i = 0; i < 12; ++i)
            ids.append(addQuestion(db, 0, 0, QStringLiteral("Q%1").arg(i)));
        MessageCapture mc;
        Window w;
        w.open();
        Ui::Activate(w.form);
        QCOMPARE(focused(), QStringLiteral("txtCompletedBy"));
        const auto tabs = [](int times, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QStringList visited;
            for (int i = 0; i < times; ++i) {
                Ui::Key(Qt::Key_Tab, modifiers);
                visited << focused();
            }
            return visited;
        };
        QCOMPARE(tabs(8),
                 (QStringList{"txtCompany", "butSubmit", "cmbModelRow", "cmbModelCol", "VScroll1",
                              "cmbSurveyID", "butWithdraw", "txtCompletedBy"}));

        // The pickers by their arrow keys: survey 1, then the first cell.
        QCOMPARE(tabs(2, Qt::ShiftModifier), (QStringList{"butWithdraw", "cmbSurveyID"}));
        Ui::Key(Qt::Key_Down);
        QCOMPARE(tabs(4),
                 (QStringList{"butWithdraw", "txtCompletedBy", "txtCompany", "butSubmit"}));
        QCOMPARE(tabs(1), QStringList{"cmbModelRow"});
        Ui::Key(Qt::Key_Down);
        QCOMPARE(tabs(1), QStringList{"cmbModelCol"});
        Ui::Key(Qt::Key_Down);
        QCOMPARE(w.row(11)->Get_QuestionID(), qint16(ids[11]));

        // Each row is one stop; a digit scores the row and goes on to the
        // next, into view, in the same column as Down does.
        QCOMPARE(tabs(3), (QStringList{"VScroll1", "0/optChoice(0)", "1/optChoice(0)"}));
        QCOMPARE(tabs(1, Qt::ShiftModifier), QStringList{"0/optChoice(0)"});
        QList<int> chosen;
        for (int i = 0; i < 12; ++i) {
            chosen << (i * 3) % 5;
            Ui::Key(Qt::Key_0 + chosen.last());
            const int next = std::min(i + 1, 11);
            QCOMPARE(focused(), QStringLiteral("%1/optChoice(%2)").arg(next).arg(chosen.last()));
            QVERIFY2(inView(w, next), qPrintable(QString::number(next)));
        }
        QCOMPARE(w.scores(12), chosen);
        QVERIFY(w.scrolled() > 0);
        // The last row has nothing below; Up goes back in the same column,
        // into view again.
        QCOMPARE(focused(), QStringLiteral("11/optChoice(3)"));
        for (int i = 0; i < 11; ++i)
            Ui::Key(Qt::Key_Up);
        QCOMPARE(focused(), QStringLiteral("0/optChoice(3)"));
        QCOMPARE(w.scrolled(), 0);
        QCOMPARE(w.scores(12), chosen);

        // Back to the bar, whose keys scroll; on through the rows, each
        // coming into view, to the survey picker and round to Submit.
        Ui::Key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("VScroll1"));
        Ui::Key(Qt::Key_PageDown);
        const int page = w.scrolled();
        QVERIFY(page > 0);
        Ui::Key(Qt::Key_Down);
        QVERIFY(w.scrolled() > page);
        QCOMPARE(tabs(12).last(), QStringLiteral("11/optChoice(3)"));
        QVERIFY(inView(w, 11));
        QCOMPARE(tabs(5), (QStringList{"cmbSurveyID", "butWithdraw", "txtCompletedBy", "txtCompany",
                                       "butSubmit"}));
        Ui::Key(Qt::Key_Return);
        QCOMPARE(mc.messages, QStringList{"Survey Submitted"});
        QStringList expected;
        for (int i = 0; i < 12; ++i)
            expected << answer(1, ids[i], chosen[i]);
        QCOMPARE(stored(db), expected);

        // Ctrl+Page Down and Up go to the next and the previous cell, row by
        // row, with the keys on the first question; Alt+S submits.
        Ui::Key(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(w.combo("cmbModelCol")->currentIndex(), 1);
        QVERIFY(w.showsNothing(0));
        Ui::Key(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(w.combo("cmbModelCol")->currentIndex(), 0);
        QCOMPARE(focused(), QStringLiteral("0/optChoice(0)"));
        Ui::Key(Qt::Key_PageUp, Qt::ControlModifier); // no cell before the first
        QCOMPARE(w.combo("cmbModelRow")->currentIndex(), 0);
        Ui::Key(Qt::Key_4);
        mc.choices << QStringLiteral("Replace");
        Ui::Key(Qt::Key_S, Qt::AltModifier);
        // A button pressed by its key shows itself pressed a moment first.
        QTRY_COMPARE(mc.messages.size(), 3);
        QCOMPARE(mc.messages.last(), QStringLiteral("Survey Submitted"));
        expected[0] = answer(1, ids[0], 4);
        QCOMPARE(stored(db), expected);
    }

    // To a screen reader each question row is a group named by the
    // question's label and text, holding the five scores, with the score
    // chosen as its value; an empty row is not there at all. The row the
    // keys are on stands out from the others.
    void rowsReadAsQuestionGroups()
    {
        TestDb db;
        db.addSurvey(1);
        db.addQuestion(0, 0, QStringLiteral("How often?"), QStringLiteral("1.a"));
        db.addQuestion(0, 0, QStringLiteral("Who checks?"), QStringLiteral("1.b"));
        Window w;
        w.open();
        w.pickCell(0, 0);
        w.choose(1, 3);
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(w.find("Picture2"));
        QCOMPARE(panel->childCount(), 2);
        QStringList read;
        for (int i = 0; i < panel->childCount(); ++i) {
            QAccessibleInterface* group = panel->child(i);
            QCOMPARE(group->role(), QAccessible::Grouping);
            read << group->text(QAccessible::Name) + u'=' + group->text(QAccessible::Value);
            for (int j = 0; j < group->childCount(); ++j) {
                if (group->child(j)->role() == QAccessible::RadioButton)
                    read << group->child(j)->text(QAccessible::Name);
            }
        }
        QCOMPARE(read, (QStringList{"1.a: How often?=No score", "Score 0", "Score 1", "Score 2",
                                    "Score 3", "Score 4", "1.b: Who checks?=Score 3", "Score 0",
                                    "Score 1", "Score 2", "Score 3", "Score 4"}));

        Ui::Activate(w.form);
        const QImage unmarked = w.row(0)->grab().toImage();
        Ui::Option(w.row(0), 0)->setFocus();
        QVERIFY(w.row(0)->grab().toImage().pixel(2, 2) != unmarked.pixel(2, 2));
    }

    // A cell holding answers of the survey asks before Submit stores more.
    // Replace moves the scored questions' answers into the history, Add
    // stores another set, Cancel stores nothing and keeps the scores. Each
    // row shows what is stored, read with the line beside Submit.
    void resubmittingAsks_data()
    {
        QTest::addColumn<QStringList>("held");  // per question the scores stored, "3,3"
        QTest::addColumn<QList<int>>("chosen"); // per question, -1: none
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QStringList>("shown"); // per row afterwards
        QTest::addColumn<QStringList>("taken"); // into the history, "question index/score"
        QTest::addColumn<bool>("meanwhile");    // stored after the window showed the cell
        QTest::newRow("replace: the scored questions only")
            << QStringList{"3,3", "1", "2"} << QList<int>{4, -1, 0} << "Replace"
            << QStringList{"stored: 4", "stored: 1", "stored: 0"}
            << QStringList{"0/3", "0/3", "2/2"} << false;
        QTest::newRow("replace: a question without answers gets its first")
            << QStringList{"2,1", "", ""} << QList<int>{-1, 3, -1} << "Replace"
            << QStringList{"stored: 1, 2", "stored: 3", ""} << QStringList{} << false;
        QTest::newRow("add: another set")
            << QStringList{"3", "1", ""} << QList<int>{1, -1, 4} << "Add"
            << QStringList{"stored: 1, 3", "stored: 1", "stored: 4"} << QStringList{} << false;
        QTest::newRow("cancel: nothing stored, the scores kept")
            << QStringList{"4,3", "1", ""} << QList<int>{4, 4, 4} << "Cancel"
            << QStringList{"stored: 3, 4", "stored: 1", ""} << QStringList{} << false;
        // Another desktop's answers, where the rows showed none, are asked
        // about too, not added to unseen.
        QTest::newRow("stored meanwhile: asked all the same")
            << QStringList{"4,2", "", ""} << QList<int>{3, -1, -1} << "Replace"
            << QStringList{"stored: 3", "", ""} << QStringList{"0/2", "0/4"} << true;
    }

    void resubmittingAsks()
    {
        QFETCH(QStringList, held);
        QFETCH(QList<int>, chosen);
        QFETCH(QString, choice);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, taken);
        QFETCH(bool, meanwhile);
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        QList<qint64> ids;
        for (int i = 0; i < held.size(); ++i) {
            ids.append(addQuestion(db, 0, 0, QStringLiteral("Q%1").arg(i)));
            // Another survey's answers are never touched.
            db.addAnswer(2, ids[i], 0);
        }
        int answers = 0;
        const auto store = [&] {
            for (int i = 0; i < held.size(); ++i) {
                for (const QString& score : held[i].split(u',', Qt::SkipEmptyParts)) {
                    db.addAnswer(1, ids[i], score.toInt());
                    ++answers;
                }
            }
        };
        if (!meanwhile)
            store();
        MessageCapture mc;
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(0, 0);
        for (int i = 0; i < held.size(); ++i) {
            QStringList scores = held[i].split(u',', Qt::SkipEmptyParts);
            scores.sort();
            QCOMPARE(w.storedScores(i),
                     scores.isEmpty() || meanwhile
                         ? QString()
                         : QStringLiteral("stored: ") + scores.join(QStringLiteral(", ")));
        }
        if (meanwhile)
            store();
        for (int i = 0; i < chosen.size(); ++i) {
            if (chosen[i] >= 0)
                w.choose(i, chosen[i]);
        }
        const qint64 before = db.count(QStringLiteral("survey_results"));
        mc.choices << choice;
        w.submit();
        QCOMPARE(mc.messages.first(),
                 QStringLiteral("This cell already holds %1 answers for survey 1. Replace the "
                                "stored answers of the questions you scored, or Add these as "
                                "another set?")
                     .arg(answers));
        QCOMPARE(mc.messages.mid(1),
                 choice == "Cancel" ? QStringList() : QStringList{"Survey Submitted"});
        QCOMPARE(mc.parents.first(), QStringLiteral("frmSurvey"));
        QCOMPARE(w.scores(chosen.size()), chosen);
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(w.storedScores(i), shown[i]);
            // What a screen reader reads of the row's group, after its question.
            const QString read =
                QAccessible::queryAccessibleInterface(w.row(i))->text(QAccessible::Description);
            QVERIFY2(read.startsWith(QStringLiteral("Q%1").arg(i)) && read.endsWith(shown[i]),
                     qPrintable(read));
        }
        QStringList expected;
        for (const QString& t : taken)
            expected << answer(1, ids[t.section(u'/', 0, 0).toInt()], t.section(u'/', 1).toInt());
        QCOMPARE(moved(db), expected);
        QCOMPARE(db.value(QStringLiteral("SELECT coalesce(sum(answers), 0) FROM history_change"))
                     .toInt(),
                 taken.size());
        // Every answer ever stored is in the table or in the history.
        qint64 added = 0;
        for (int score : chosen)
            added += choice != "Cancel" && score >= 0;
        QCOMPARE(db.count(QStringLiteral("survey_results")) + taken.size(), before + added);
        QStringList made = changes(db);
        made.removeDuplicates();
        QCOMPARE(made, taken.isEmpty() ? QStringList()
                                       : QStringList{QStringLiteral("replaced by ") + Changer()});
    }

    // A cell submitted by mistake is withdrawn after a Yes: the survey's
    // answers there go into the history, nobody else's.
    void withdrawingACell_data()
    {
        QTest::addColumn<bool>("chooseSurvey");
        QTest::addColumn<int>("modelCol");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("told");
        const QString ask = QStringLiteral("Withdraw the 3 answers of survey 1 in this cell? The "
                                           "results no longer count them; the history keeps them.");
        QTest::newRow("yes") << true << 0 << QList<bool>{true}
                             << QStringList{ask, "Withdrew 3 answers of survey 1 from this cell."};
        QTest::newRow("no") << true << 0 << QList<bool>{false} << QStringList{ask};
        QTest::newRow("nothing stored")
            << true << 1 << QList<bool>{}
            << QStringList{"Survey 1 has no answers stored in this cell; nothing was withdrawn."};
        QTest::newRow("no survey")
            << false << 0 << QList<bool>{} << QStringList{"Choose a survey first."};
    }

    void withdrawingACell()
    {
        QFETCH(bool, chooseSurvey);
        QFETCH(int, modelCol);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, told);
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        const qint64 a = addQuestion(db, 0, 0, QStringLiteral("A"));
        const qint64 b = addQuestion(db, 0, 0, QStringLiteral("B"));
        addQuestion(db, 0, 1, QStringLiteral("C"));
        for (const auto& [survey, question, score] :
             {std::tuple{1, a, 2}, {1, a, 2}, {1, b, 4}, {2, a, 1}})
            db.addAnswer(survey, question, score);
        const QStringList before = stored(db);
        MessageCapture mc;
        Window w;
        w.open();
        if (chooseSurvey)
            w.pick("cmbSurveyID", 0);
        w.pickCell(0, modelCol);
        mc.answers = answers;
        Ui::Click(w.find<QPushButton>(QStringLiteral("butWithdraw")));
        QCOMPARE(mc.messages, told);
        const bool withdrawn = answers == QList<bool>{true};
        QCOMPARE(stored(db), withdrawn ? QStringList{answer(2, a, 1)} : before);
        QCOMPARE(moved(db), withdrawn
                                ? (QStringList{answer(1, a, 2), answer(1, a, 2), answer(1, b, 4)})
                                : QStringList());
        QCOMPARE(changes(db), withdrawn ? QStringList{QStringLiteral("withdrawn by ") + Changer()}
                                        : QStringList());
        if (withdrawn) {
            QCOMPARE(w.find<QLabel>(QStringLiteral("lblStored"))->text(),
                     QStringLiteral("Survey 1 has no answers stored in this cell yet."));
            QCOMPARE(w.storedScores(0), QString());
        }
    }

    void submitRefusals_data()
    {
        QTest::addColumn<bool>("chooseSurvey");
        QTest::addColumn<int>("modelCol"); // -1: not chosen
        QTest::addColumn<bool>("score");
        QTest::addColumn<QString>("message");
        const QString none =
            QStringLiteral("Nothing was stored: no question of this cell has a score.");
        QTest::newRow("no survey")
            << false << 0 << true << QStringLiteral("Choose a survey first.");
        QTest::newRow("no cell") << true << -1 << false << none;
        QTest::newRow("empty cell") << true << 2 << false << none;
        QTest::newRow("nothing scored") << true << 0 << false << none;
    }

    void submitRefusals()
    {
        QFETCH(bool, chooseSurvey);
        QFETCH(int, modelCol);
        QFETCH(bool, score);
        QFETCH(QString, message);
        TestDb db;
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("A"));
        MessageCapture mc;
        Window w;
        w.open();
        if (chooseSurvey)
            w.pick("cmbSurveyID", 0);
        w.pick("cmbModelRow", 0);
        if (modelCol >= 0)
            w.pick("cmbModelCol", modelCol);
        if (score)
            w.choose(0, 3);
        w.submit();
        QCOMPARE(mc.messages, QStringList{message});
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
    }

    void failedInsertStoresNothing()
    {
        QUELT_FILE_ONLY("a trigger in SQLite's words");
        TestDb db;
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("A"));
        const qint64 refused = addQuestion(db, 0, 0, QStringLiteral("B"));
        addQuestion(db, 0, 0, QStringLiteral("C"));
        db.exec(QStringLiteral("DROP TABLE survey_results"));
        db.exec(QStringLiteral("CREATE TABLE survey_results (survey_id, question_id, answer, "
                               "CONSTRAINT refused CHECK (question_id <> %1))")
                    .arg(refused));
        MessageCapture mc;
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(0, 0);
        for (int i = 0; i < 3; ++i)
            w.choose(i, i + 1);
        w.submit();
        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("refused")) &&
                     mc.last().contains(QStringLiteral("INSERT INTO survey_results (survey_id, "
                                                       "question_id, answer) VALUES (1, %1, 2)")
                                            .arg(refused)),
                 qPrintable(mc.last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);

        db.exec(QStringLiteral("DROP TABLE survey_results"));
        db.exec(QStringLiteral("CREATE TABLE survey_results (survey_id, question_id, answer)"));
        w.submit();
        QCOMPARE(mc.last(), QStringLiteral("Survey Submitted"));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);
    }

    void showingAgainOffersNewSurveys_data()
    {
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<int>("chosen"); // -1: none
        QTest::newRow("choice kept") << QList<int>{1, 2} << 1;
        QTest::newRow("nothing chosen, list was empty") << QList<int>{} << -1;
    }

    void showingAgainOffersNewSurveys()
    {
        QFETCH(QList<int>, before);
        QFETCH(int, chosen);
        TestDb db;
        for (int id : before)
            db.addSurvey(id, QStringLiteral("By %1").arg(id));
        Window w;
        w.open();
        if (chosen >= 0)
            w.pick("cmbSurveyID", chosen);
        db.addSurvey(9);
        const QWidget* first = w.form;
        w.open();
        QCOMPARE(w.form, first);
        QCOMPARE(Ui::Items(w.combo("cmbSurveyID")).size(), before.size() + 1);
        QCOMPARE(Ui::Items(w.combo("cmbSurveyID")).last(), QStringLiteral("9"));
        QCOMPARE(w.combo("cmbSurveyID")->currentIndex(), chosen);
        QCOMPARE(w.box("txtCompletedBy")->text(),
                 chosen < 0 ? QString() : QStringLiteral("By %1").arg(before[chosen]));
    }

    void surveyHeader_data()
    {
        QTest::addColumn<QString>("completedBy"); // null: NULL in the file
        QTest::addColumn<bool>("gone");
        QTest::addColumn<QString>("shown");
        QTest::newRow("trimmed") << QStringLiteral("  Ann ") << false << QStringLiteral("Ann");
        QTest::newRow("null shown empty") << QString() << false << QString();
        QTest::newRow("gone: not the last one's") << QStringLiteral("Ann") << true << QString();
        const QString longText =
            QStringLiteral("Start ") + QString(300, u'x') + QStringLiteral(" End");
        QTest::newRow("long: its start shows") << longText << false << longText;
    }

    void surveyHeader()
    {
        QFETCH(QString, completedBy);
        QFETCH(bool, gone);
        QFETCH(QString, shown);
        TestDb db({"R"}, {"C"}, true);
        db.exec(QStringLiteral("INSERT INTO survey VALUES (1, 'Bob', 'Old Co')"));
        db.exec(QStringLiteral("INSERT INTO survey VALUES (2, %1, NULL)")
                    .arg(completedBy.isNull() ? QStringLiteral("NULL") : "'" + completedBy + "'"));
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        QCOMPARE(w.box("txtCompany")->text(), QStringLiteral("Old Co"));
        if (gone)
            db.exec(QStringLiteral("DELETE FROM survey WHERE id = 2"));
        w.pick("cmbSurveyID", 1);
        QCOMPARE(w.box("txtCompletedBy")->text(), shown);
        QCOMPARE(w.box("txtCompany")->text(), QString());
        // As painted: the text scrolls to keep the cursor in view.
        w.box("txtCompletedBy")->grab();
        const QRect cursor =
            w.box("txtCompletedBy")->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY2(qAbs(cursor.left()) < 10, qPrintable(QString::number(cursor.left())));
    }

    void questionNumberBeyond16BitsLeavesCellEmpty()
    {
        QUELT_FILE_ONLY("a server refuses a question number beyond 16 bits");
        TestDb db;
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("Fine"));
        const qint64 other = addQuestion(db, 1, 1, QStringLiteral("Other"));
        db.exec(QStringLiteral("INSERT INTO question VALUES (40000, 'x', 'Too far', 0, 0)"));
        MessageCapture mc;
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(1, 1);
        w.choose(0, 1);
        mc.answers << true;
        w.pickCell(0, 0);
        QCOMPARE(mc.messages.takeFirst(), discard(1));
        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("\"Too far\"")) &&
                     mc.last().contains(QStringLiteral("40000")),
                 qPrintable(mc.last()));
        for (int i = 0; i < w.rowCount(); ++i)
            QVERIFY(w.showsNothing(i));
        w.submit();
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);

        // Choosing the cell again tells again; another cell still loads.
        w.pick("cmbModelCol", 0);
        QCOMPARE(mc.messages.size(), 3);
        w.pickCell(1, 1);
        QCOMPARE(w.row(0)->Get_QuestionID(), qint16(other));
    }

    // Questions as only a file made by other means holds them are shown, and
    // a score given to one is stored, never skipped behind "Survey Submitted".
    void questionsMadeElsewhereAreAnswered_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text"); // null: NULL in the file
        QTest::newRow("null text shown empty") << 5 << QString();
        QTest::newRow("numbered 0") << 0 << "Zero";
        QTest::newRow("numbered -1") << -1 << "Minus one";
        QTest::newRow("numbered -32768") << -32768 << "Lowest";
    }

    void questionsMadeElsewhereAreAnswered()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        TestDb db({"R"}, {"C"}, true);
        db.exec(QStringLiteral("INSERT INTO survey VALUES (1, 'A', 'B')"));
        db.exec(QStringLiteral("INSERT INTO question VALUES (%1, 'x', %2, 0, 0)")
                    .arg(id)
                    .arg(text.isNull() ? QStringLiteral("NULL") : "'" + text + "'"));
        MessageCapture mc;
        Window w;
        w.open();
        w.pick("cmbSurveyID", 0);
        w.pickCell(0, 0);
        QCOMPARE(w.question(0)->text(), text.isNull() ? QString() : text);
        w.choose(0, 4);
        w.submit();
        QCOMPARE(mc.messages, QStringList{"Survey Submitted"});
        QCOMPARE(stored(db), QStringList{answer(1, id, 4)});
        QVERIFY(w.find<QLabel>(QStringLiteral("lblStored"))
                    ->text()
                    .startsWith(QStringLiteral("Survey 1 has 1 answer stored")));
    }

    void scrollBarSpansThePanel_data()
    {
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("panelTwips");
        QTest::newRow("three") << 3 << 20000;
        QTest::newRow("forty") << 40 << 20000;
        QTest::newRow("41") << 41 << 20500;
        QTest::newRow("100, beyond 16 bits") << 100 << 50000;
    }

    void scrollBarSpansThePanel()
    {
        QFETCH(int, questions);
        QFETCH(int, panelTwips);
        TestDb db;
        db.addSurvey(1);
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < %1) INSERT INTO question (label, question_text, row_id, "
                               "col_id) SELECT i, 'Question ' || i, 2, 0 FROM n")
                    .arg(questions));
        MessageCapture mc;
        Window w;
        w.open();
        w.pickCell(2, 0);
        QCOMPARE(w.rowCount(), std::max(32, questions));
        const SurveyQuestionControl* last = w.row(questions - 1);
        QCOMPARE(last->y(), TwipsToPxY(500 * (questions - 1)));

        auto* bar = w.find<QScrollBar>(QStringLiteral("VScroll1"));
        const QWidget* panel = w.find(QStringLiteral("Picture2"));
        const QWidget* viewport = panel->parentWidget();
        const int v =
            PxToTwipsY(w.find<QFrame>(QStringLiteral("Picture1"))->contentsRect().height());
        QCOMPARE(viewport->height(), TwipsToPxY(v));
        QCOMPARE(panel->height(), TwipsToPxY(panelTwips));
        QCOMPARE(bar->maximum(), panelTwips - v);
        QCOMPARE(bar->pageStep(), v);
        QCOMPARE(bar->singleStep(), qRound(v / 5.0));

        // Dragged to the bottom, the panel follows the thumb before it is let go.
        bar->setTracking(false);
        QStyleOptionSlider so;
        so.initFrom(bar);
        so.orientation = Qt::Vertical;
        so.maximum = bar->maximum();
        so.pageStep = bar->pageStep();
        const QPoint thumb =
            bar->style()
                ->subControlRect(QStyle::CC_ScrollBar, &so, QStyle::SC_ScrollBarSlider, bar)
                .center();
        const QPoint below(thumb.x(), bar->height() + 50);
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(bar, below);
        QCOMPARE(panel->y(), TwipsToPxY(v - panelTwips));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, below);
        QCOMPARE(bar->value(), panelTwips - v);
        QCOMPARE(panel->y(), TwipsToPxY(v - panelTwips));
        QVERIFY(last->mapTo(viewport, QPoint(0, last->height())).y() <= viewport->height());

        // A page up and the wheel move it as well; the last row can be scored.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(panel->y(), TwipsToPxY(2 * v - panelTwips));
        QWheelEvent wheel(QPointF(5, 5), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        const int before = bar->value();
        // One notch is three rows, over the questions as over the bar.
        QApplication::sendEvent(w.find(QStringLiteral("Picture1")), &wheel);
        QCOMPARE(bar->value(), before + 1500);
        QCOMPARE(panel->y(), TwipsToPxY(-bar->value()));
        QWheelEvent back(QPointF(5, 5), QPointF(), QPoint(), QPoint(0, 120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &back);
        QCOMPARE(w.scrolled(), before);
        w.pick("cmbSurveyID", 0);
        w.choose(questions - 1, 3);
        w.submit();
        QCOMPARE(db.value(QStringLiteral("SELECT question_text FROM question, survey_results "
                                         "WHERE id = question_id AND answer = 3")),
                 QVariant(QStringLiteral("Question %1").arg(questions)));

        // Another cell starts at its first question.
        addQuestion(db, 0, 0, QStringLiteral("Short"));
        w.pick("cmbModelRow", 0);
        QCOMPARE(w.scrolled(), 0);
        QVERIFY(inView(w, 0));
    }
};

QUELT_TEST(SurveyWindowTest);
#include "SurveyWindowTest.moc"
