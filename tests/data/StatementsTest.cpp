#include "common/TestDb.h"
#include "common/TestRegistry.h"

#include "data/Statements.h"
#include "platform/DbEngine.h"

#include <QTest>

class StatementsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every statement, byte for byte.
    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1") << Sql::SelectModelRows() << "SELECT row_number, name FROM model_row";
        QTest::newRow("2") << Sql::SelectModelColumns() << "SELECT col_number, name FROM model_column";
        QTest::newRow("3") << Sql::SelectSurveyIds() << "SELECT id FROM survey";
        QTest::newRow("4") << Sql::SelectSurveyHeader(7)
                           << "SELECT completed_by, company FROM survey WHERE id = 7";
        QTest::newRow("5") << Sql::SelectCellQuestions(2, 3)
                           << "SELECT id, label, question_text FROM question WHERE row_id = 2 AND col_id = 3 ";
        QTest::newRow("6") << Sql::SelectMaxSurveyId() << "SELECT MAX(id) as iMax from survey ";
        QTest::newRow("7") << Sql::SelectColumnNamesOrdered()
                           << "SELECT col_number, name FROM model_column ORDER BY col_number";
        QTest::newRow("8") << Sql::SelectRowNamesOrdered()
                           << "SELECT row_number, name FROM model_row ORDER BY row_number";
        QTest::newRow("9")
            << Sql::SelectGridSums({QStringLiteral("7"), false}, {2}, {3, 4},
                                   {Sql::AnswerPlan::BySurvey, QStringLiteral("by \"survey\"")})
            << "SELECT q.row_id AS row_value, q.col_id AS col_value, COUNT(r.answer) AS iCount, "
               "SUM(r.answer) AS iSum, MIN(r.answer) AS iLowest, MAX(r.answer) AS iHighest FROM "
               "survey_results AS r INDEXED BY \"by \"\"survey\"\"\" CROSS JOIN question AS q "
               "WHERE r.question_id = q.id AND r.survey_id IN (7) GROUP BY q.row_id, q.col_id";
        QTest::newRow("9, several surveys, by question")
            << Sql::SelectGridOddAnswers({QStringLiteral("1,3"), true}, {0}, {1},
                                         {Sql::AnswerPlan::ByQuestion, QStringLiteral("q")})
            << "SELECT CAST(q.row_id AS INTEGER) AS row_number, CAST(q.col_id AS INTEGER) AS "
               "col_number, r.survey_id AS survey, r.question_id AS question, r.answer AS answer, "
               "r.answer >> 32 AS iHigh, r.answer & 4294967295 AS iLow, CAST(r.answer AS INTEGER) "
               "NOT BETWEEN 0 AND 4 AS iOutside FROM question AS q CROSS JOIN survey_results AS r "
               "INDEXED BY \"q\" WHERE r.question_id = q.id AND (r.survey_id IN (1,3)) = 1 AND "
               "q.row_id IN (0) AND q.col_id IN (1) AND CAST(r.answer AS INTEGER) <> r.answer";
        QTest::newRow("10") << Sql::InsertQuestion(QStringLiteral("4"), QStringLiteral("Why"), 2, 3)
                            << "INSERT INTO question (label, question_text, row_id, col_id) VALUES ('4', 'Why', 2, 3)";
        QTest::newRow("11") << Sql::InsertSurvey(3, QStringLiteral("A"), QStringLiteral("B"))
                            << "INSERT INTO survey (id, completed_by, company) VALUES (3, 'A', 'B')";
        QTest::newRow("12") << Sql::InsertAnswer(7, 12, 3)
                            << "INSERT INTO survey_results (survey_id, question_id, answer) VALUES (7, 12, 3)";
        QTest::newRow("negative and empty")
            << Sql::InsertQuestion(QString(), QString(), -3, 0)
            << "INSERT INTO question (label, question_text, row_id, col_id) VALUES ('', '', -3, 0)";
        QTest::newRow("copy's rows bound")
            << Sql::InsertRows(QStringLiteral("survey"),
                               {QStringLiteral("id"), QStringLiteral("company")}, 2, false)
            << "INSERT INTO survey (id, company) VALUES (?, ?), (?, ?)";
        QTest::newRow("copy's rows bound on a server")
            << Sql::InsertRows(QStringLiteral("survey"),
                               {QStringLiteral("id"), QStringLiteral("company")}, 2, true)
            << "INSERT INTO survey (id, company) VALUES ($1, $2), ($3, $4)";
        QTest::newRow("quote doubled") << Sql::Quote(QStringLiteral("O'Brien")) << "'O''Brien'";
        QTest::newRow("only quotes") << Sql::Quote(QStringLiteral("''")) << "''''''";
    }

    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    // Texts go in exactly as typed and cannot change what a statement does.
    void textsStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
        QTest::newRow("injection") << QStringLiteral("'); DROP TABLE survey; --");
        QTest::newRow("quotes of every kind") << QStringLiteral("'\"`‘’“”''");
        QTest::newRow("backslash percent underscore") << QStringLiteral("C:\\dir\\%_%\\'");
        QTest::newRow("blanks, tab and breaks") << QStringLiteral("  a\tb\r\nc\n  ");
        QTest::newRow("emoji rtl combining")
            << QStringLiteral("😀 שלום عربى e\u0301 \u202Eabc");
        QTest::newRow("empty") << QString();
        QTest::newRow("long") << QString(100000, u'\'');
    }

    void textsStoredExactly()
    {
        QFETCH(QString, text);
        TestDb fixture;
        {
            Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
            db.Execute(Sql::InsertQuestion(text, text + QStringLiteral("?"), 1, 2));
            db.Execute(Sql::InsertSurvey(5, text, text));
        }
        const auto question = fixture.rows(QStringLiteral("SELECT label, question_text, row_id, col_id FROM question"));
        QCOMPARE(question, (QList<QVariantList>{{text, text + u'?', 1, 2}}));
        const auto survey = fixture.rows(QStringLiteral("SELECT id, completed_by, company FROM survey"));
        QCOMPARE(survey, (QList<QVariantList>{{5, text, text}}));
        // The five tables and the two of the history, nothing made by a text.
        QCOMPARE(fixture.count(QStringLiteral("sqlite_master WHERE type = 'table'")), 7);
    }
};

QUELT_TEST(StatementsTest);
#include "StatementsTest.moc"
