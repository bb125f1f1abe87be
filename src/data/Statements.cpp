#include "data/Statements.h"

#include "platform/Convert.h"

#include <QStringBuilder>

namespace Sql {

QString Quote(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

QString SelectModelRows()
{
    return QStringLiteral("SELECT row_number, name FROM model_row");
}

QString SelectModelColumns()
{
    return QStringLiteral("SELECT col_number, name FROM model_column");
}

QString SelectSurveyIds()
{
    return QStringLiteral("SELECT id ") + QStringLiteral("FROM survey");
}

QString SelectSurveyHeader(qint16 surveyId)
{
    return QStringLiteral("SELECT completed_by, company FROM survey ") +
           QStringLiteral("WHERE id = ") + DecimalText(surveyId);
}

QString SelectCellQuestions(qint16 rowNumber, qint16 colNumber)
{
    return QStringLiteral("SELECT id, label, question_text ") + QStringLiteral("FROM question ") +
           QStringLiteral("WHERE row_id = ") + DecimalText(rowNumber) + QStringLiteral(" ") +
           QStringLiteral("AND col_id = ") + DecimalText(colNumber) + QStringLiteral(" ");
}

QString SelectMaxSurveyId()
{
    return QStringLiteral("SELECT MAX(id) as iMax from survey ");
}

QString SelectColumnNamesOrdered()
{
    return QStringLiteral("SELECT col_number, name ") + QStringLiteral("FROM model_column ") +
           QStringLiteral("ORDER BY col_number");
}

QString SelectRowNamesOrdered()
{
    return QStringLiteral("SELECT row_number, name ") + QStringLiteral("FROM model_row ") +
           QStringLiteral("ORDER BY row_number");
}

// Joined in one go (%): the results window makes this text once per cell,
// and joining piece by piece made a new string at every piece.
QString SelectCellSum(qint64 surveyId, qint64 rowNumber, qint64 colNumber)
{
    return QStringLiteral("SELECT SUM(answer) as iSum, ") %
           QStringLiteral("COUNT(answer) as iCount ") %
           QStringLiteral("FROM survey_results, question ") %
           QStringLiteral("WHERE survey_results.question_id = question.id ") %
           QStringLiteral("AND survey_id = ") % DecimalText(surveyId) % QStringLiteral(" ") %
           QStringLiteral("AND row_id = ") % DecimalText(rowNumber) % QStringLiteral(" ") %
           QStringLiteral("AND col_id = ") % DecimalText(colNumber);
}

QString InsertQuestion(const QString& label, const QString& questionText, qint16 rowNumber,
                       qint16 colNumber)
{
    return QStringLiteral("INSERT INTO question (label, question_text, row_id, col_id) ") +
           QStringLiteral("VALUES (") + Quote(label) + QStringLiteral(", ") +
           Quote(questionText) + QStringLiteral(", ") + DecimalText(rowNumber) +
           QStringLiteral(", ") + DecimalText(colNumber) + QStringLiteral(")");
}

QString InsertSurvey(qint16 surveyId, const QString& completedBy, const QString& company)
{
    return QStringLiteral("INSERT INTO survey (id, completed_by, company) ") +
           QStringLiteral("VALUES (") + DecimalText(surveyId) + QStringLiteral(", ") +
           Quote(completedBy) + QStringLiteral(", ") + Quote(company) + QStringLiteral(")");
}

QString InsertAnswer(qint16 surveyId, qint16 questionId, qint16 answer)
{
    return QStringLiteral("INSERT INTO survey_results (survey_id, question_id, answer) ") +
           QStringLiteral("VALUES (") + DecimalText(surveyId) + QStringLiteral(", ") +
           DecimalText(questionId) + QStringLiteral(", ") + DecimalText(answer) +
           QStringLiteral(")");
}

QString InsertModelRow(qint64 rowNumber, const QString& name)
{
    return QStringLiteral("INSERT INTO model_row (row_number, name) VALUES (%1, %2)")
        .arg(DecimalText(rowNumber), Quote(name));
}

QString InsertModelColumn(qint64 colNumber, const QString& name)
{
    return QStringLiteral("INSERT INTO model_column (col_number, name) VALUES (%1, %2)")
        .arg(DecimalText(colNumber), Quote(name));
}

QString SelectQuestionCells()
{
    return QStringLiteral("SELECT id, row_id, col_id FROM question ORDER BY id");
}

QString SelectMaxQuestionId()
{
    return QStringLiteral("SELECT MAX(id) as iMax FROM question");
}

QString SelectCellOverSurveys(const QString& surveySet, qint64 rowNumber, qint64 colNumber)
{
    return QStringLiteral("SELECT COUNT(DISTINCT CASE WHEN answer IS NOT NULL THEN survey_id END) "
                          "as iSurveys, SUM(answer) as iSum, COUNT(answer) as iCount "
                          "FROM survey_results, question "
                          "WHERE survey_results.question_id = question.id "
                          "AND survey_id IN (") %
           surveySet % QStringLiteral(") AND row_id = ") % DecimalText(rowNumber) %
           QStringLiteral(" AND col_id = ") % DecimalText(colNumber);
}

// The joined tables are reduced to one row per number first, so a file that
// repeats a number still gives one line per answer; an answer whose survey or
// question is missing still appears, with those values null. Each line comes
// as one array of values: reading eleven fields by name costs the engine
// layer far more per row than the query itself.
QString SelectAnswerLines()
{
    return QStringLiteral(
        "SELECT json_array(r.survey_id, s.completed_by, s.company, r.question_id, q.label, "
        "q.question_text, q.row_id, mr.name, q.col_id, mc.name, r.answer) AS line "
        "FROM survey_results r "
        "LEFT JOIN (SELECT id, completed_by, company FROM survey GROUP BY id) s "
        "ON s.id = r.survey_id "
        "LEFT JOIN (SELECT id, label, question_text, row_id, col_id FROM question GROUP BY id) q "
        "ON q.id = r.question_id "
        "LEFT JOIN (SELECT row_number, name FROM model_row GROUP BY row_number) mr "
        "ON mr.row_number = q.row_id "
        "LEFT JOIN (SELECT col_number, name FROM model_column GROUP BY col_number) mc "
        "ON mc.col_number = q.col_id "
        "ORDER BY r.rowid");
}

QString SelectSchemaObjects()
{
    return QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE type IN "
                          "('view', 'trigger') OR (type = 'table' AND (sql LIKE '%CONFLICT%' "
                          "OR sql LIKE '%VIRTUAL%' OR sql LIKE '%AS%'))");
}

QString SelectGeneratedColumns()
{
    return QStringLiteral(
        "SELECT m.name AS tbl, c.name AS name FROM sqlite_master m, pragma_table_xinfo(m.name) c "
        "WHERE m.type = 'table' AND lower(m.name) IN ('model_row', 'model_column', 'question', "
        "'survey', 'survey_results') AND m.sql NOT LIKE 'CREATE VIRTUAL%' AND c.hidden IN (2, 3)");
}

QString SelectSurveyNumberHolders(qint64 surveyId)
{
    return QStringLiteral("SELECT id AS v FROM survey WHERE id = %1 OR (typeof(id) IN ('text', "
                          "'blob') AND CAST(id AS REAL) = %1)")
        .arg(DecimalText(surveyId));
}

QString SelectOddAnswers(const QString& surveySet, qint64 rowNumber, qint64 colNumber)
{
    return QStringLiteral("SELECT survey_id AS survey, question_id AS question, answer "
                          "FROM survey_results, question "
                          "WHERE survey_results.question_id = question.id "
                          "AND survey_id IN (") %
           surveySet % QStringLiteral(") AND row_id = ") % DecimalText(rowNumber) %
           QStringLiteral(" AND col_id = ") % DecimalText(colNumber) %
           QStringLiteral(" AND typeof(answer) <> 'integer'");
}

QString SelectIntegrityCheck()
{
    return QStringLiteral("PRAGMA integrity_check");
}

QString SelectTableColumns(const QString& table)
{
    return QStringLiteral("SELECT name FROM pragma_table_xinfo(%1)").arg(Quote(table));
}

QString SelectIndexes(const QString& table)
{
    return QStringLiteral("SELECT name FROM pragma_index_list(%1)").arg(Quote(table));
}

QString SelectIndexColumns(const QString& index)
{
    return QStringLiteral("SELECT name FROM pragma_index_info(%1) ORDER BY seqno")
        .arg(Quote(index));
}

// Table and column names below come from the program's own list of the five
// tables, never from a user.
QString CountNulls(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT count(*) AS v FROM %1 WHERE %2 IS NULL").arg(table, column);
}

QString SelectTableDefinition(const QString& table)
{
    return QStringLiteral("SELECT type, sql FROM sqlite_master WHERE lower(name) = lower(%1)")
        .arg(Quote(table));
}

QString SelectColumnValues(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT %2 AS v FROM %1").arg(table, column);
}

QString SelectLongestValue(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT max(length(%2)) AS v FROM %1").arg(table, column);
}

// Only values the engine does not hold as 16-bit integers are fetched.
QString SelectOddNumbers(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT %2 AS v FROM %1 WHERE %2 IS NOT NULL AND NOT "
                          "(typeof(%2) = 'integer' AND %2 BETWEEN -32768 AND 32767)")
        .arg(table, column);
}

// A number that is null or blank addresses nothing and is left out, as the
// windows leave it out.
QString SelectNumbering(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT count(*) AS n, count(DISTINCT %2) AS d, "
                          "min(%2) AS lo, max(%2) AS hi FROM %1 WHERE trim(%2) <> ''")
        .arg(table, column);
}

QString CountUnnumbered(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT count(*) AS v FROM %1 WHERE %2 IS NULL OR trim(%2) = ''")
        .arg(table, column);
}

QString CountQuestionsOutsideModel()
{
    return QStringLiteral("SELECT count(*) AS v FROM question WHERE row_id NOT IN "
                          "(SELECT row_number FROM model_row) OR col_id NOT IN "
                          "(SELECT col_number FROM model_column)");
}

QString CountAnswersWithoutQuestion()
{
    return QStringLiteral("SELECT count(*) AS v FROM survey_results WHERE question_id NOT IN "
                          "(SELECT id FROM question)");
}

QString CountAnswersWithoutSurvey()
{
    return QStringLiteral("SELECT count(*) AS v FROM survey_results WHERE survey_id NOT IN "
                          "(SELECT id FROM survey)");
}

QString CountScoresOutsideRange()
{
    return QStringLiteral(
        "SELECT count(*) AS v FROM survey_results WHERE answer NOT BETWEEN 0 AND 4");
}

} // namespace Sql
