#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
#include "reliability/Reliability.h"

#include "analysis/Results.h"
#include "platform/Convert.h"
#include "platform/TextBox.h"
#include "platform/Twips.h"
#include "survey/SurveyQuestionControl.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>

using namespace Reliability;

namespace {

// The user pastes the text into the box.
void Paste(QWidget* box, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

// The main menu's item, and the window it shows.
QWidget* Open(const char* menuItem, const char* window)
{
    Ui::MenuItem(menuItem);
    return Ui::FindWindow(window);
}

TextBox* Box(const QWidget* window, const char* name)
{
    return Ui::Find<TextBox>(window, name);
}

QStringList Schema(const TestDb& db)
{
    QStringList names;
    for (const QVariantList& r :
         db.rows(QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name")))
        names.append(r[0].toString() + u' ' + r[1].toString() + u' ' + r[2].toString());
    return names;
}

} // namespace

class BadInputTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Ui::CloseAllWindows(); }

    // Every text box, end to end: typed into the question and new survey
    // windows, stored byte for byte, and shown trimmed of blanks where the
    // answering window reads it back; no text changes what a statement does.
    void textsThroughEveryWindow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophes") << QStringLiteral("O'Brien's 'quoted' ''");
        QTest::newRow("statement") << QStringLiteral("'); DROP TABLE survey; --");
        QTest::newRow("quotes of every kind")
            << QStringLiteral("\"double\" `back` ‘single’ “curly” „low“ «angle» ‹one› '");
        QTest::newRow("backslash percent underscore")
            << QStringLiteral("C:\\new\\table\\' 100% _a_ %s %% \\\\");
        QTest::newRow("emoji, right-to-left, combining")
            << QStringLiteral("😀👍🏽 שָׁלוֹם مرحبا e\u0301a\u0308 \u202Eabc\u202C \u200D");
        // (The question box keeps line ends as its editor makes them: a pasted
        // CR LF becomes LF there, as a typed Return does.)
        QTest::newRow("tabs and line breaks") << QStringLiteral("\ta\tb\nc\n\nd\t\n");
        QTest::newRow("blanks") << QStringLiteral("   lead and trail   ");
        // (An empty text is no question, and an empty header is stored only
        // after a Yes: the windows' own tests hold both.)
        QString longText;
        while (longText.size() < 100000)
            longText += QStringLiteral("It's 100% \"long\" 😀\t");
        longText.truncate(100000);
        QTest::newRow("100,000 characters") << longText;
    }

    void textsThroughEveryWindow()
    {
        QFETCH(QString, text);
        TestDb db;
        const QStringList schema = Schema(db);
        MessageCapture mc;

        QWidget* question = Open("miAddQuestion", "frmQuestion");
        Ui::Pick(question, "cmbModelRow", 0);
        Ui::Pick(question, "cmbModelCol", 0);
        Paste(Ui::Find(question, "txtLabel"), text);
        Paste(Ui::Find(question, "txtQuestion"), text);
        Ui::Click(question, "butSubmit");

        QWidget* header = Open("miCompleteSurvey", "frmNewSurvey");
        Paste(Box(header, "txtCompletedBy"), text);
        Paste(Box(header, "txtCompany"), text + u'!');
        Ui::Click(header, "butSubmit");
        QCOMPARE(mc.messages, QStringList());

        QWidget* survey = Ui::FindWindow("frmSurvey");
        QVERIFY(survey->isVisible());
        Ui::PickText(survey, "cmbSurveyID", QStringLiteral("1"));
        QCOMPARE(Box(survey, "txtCompletedBy")->text(), TrimBlanks(text));
        QCOMPARE(Box(survey, "txtCompany")->text(), TrimBlanks(text + u'!'));
        Ui::Pick(survey, "cmbModelRow", 0);
        Ui::Pick(survey, "cmbModelCol", 0);
        QCOMPARE(Ui::Find<QLabel>(Ui::Row(survey, 0), "lblQuestion")->text(), TrimBlanks(text));
        Ui::Choose(Ui::Row(survey, 0), 4);
        Ui::Click(survey, "butSubmit");
        QCOMPARE(mc.messages, QStringList{QStringLiteral("Survey Submitted")});

        const QByteArray bytes = text.toUtf8();
        QCOMPARE(db.rows(QStringLiteral("SELECT typeof(label), CAST(label AS BLOB), "
                                        "CAST(question_text AS BLOB) FROM question")),
                 (QList<QVariantList>{{QStringLiteral("text"), bytes, bytes}}));
        QCOMPARE(db.rows(QStringLiteral("SELECT id, CAST(completed_by AS BLOB), "
                                        "CAST(company AS BLOB) FROM survey")),
                 (QList<QVariantList>{{1, bytes, bytes + '!'}}));
        QCOMPARE(db.rows(QStringLiteral("SELECT survey_id, answer FROM survey_results")),
                 (QList<QVariantList>{{1, 4}}));
        QCOMPARE(Schema(db), schema);
        QCOMPARE(db.count(QStringLiteral("model_row")), 3);
        QCOMPARE(db.count(QStringLiteral("model_column")), 3);
        QCOMPARE(IntegrityCheck(db), QStringLiteral("ok"));
    }

    // At the 16-bit edge: survey number 32767 is proposed and stored, and then
    // no number is offered; question 32767 is answered and counted normally,
    // question 32768 is refused with a message naming it; nothing wraps.
    void sixteenBitEdge()
    {
        TestDb db;
        db.addSurvey(32766);
        db.exec(QStringLiteral("INSERT INTO question VALUES (32767, 'L', 'Last that fits', 0, 0)"));
        db.exec(QStringLiteral("INSERT INTO question VALUES (32768, 'L', 'First too far', 1, 1)"));
        MessageCapture mc;

        QWidget* header = Open("miCompleteSurvey", "frmNewSurvey");
        QCOMPARE(Box(header, "txtSurveyID")->text(), QStringLiteral("32767"));
        Box(header, "txtCompletedBy")->setText(QStringLiteral("Edge"));
        Box(header, "txtCompany")->setText(QStringLiteral("Case"));
        Ui::Click(header, "butSubmit");
        QCOMPARE(mc.messages, QStringList());
        header = Open("miCompleteSurvey", "frmNewSurvey");
        QCOMPARE(Box(header, "txtSurveyID")->text(), QString());
        Ui::Click(header, "butSubmit");
        const QString noneLeft = QStringLiteral("No further survey number is available.");
        QCOMPARE(mc.messages, (QStringList{noneLeft, noneLeft}));
        QCOMPARE(db.rows(QStringLiteral("SELECT id FROM survey ORDER BY id")),
                 (QList<QVariantList>{{32766}, {32767}}));
        mc.messages.clear();

        QWidget* survey = Open("miModifySurveyAnswers", "frmSurvey");
        Ui::PickText(survey, "cmbSurveyID", QStringLiteral("32767"));
        QCOMPARE(Box(survey, "txtCompletedBy")->text(), QStringLiteral("Edge"));
        Ui::Pick(survey, "cmbModelRow", 0);
        Ui::Pick(survey, "cmbModelCol", 0);
        QCOMPARE(Ui::Row(survey, 0)->Get_QuestionID(), qint16(32767));
        Ui::Choose(Ui::Row(survey, 0), 4);
        Ui::Click(survey, "butSubmit");
        QCOMPARE(mc.messages, QStringList{QStringLiteral("Survey Submitted")});
        mc.messages.clear();

        Ui::Pick(survey, "cmbModelRow", 1);
        Ui::Pick(survey, "cmbModelCol", 1);
        QCOMPARE(mc.messages.size(), 1);
        QVERIFY2(mc.last().contains(QStringLiteral("32768")) &&
                     mc.last().contains(QStringLiteral("First too far")),
                 qPrintable(mc.last()));
        QCOMPARE(Ui::Row(survey, 0)->Get_QuestionID(), qint16(-1));
        QCOMPARE(db.rows(QStringLiteral("SELECT survey_id, question_id, answer FROM "
                                        "survey_results")),
                 (QList<QVariantList>{{32767, 32767, 4}}));

        // The answer counts in its cell: a mean of 4 takes the top band.
        QWidget* results = Open("miQueltTable", "frmModelTable");
        Ui::PickText(results, "cmbSurvey", QStringLiteral("32767"));
        Ui::Click(results, "butResults");
        const QImage picture = Ui::Find(results, "picTable")->grab().toImage();
        QCOMPARE(picture.pixelColor(TwipsToPxX(2250), TwipsToPxY(2250)), QColor(128, 255, 128));
        QCOMPARE(picture.pixelColor(TwipsToPxX(3250), TwipsToPxY(3250)), NoAnswersColour());

        // A survey numbered beyond them, stored by other means, is offered by
        // both windows, and both refuse it in the same words, each over its
        // own window.
        db.addSurvey(40000);
        mc.messages.clear();
        mc.parents.clear();
        Ui::PickText(Open("miModifySurveyAnswers", "frmSurvey"), "cmbSurveyID",
                     QStringLiteral("40000"));
        results = Open("miQueltTable", "frmModelTable");
        Ui::PickText(results, "cmbSurvey", QStringLiteral("40000"));
        Ui::Click(results, "butResults");
        QCOMPARE(mc.messages.size(), 2);
        QCOMPARE(mc.messages.at(0), mc.messages.at(1));
        QVERIFY2(mc.last().contains(QStringLiteral("Survey number 40000 is beyond")),
                 qPrintable(mc.last()));
        QCOMPARE(mc.parents, (QStringList{"frmSurvey", "frmModelTable"}));
    }
};

QUELT_TEST(BadInputTest);
#include "BadInputTest.moc"
