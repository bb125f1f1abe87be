#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/TextBox.h"
#include "shell/frmMainMenu.h"
#include "survey/SurveyQuestionControl.h"
#include "survey/frmSurvey.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>

namespace {

// Opens the window as the user does, from the main menu.
frmSurvey* openSurveyWindow()
{
    Ui::Trigger(
        ShowForm<frmMainMenu>()->findChild<QAction*>(QStringLiteral("miModifySurveyAnswers")));
    return qobject_cast<frmSurvey*>(Ui::Window(QStringLiteral("frmSurvey")));
}

template <class W = QWidget>
W* find(frmSurvey* form, const char* name)
{
    return Ui::Find<W>(form, QString::fromLatin1(name));
}

SurveyQuestionControl* row(frmSurvey* form, int index)
{
    return Ui::Find<SurveyQuestionControl>(form,
                                           QStringLiteral("SurveyQuestionControl1(%1)").arg(index));
}

int rowCount(frmSurvey* form)
{
    return int(form->findChildren<SurveyQuestionControl*>().size());
}

bool showsNothing(const SurveyQuestionControl* r)
{
    bool hidden = r->lblQuestion->isHidden() && r->Get_QuestionID() == -1;
    for (const QRadioButton* option : r->optChoice)
        hidden = hidden && option->isHidden();
    return hidden;
}

void pickCell(frmSurvey* form, int modelRow, int modelCol)
{
    Ui::Pick(find<QComboBox>(form, "cmbModelRow"), modelRow);
    Ui::Pick(find<QComboBox>(form, "cmbModelCol"), modelCol);
}

void choose(frmSurvey* form, int index, int score)
{
    QTest::mouseClick(row(form, index)->optChoice[score], Qt::LeftButton, {}, QPoint(6, 8));
}

QList<int> scores(frmSurvey* form, int rows)
{
    QList<int> values;
    for (int i = 0; i < rows; ++i)
        values.append(row(form, i)->Get_Value());
    return values;
}

// The answers in the file as "survey/question/answer", in a fixed order.
QStringList stored(const TestDb& db)
{
    QStringList answers;
    for (const QVariantList& r : db.rows(QStringLiteral(
             "SELECT survey_id, question_id, answer FROM survey_results ORDER BY 1, 2, 3")))
        answers.append(
            QStringLiteral("%1/%2/%3").arg(r[0].toInt()).arg(r[1].toInt()).arg(r[2].toInt()));
    return answers;
}

QString answer(int survey, qint64 question, int score)
{
    return QStringLiteral("%1/%2/%3").arg(survey).arg(question).arg(score);
}

// The file refuses a question without a label.
qint64 addQuestion(const TestDb& db, int modelRow, int modelCol, const QString& text)
{
    return db.addQuestion(modelRow, modelCol, text, QStringLiteral("L"));
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
        frmSurvey* form = openSurveyWindow();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Complete Survey"));
        QStringList ids;
        for (const QVariantList& r : db.rows(QStringLiteral("SELECT id FROM survey")))
            ids.append(r[0].toString());
        QCOMPARE(Ui::Items(find<QComboBox>(form, "cmbSurveyID")), ids);
        for (const char* name : {"cmbSurveyID", "cmbModelRow", "cmbModelCol"})
            QCOMPARE(find<QComboBox>(form, name)->currentIndex(), -1);
        QCOMPARE(Ui::Items(find<QComboBox>(form, "cmbModelCol")),
                 (QStringList{"Col A", "Col B", "Col C"}));
        QCOMPARE(find<TextBox>(form, "txtCompletedBy")->text(), QString());
        QVERIFY(find<TextBox>(form, "txtCompany")->isReadOnly());
        QCOMPARE(rowCount(form), 32);
        for (int i = 0; i < 32; ++i)
            QVERIFY2(showsNothing(row(form, i)), qPrintable(QString::number(i)));
        QCOMPARE(find<QScrollBar>(form, "VScroll1")->value(), 0);
    }

    // The headings stand over the option columns, the bar beside the viewport.
    void layout()
    {
        TestDb db;
        frmSurvey* form = openSurveyWindow();
        const QString headings[] = {"Label3", "Label4", "Label5", "Label6", "Label7"};
        for (int i = 0; i < 5; ++i) {
            const QLabel* heading = Ui::Find<QLabel>(form, headings[i]);
            QCOMPARE(heading->text(), QString::number(i));
            const QRadioButton* option = row(form, 0)->optChoice[i];
            QStyleOptionButton so;
            so.initFrom(option);
            const QRect indicator =
                option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &so, option);
            const int centre = option->mapTo(form, indicator.center()).x();
            QVERIFY2(qAbs(heading->geometry().center().x() - centre) <= 1, qPrintable(headings[i]));
        }
        const QFrame* viewport = find<QFrame>(form, "Picture1");
        const QScrollBar* bar = find<QScrollBar>(form, "VScroll1");
        QCOMPARE(bar->x(), viewport->geometry().right() + 1);
        QCOMPARE(bar->y(), viewport->y());
        QCOMPARE(bar->height(), viewport->height());
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
        frmSurvey* form = openSurveyWindow();
        if (modelRow >= 0)
            Ui::Pick(find<QComboBox>(form, "cmbModelRow"), modelRow);
        if (modelCol >= 0)
            Ui::Pick(find<QComboBox>(form, "cmbModelCol"), modelCol);
        for (int i = 0; i < rowCount(form); ++i) {
            SurveyQuestionControl* r = row(form, i);
            if (i >= shown.size()) {
                QVERIFY2(showsNothing(r), qPrintable(QString::number(i)));
                continue;
            }
            QCOMPARE(r->lblQuestion->text(), shown[i]);
            QVERIFY(!r->lblQuestion->isHidden() && !r->optChoice[4]->isHidden());
            QCOMPARE(r->Get_QuestionID(), qint16(ids[i]));
            QCOMPARE(r->geometry(),
                     QRect(0, TwipsToPxY(500 * i), TwipsToPxX(8415), TwipsToPxY(375)));
        }
    }

    void submitStoresScoredQuestions_data()
    {
        QTest::addColumn<QList<int>>("chosen"); // per question, -1: none
        QTest::newRow("two of three") << QList<int>{0, -1, 4};
        QTest::newRow("every score") << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("one") << QList<int>{-1, 2};
    }

    void submitStoresScoredQuestions()
    {
        QFETCH(QList<int>, chosen);
        TestDb db;
        db.addSurvey(7);
        QList<qint64> ids;
        for (int i = 0; i < chosen.size(); ++i)
            ids.append(addQuestion(db, 1, 2, QStringLiteral("Q%1").arg(i)));
        MessageCapture mc;
        frmSurvey* form = openSurveyWindow();
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        pickCell(form, 1, 2);
        QStringList expected;
        for (int i = 0; i < chosen.size(); ++i) {
            if (chosen[i] >= 0) {
                choose(form, i, chosen[i]);
                expected.append(answer(7, ids[i], chosen[i]));
            }
        }
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QCOMPARE(mc.messages, QStringList{"Survey Submitted"});
        QCOMPARE(stored(db), expected);
        QCOMPARE(scores(form, chosen.size()), chosen);

        // A second Submit stores the same answers again.
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QStringList twice;
        for (const QString& a : expected)
            twice << a << a;
        QCOMPARE(stored(db), twice);
    }

    // A score never moves to another question; anything else keeps the scores.
    void scoresAfterAChoice_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("kept");
        QTest::newRow("another row") << "row 1" << false;
        QTest::newRow("another column") << "col 1" << false;
        QTest::newRow("away and back") << "row 1, row 0" << false;
        QTest::newRow("same row") << "row 0" << true;
        QTest::newRow("same column") << "col 0" << true;
        QTest::newRow("another survey") << "survey 1" << true;
    }

    void scoresAfterAChoice()
    {
        QFETCH(QString, action);
        QFETCH(bool, kept);
        TestDb db;
        db.addSurvey(1);
        db.addSurvey(2);
        const qint64 first = addQuestion(db, 0, 0, QStringLiteral("A"));
        const qint64 second = addQuestion(db, 0, 0, QStringLiteral("B"));
        addQuestion(db, 1, 0, QStringLiteral("C"));
        addQuestion(db, 1, 0, QStringLiteral("D"));
        addQuestion(db, 0, 1, QStringLiteral("E"));
        MessageCapture mc;
        frmSurvey* form = openSurveyWindow();
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        pickCell(form, 0, 0);
        choose(form, 0, 2);
        choose(form, 1, 4);
        for (const QString& step : action.split(QStringLiteral(", "))) {
            const int index = step.section(u' ', 1).toInt();
            const char* combo = step.startsWith(QStringLiteral("row"))   ? "cmbModelRow"
                                : step.startsWith(QStringLiteral("col")) ? "cmbModelCol"
                                                                         : "cmbSurveyID";
            Ui::Pick(find<QComboBox>(form, combo), index);
        }
        QCOMPARE(scores(form, 2), kept ? (QList<int>{2, 4}) : (QList<int>{-1, -1}));
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        if (kept) {
            const int survey = find<QComboBox>(form, "cmbSurveyID")->currentText().toInt();
            QCOMPARE(stored(db),
                     (QStringList{answer(survey, first, 2), answer(survey, second, 4)}));
        } else {
            QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
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
        frmSurvey* form = openSurveyWindow();
        if (chooseSurvey)
            Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        Ui::Pick(find<QComboBox>(form, "cmbModelRow"), 0);
        if (modelCol >= 0)
            Ui::Pick(find<QComboBox>(form, "cmbModelCol"), modelCol);
        if (score)
            choose(form, 0, 3);
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QCOMPARE(mc.messages, QStringList{message});
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
    }

    void failedInsertStoresNothing()
    {
        TestDb db;
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("A"));
        const qint64 refused = addQuestion(db, 0, 0, QStringLiteral("B"));
        addQuestion(db, 0, 0, QStringLiteral("C"));
        db.exec(QStringLiteral(
                    "CREATE TRIGGER refuse BEFORE INSERT ON survey_results "
                    "WHEN NEW.question_id = %1 BEGIN SELECT RAISE(ABORT, 'refused here'); END")
                    .arg(refused));
        MessageCapture mc;
        frmSurvey* form = openSurveyWindow();
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        pickCell(form, 0, 0);
        for (int i = 0; i < 3; ++i)
            choose(form, i, i + 1);
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("refused here")), qPrintable(mc.last()));
        QVERIFY(mc.last().contains(
            QStringLiteral(
                "INSERT INTO survey_results (survey_id, question_id, answer) VALUES (1, %1, 2)")
                .arg(refused)));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);

        db.exec(QStringLiteral("DROP TRIGGER refuse"));
        Ui::Click(find<QPushButton>(form, "butSubmit"));
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
        frmSurvey* form = openSurveyWindow();
        auto* combo = find<QComboBox>(form, "cmbSurveyID");
        if (chosen >= 0)
            Ui::Pick(combo, chosen);
        db.addSurvey(9);
        QCOMPARE(openSurveyWindow(), form);
        QCOMPARE(Ui::Items(combo).size(), before.size() + 1);
        QCOMPARE(Ui::Items(combo).last(), QStringLiteral("9"));
        QCOMPARE(combo->currentIndex(), chosen);
        QCOMPARE(find<TextBox>(form, "txtCompletedBy")->text(),
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
        frmSurvey* form = openSurveyWindow();
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        QCOMPARE(find<TextBox>(form, "txtCompany")->text(), QStringLiteral("Old Co"));
        if (gone)
            db.exec(QStringLiteral("DELETE FROM survey WHERE id = 2"));
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 1);
        QCOMPARE(find<TextBox>(form, "txtCompletedBy")->text(), shown);
        QCOMPARE(find<TextBox>(form, "txtCompany")->text(), QString());
    }

    void questionNumberBeyond16BitsLeavesCellEmpty()
    {
        TestDb db;
        db.addSurvey(1);
        addQuestion(db, 0, 0, QStringLiteral("Fine"));
        const qint64 other = addQuestion(db, 1, 1, QStringLiteral("Other"));
        db.exec(QStringLiteral("INSERT INTO question VALUES (40000, 'x', 'Too far', 0, 0)"));
        MessageCapture mc;
        frmSurvey* form = openSurveyWindow();
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        pickCell(form, 1, 1);
        choose(form, 0, 1);
        Ui::Pick(find<QComboBox>(form, "cmbModelRow"), 0);
        Ui::Pick(find<QComboBox>(form, "cmbModelCol"), 0);
        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("\"Too far\"")) &&
                     mc.last().contains(QStringLiteral("40000")),
                 qPrintable(mc.last()));
        for (int i = 0; i < rowCount(form); ++i)
            QVERIFY(showsNothing(row(form, i)));
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);

        // Choosing the cell again tells again; another cell still loads.
        Ui::Pick(find<QComboBox>(form, "cmbModelCol"), 0);
        QCOMPARE(mc.messages.size(), 3);
        pickCell(form, 1, 1);
        QCOMPARE(row(form, 0)->Get_QuestionID(), qint16(other));
    }

    void nullQuestionTextShownEmpty()
    {
        TestDb db({"R"}, {"C"}, true);
        db.exec(QStringLiteral("INSERT INTO survey VALUES (1, 'A', 'B')"));
        db.exec(QStringLiteral("INSERT INTO question VALUES (5, 'x', NULL, 0, 0)"));
        MessageCapture mc;
        frmSurvey* form = openSurveyWindow();
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        pickCell(form, 0, 0);
        QCOMPARE(row(form, 0)->lblQuestion->text(), QString());
        choose(form, 0, 4);
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QCOMPARE(stored(db), QStringList{answer(1, 5, 4)});
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
        frmSurvey* form = openSurveyWindow();
        pickCell(form, 2, 0);
        const int rows = std::max(32, questions);
        QCOMPARE(rowCount(form), rows);
        QCOMPARE(row(form, questions - 1)->y(), TwipsToPxY(500 * (questions - 1)));

        auto* bar = find<QScrollBar>(form, "VScroll1");
        const QWidget* panel = find(form, "Picture2");
        const int v = PxToTwipsY(find<QFrame>(form, "Picture1")->contentsRect().height());
        QCOMPARE(bar->maximum(), panelTwips - v);
        QCOMPARE(bar->pageStep(), v);
        QCOMPARE(bar->singleStep(), qRound(v / 5.0));
        QCOMPARE(panel->height(), TwipsToPxY(panelTwips));

        // Dragging the thumb to the bottom moves the panel while it is dragged.
        bar->setTracking(false);
        QStyleOptionSlider so;
        so.initFrom(bar);
        so.orientation = Qt::Vertical;
        so.minimum = bar->minimum();
        so.maximum = bar->maximum();
        so.pageStep = bar->pageStep();
        const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &so,
                                                         QStyle::SC_ScrollBarSlider, bar);
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb.center());
        QTest::mouseMove(bar, QPoint(thumb.center().x(), bar->height() + 50));
        QCOMPARE(panel->y(), TwipsToPxY(v - panelTwips));
        QTest::mouseRelease(bar, Qt::LeftButton, {},
                            QPoint(thumb.center().x(), bar->height() + 50));
        QCOMPARE(bar->value(), panelTwips - v);
        QCOMPARE(panel->y(), TwipsToPxY(v - panelTwips));
        const SurveyQuestionControl* last = row(form, questions - 1);
        QVERIFY(last->mapTo(panel->parentWidget(), QPoint(0, last->height())).y() <=
                panel->parentWidget()->height());

        // A page up, and the wheel, move it as well; the last row can be scored.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(panel->y(), TwipsToPxY(2 * v - panelTwips));
        QWheelEvent wheel(QPointF(5, 5), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        const int before = bar->value();
        QApplication::sendEvent(find(form, "Picture1"), &wheel);
        QVERIFY(bar->value() > before);
        QCOMPARE(panel->y(), TwipsToPxY(-bar->value()));
        Ui::Pick(find<QComboBox>(form, "cmbSurveyID"), 0);
        choose(form, questions - 1, 3);
        Ui::Click(find<QPushButton>(form, "butSubmit"));
        QCOMPARE(db.value(QStringLiteral("SELECT question_text FROM question, survey_results "
                                         "WHERE id = question_id AND answer = 3")),
                 QVariant(QStringLiteral("Question %1").arg(questions)));
    }
};

QUELT_TEST(SurveyWindowTest);
#include "SurveyWindowTest.moc"
