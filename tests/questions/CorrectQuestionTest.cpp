#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QLabel>

namespace {

// "Correct Question" opened from the main menu on the cell (row, col).
QWidget* openOnCell(int row, int col)
{
    Ui::MenuItem(QStringLiteral("miCorrectQuestion"));
    QWidget* w = Ui::FindWindow(QStringLiteral("frmCorrectQuestion"));
    Ui::Pick(w, QStringLiteral("cmbModelRow"), row);
    Ui::Pick(w, QStringLiteral("cmbModelCol"), col);
    return w;
}

} // namespace

class CorrectQuestionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    // A question corrected through "Correct Question": picked by its cell,
    // its label or text changed; what was there goes into the history, and
    // the answering window shows the question as corrected.
    void correctingAQuestion_data()
    {
        QTest::addColumn<int>("pick");          // the question of the cell, -1: none
        QTest::addColumn<QStringList>("typed"); // label, text; null: untouched
        QTest::addColumn<QString>("told");
        QTest::addColumn<QStringList>("history");
        const QString who = Changer();
        QTest::newRow("text") << 1 << QStringList{QString(), "Is it done?\nWhere?"}
                              << "Question %1 was corrected; the history keeps what it was."
                              << QStringList{"question_text by " + who +
                                             ": Second -> Is it "
                                             "done?\nWhere?"};
        QTest::newRow("label and text")
            << 0 << QStringList{"1.a", "One's"}
            << "Question %1 was corrected; the history keeps what it was."
            << QStringList{"label by " + who + ": 1 -> 1.a",
                           "question_text by " + who + ": First -> One's"};
        QTest::newRow("as stored")
            << 0 << QStringList{QString(), QString()}
            << "Nothing was changed: question %1 is stored as shown." << QStringList{};
        QTest::newRow("text emptied")
            << 0 << QStringList{"9", " \n"} << "Type the question's text first; nothing was stored."
            << QStringList{};
        QTest::newRow("no question chosen")
            << -1 << QStringList{"9", QString()} << "Choose a question first." << QStringList{};
    }

    void correctingAQuestion()
    {
        QFETCH(int, pick);
        QFETCH(QStringList, typed);
        QFETCH(QString, told);
        QFETCH(QStringList, history);
        TestDb db;
        const QList<qint64> ids = {
            db.addQuestion(1, 2, QStringLiteral("First"), QStringLiteral("1")),
            db.addQuestion(1, 2, QStringLiteral("Second"), QStringLiteral("2"))};
        db.addQuestion(0, 0, QStringLiteral("Elsewhere"), QStringLiteral("3"));
        const QList<QVariantList> before =
            db.rows(QStringLiteral("SELECT id, label, question_text FROM question ORDER BY id"));
        MessageCapture mc;
        QWidget* w = openOnCell(1, 2);
        auto* questions = Ui::Find<QComboBox>(w, "cmbQuestion");
        QCOMPARE(Ui::Items(questions), (QStringList{QStringLiteral("%1: First").arg(ids[0]),
                                                    QStringLiteral("%1: Second").arg(ids[1])}));
        auto* label = Ui::Find<TextBox>(w, "txtLabel");
        auto* text = Ui::Find<MultiLineTextBox>(w, "txtQuestion");
        if (pick >= 0) {
            Ui::Pick(questions, pick);
            QCOMPARE(label->text(), QString::number(pick + 1));
        }
        // Nothing can be typed before a question is chosen.
        QCOMPARE(text->isReadOnly(), pick < 0);
        QCOMPARE(label->isReadOnly(), pick < 0);
        if (!typed[0].isNull())
            label->setText(typed[0]);
        if (!typed[1].isNull())
            text->setText(typed[1]);
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(mc.messages, QStringList{told.arg(ids.value(pick))});
        QCOMPARE(HistoryOf(db), history);
        if (history.isEmpty()) {
            QCOMPARE(db.rows(QStringLiteral(
                         "SELECT id, label, question_text FROM question ORDER BY id")),
                     before);
            return;
        }
        QCOMPARE(questions->itemText(pick),
                 QStringLiteral("%1: %2").arg(ids[pick]).arg(text->text().section(u'\n', 0, 0)));
        Ui::MenuItem(QStringLiteral("miModifySurveyAnswers"));
        QWidget* answering = Ui::FindWindow(QStringLiteral("frmSurvey"));
        Ui::Pick(answering, QStringLiteral("cmbModelRow"), 1);
        Ui::Pick(answering, QStringLiteral("cmbModelCol"), 2);
        QCOMPARE(Ui::Find<QLabel>(Ui::Row(answering, pick), "lblQuestion")->text(), text->text());
    }

    // Typed corrections go only after a Yes: Escape and another question
    // picked both ask first.
    void typedCorrectionsAreKept()
    {
        TestDb db;
        db.addQuestion(0, 0, QStringLiteral("First"), QStringLiteral("1"));
        db.addQuestion(0, 0, QStringLiteral("Second"), QStringLiteral("2"));
        MessageCapture mc;
        QWidget* w = openOnCell(0, 0);
        auto* questions = Ui::Find<QComboBox>(w, "cmbQuestion");
        Ui::Pick(questions, 0);
        auto* text = Ui::Find<MultiLineTextBox>(w, "txtQuestion");
        text->setText(QStringLiteral("Typed"));
        Ui::Activate(w);
        Ui::Key(Qt::Key_Escape);
        Ui::Pick(questions, 1);
        const QString discard =
            QStringLiteral("The correction typed in Correct Question is not stored. Discard it?");
        QCOMPARE(mc.messages, (QStringList{discard, discard}));
        QVERIFY(w->isVisible());
        QCOMPARE(questions->currentIndex(), 0);
        QCOMPARE(text->text(), QStringLiteral("Typed"));
        mc.answers << true;
        Ui::Pick(questions, 1);
        QCOMPARE(text->text(), QStringLiteral("Second"));
        QCOMPARE(HistoryOf(db), QStringList());
    }
};

QUELT_TEST(CorrectQuestionTest);
#include "CorrectQuestionTest.moc"
