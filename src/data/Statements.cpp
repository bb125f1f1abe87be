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

QString QuoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
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

QString SelectCellAnswers(qint64 surveyId, qint64 rowNumber, qint64 colNumber)
{
    return QStringLiteral("SELECT question_id, answer FROM question CROSS JOIN survey_results "
                          "WHERE survey_results.question_id = question.id AND survey_id = ") %
           DecimalText(surveyId) % QStringLiteral(" AND row_id = ") % DecimalText(rowNumber) %
           QStringLiteral(" AND col_id = ") % DecimalText(colNumber);
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

namespace {

template <class Number>
QString numberList(const QList<Number>& numbers, QStringView separator = u",")
{
    QStringList texts;
    texts.reserve(numbers.size());
    for (Number n : numbers)
        texts.append(DecimalText(n));
    return texts.join(separator);
}

// The answers of a set of surveys to the questions of the grid's cells, as
// the engine is told to read them. A cell is addressed as `row_id = n`
// addresses it; IN compares as = does. A list is a look-up for each of its
// values only on the table read first (the cells' questions, or each
// survey's range); on the other one it is a test, written (x IN (...)) = 1,
// which compares the same: a look-up for every survey, or every cell, of
// every row read would multiply the work by the list. With `allCells`, the
// cells' test is left out where the questions are not read first, for the
// caller to make on each cell's numbers.
QString gridAnswers(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                    const QList<qint64>& colNumbers, const AnswerPlan& plan, bool allCells)
{
    QString from;
    switch (plan.kind) {
    case AnswerPlan::BySurvey:
        from = QStringLiteral("FROM survey_results AS r INDEXED BY ") % QuoteName(plan.index) %
               QStringLiteral(" CROSS JOIN question AS q ");
        break;
    case AnswerPlan::ByQuestion:
        from = QStringLiteral("FROM question AS q CROSS JOIN survey_results AS r INDEXED BY ") %
               QuoteName(plan.index) % u' ';
        break;
    case AnswerPlan::Once:
        from = QStringLiteral("FROM survey_results AS r NOT INDEXED CROSS JOIN question AS q ");
        break;
    }
    const auto in = [](const QString& column, const QString& list, bool lookUp) {
        const QString test = column % QStringLiteral(" IN (") % list % u')';
        return lookUp ? test : u'(' + test + QStringLiteral(") = 1");
    };
    const bool questionsFirst = plan.kind == AnswerPlan::ByQuestion;
    const QString answers =
        from % QStringLiteral("WHERE r.question_id = q.id AND ") %
        in(QStringLiteral("r.survey_id"), surveys.set, !questionsFirst || !surveys.several);
    if (allCells && !questionsFirst)
        return answers;
    return answers % QStringLiteral(" AND ") %
           in(QStringLiteral("q.row_id"), numberList(rowNumbers), questionsFirst) %
           QStringLiteral(" AND ") %
           in(QStringLiteral("q.col_id"), numberList(colNumbers), questionsFirst);
}

// The cell a row of gridAnswers falls in, as the numbers that address it.
QString selectGridCell()
{
    return QStringLiteral("SELECT CAST(q.row_id AS INTEGER) AS row_number, "
                          "CAST(q.col_id AS INTEGER) AS col_number, ");
}

// The rest of a statement grouping gridAnswers by cell, after its own
// columns: how many of several surveys answered in each.
QString byCell(const SurveySet& surveys, const QList<qint64>& rowNumbers,
               const QList<qint64>& colNumbers, const AnswerPlan& plan, bool allCells)
{
    return (surveys.several ? QStringLiteral(", COUNT(DISTINCT CASE WHEN r.answer IS NOT NULL "
                                             "THEN r.survey_id END) AS iSurveys ")
                            : QStringLiteral(" ")) %
           gridAnswers(surveys, rowNumbers, colNumbers, plan, allCells) %
           QStringLiteral(" GROUP BY q.row_id, q.col_id");
}

} // namespace

// Each grouped by the columns themselves, not by numbers made of them: read
// through the index on the cells, the questions come in that order already,
// and nothing is sorted.
QString SelectGridSums(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                       const QList<qint64>& colNumbers, const AnswerPlan& plan)
{
    return QStringLiteral("SELECT q.row_id AS row_value, q.col_id AS col_value, COUNT(r.answer) "
                          "AS iCount, SUM(r.answer) AS iSum, MIN(r.answer) AS iLowest, "
                          "MAX(r.answer) AS iHighest") %
           byCell(surveys, rowNumbers, colNumbers, plan, true);
}

QString SelectGridTotals(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                         const QList<qint64>& colNumbers, const AnswerPlan& plan)
{
    return selectGridCell() %
           QStringLiteral("COUNT(r.answer) AS iCount, SUM(r.answer >> 32) AS iHigh, "
                          "SUM(r.answer & 4294967295) AS iLow, "
                          "SUM(CAST(r.answer AS INTEGER) <> r.answer) AS iOdd, "
                          "SUM(CAST(r.answer AS INTEGER) NOT BETWEEN 0 AND 4) AS iOutside") %
           byCell(surveys, rowNumbers, colNumbers, plan, false);
}

QString SelectGridOddAnswers(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                             const QList<qint64>& colNumbers, const AnswerPlan& plan)
{
    return selectGridCell() %
           QStringLiteral("r.survey_id AS survey, r.question_id AS question, r.answer AS answer, "
                          "r.answer >> 32 AS iHigh, r.answer & 4294967295 AS iLow, "
                          "CAST(r.answer AS INTEGER) NOT BETWEEN 0 AND 4 AS iOutside ") %
           gridAnswers(surveys, rowNumbers, colNumbers, plan, false) %
           QStringLiteral(" AND CAST(r.answer AS INTEGER) <> r.answer");
}

QString ExplainPlan(const QString& sql)
{
    return QStringLiteral("EXPLAIN QUERY PLAN ") + sql;
}

// The joined tables are reduced to one row per number first, so a file that
// repeats a number still gives one line per answer; an answer whose survey or
// question is missing still appears, with those values null. Each line comes
// as one array of values: reading eleven fields by name costs the engine
// layer far more per row than the query itself.
namespace {

// Every answer of `from` (aliased r) with its survey, question and cell,
// and `extra` values after the score.
QString fileAnswerLines(const QString& extra, const QString& from, const QString& order)
{
    return QStringLiteral(
               "SELECT json_array(r.survey_id, s.completed_by, s.company, r.question_id, q.label, "
               "q.question_text, q.row_id, mr.name, q.col_id, mc.name, r.answer%1) AS line "
               "FROM %2 "
               "LEFT JOIN (SELECT id, completed_by, company FROM survey GROUP BY id) s "
               "ON s.id = r.survey_id "
               "LEFT JOIN (SELECT id, label, question_text, row_id, col_id FROM question GROUP BY "
               "id) q "
               "ON q.id = r.question_id "
               "LEFT JOIN (SELECT row_number, name FROM model_row GROUP BY row_number) mr "
               "ON mr.row_number = q.row_id "
               "LEFT JOIN (SELECT col_number, name FROM model_column GROUP BY col_number) mc "
               "ON mc.col_number = q.col_id "
               "ORDER BY %3")
        .arg(extra, from, order);
}

} // namespace

QString SelectAnswerLines(const QString& order)
{
    return fileAnswerLines({}, QStringLiteral("survey_results r"), order);
}

QString SelectIsWithoutRowid(const QString& table)
{
    return QStringLiteral("SELECT wr AS v FROM pragma_table_list(%1)").arg(Quote(table));
}

QString SelectPrimaryKey(const QString& table)
{
    return QStringLiteral("SELECT name FROM pragma_table_info(%1) WHERE pk > 0 ORDER BY pk")
        .arg(Quote(table));
}

QString SelectHistoryTables()
{
    return QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name IN "
                          "('history_change', 'history_answer')");
}

QString SelectNextChangeNumber()
{
    return QStringLiteral("SELECT coalesce(max(id), 0) + 1 AS v FROM history_change");
}

QString CountAnswers(const QString& answers)
{
    return QStringLiteral("SELECT count(*) AS v FROM survey_results WHERE ") + answers;
}

QString CountAnswersByQuestion(const QString& answers)
{
    return QStringLiteral("SELECT question_id, count(*) AS n FROM survey_results WHERE ") +
           answers + QStringLiteral(" GROUP BY question_id");
}

QString SelectAnswers(const QString& answers)
{
    return QStringLiteral("SELECT question_id, answer FROM survey_results WHERE ") + answers;
}

QString AnswersOfQuestions(qint64 surveyId, const QList<qint64>& questionIds)
{
    return QStringLiteral("survey_id = %1 AND question_id IN (%2)")
        .arg(DecimalText(surveyId), numberList(questionIds, u", "));
}

QString AnswersInCell(qint64 surveyId, qint64 rowNumber, qint64 colNumber)
{
    return QStringLiteral("survey_id = %1 AND question_id IN (SELECT id FROM question WHERE "
                          "row_id = %2 AND col_id = %3)")
        .arg(DecimalText(surveyId), DecimalText(rowNumber), DecimalText(colNumber));
}

namespace {

QString numberOrNull(const std::optional<qint64>& number)
{
    return number ? DecimalText(*number) : QStringLiteral("NULL");
}

} // namespace

QString InsertAnswerChanges(const QList<AnswerChange>& changes)
{
    QStringList rows;
    for (const AnswerChange& c : changes)
        rows.append(QStringLiteral("(%1, %2, %3, %4, %5, %6, %7, %8, %9, %10)")
                        .arg(DecimalText(c.id), Quote(c.madeAt), Quote(c.madeBy), Quote(c.action),
                             DecimalText(c.surveyId), numberOrNull(c.questionId),
                             numberOrNull(c.rowNumber), numberOrNull(c.colNumber),
                             c.newScore ? Quote(DecimalText(*c.newScore)) : QStringLiteral("NULL"))
                        .arg(DecimalText(c.answers)));
    return QStringLiteral("INSERT INTO history_change (id, made_at, made_by, action, survey_id, "
                          "question_id, row_id, col_id, new_value, answers) VALUES ") +
           rows.join(QStringLiteral(", "));
}

QString CopyAnswersToHistory(const QString& changeId, const QString& answers)
{
    return QStringLiteral("INSERT INTO history_answer (change_id, survey_id, question_id, answer) "
                          "SELECT %1, survey_id, question_id, answer FROM survey_results WHERE %2")
        .arg(changeId, answers);
}

QString ChangeOfQuestion(const QList<QPair<qint64, qint64>>& changes)
{
    QString sql = QStringLiteral("CASE question_id");
    for (const auto& [question, change] : changes)
        sql += QStringLiteral(" WHEN %1 THEN %2").arg(DecimalText(question), DecimalText(change));
    return sql + QStringLiteral(" END");
}

QString DeleteAnswers(const QString& answers)
{
    return QStringLiteral("DELETE FROM survey_results WHERE ") + answers;
}

// Table and column names come from the program's own calls, never from a user.
QString InsertTextChange(qint64 id, const QString& madeAt, const QString& madeBy,
                         const QString& table, qint64 rowId, const QString& column,
                         const QString& value)
{
    return QStringLiteral("INSERT INTO history_change (id, made_at, made_by, action, %1, "
                          "old_value, new_value, answers) SELECT %2, %3, %4, %5, id, %6, %7, 0 "
                          "FROM %8 WHERE id = %9")
        .arg(table == QLatin1String("survey") ? QStringLiteral("survey_id")
                                              : QStringLiteral("question_id"),
             DecimalText(id), Quote(madeAt), Quote(madeBy), Quote(column), column, Quote(value),
             table, DecimalText(rowId));
}

QString UpdateText(const QString& table, qint64 rowId, const QString& column, const QString& value)
{
    return QStringLiteral("UPDATE %1 SET %2 = %3 WHERE id = %4")
        .arg(table, column, Quote(value), DecimalText(rowId));
}

QString SelectText(const QString& table, qint64 rowId, const QString& column)
{
    return QStringLiteral("SELECT %2 AS v FROM %1 WHERE id = %3")
        .arg(table, column, DecimalText(rowId));
}

QString SelectChanges(std::optional<qint64> surveyId)
{
    return QStringLiteral("SELECT id, made_at, made_by, action, survey_id, question_id, row_id, "
                          "col_id, old_value, new_value, answers FROM history_change ") +
           (surveyId ? QStringLiteral("WHERE survey_id = %1 ").arg(DecimalText(*surveyId))
                     : QString()) +
           QStringLiteral("ORDER BY id");
}

QString SelectMovedAnswers(std::optional<qint64> surveyId)
{
    return QStringLiteral("SELECT change_id, question_id, answer FROM history_answer") +
           (surveyId ? QStringLiteral(" WHERE survey_id = %1").arg(DecimalText(*surveyId))
                     : QString());
}

QString SelectUnbalancedChanges()
{
    return QStringLiteral("SELECT c.id AS id, c.action AS action, c.survey_id AS survey_id, "
                          "c.answers AS said, count(a.change_id) AS held FROM history_change c "
                          "LEFT JOIN history_answer a ON a.change_id = c.id "
                          "GROUP BY c.id, c.action, c.survey_id, c.answers "
                          "HAVING count(a.change_id) <> c.answers ORDER BY c.id");
}

QString CountMovedAnswersWithoutChange()
{
    return QStringLiteral("SELECT count(*) AS v FROM history_answer WHERE change_id NOT IN "
                          "(SELECT id FROM history_change)");
}

QString SelectMovedAnswerLines(const QString& order)
{
    return fileAnswerLines(QStringLiteral(", c.action, c.made_at, c.made_by"),
                           QStringLiteral("history_answer r JOIN history_change c ON c.id = "
                                          "r.change_id"),
                           QStringLiteral("c.id, ") + order);
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
        "'survey', 'survey_results', 'history_change', 'history_answer') AND m.sql NOT LIKE "
        "'CREATE VIRTUAL%' AND c.hidden IN (2, 3)");
}

QString SelectSurveyNumberHolders(qint64 surveyId)
{
    return QStringLiteral("SELECT id AS v FROM survey WHERE id = %1 OR (typeof(id) IN ('text', "
                          "'blob') AND CAST(id AS REAL) = %1)")
        .arg(DecimalText(surveyId));
}

QString SelectTableDefinitions()
{
    return QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE type IN ('table', "
                          "'index') AND sql IS NOT NULL AND lower(tbl_name) IN ('model_row', "
                          "'model_column', 'question', 'survey', 'survey_results', "
                          "'history_change', 'history_answer') ORDER BY type = 'index', rowid");
}

QString SelectStatistics()
{
    return QStringLiteral("SELECT lower(tbl) AS tbl, idx, stat FROM sqlite_stat1 WHERE lower(tbl) "
                          "IN ('model_row', 'model_column', 'question', 'survey', "
                          "'survey_results')");
}

QString CountRows(const QString& table)
{
    return QStringLiteral("SELECT count(*) AS v FROM %1").arg(table);
}

QString CountDistinct(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT count(DISTINCT %2) AS v FROM %1").arg(table, QuoteName(column));
}

QString SelectIntegrityCheck()
{
    return QStringLiteral("PRAGMA integrity_check");
}

QString SelectTableColumns(const QString& table)
{
    return QStringLiteral("SELECT name FROM pragma_table_xinfo(%1)").arg(Quote(table));
}

QString SelectIndexShapes(const QString& table)
{
    return QStringLiteral("SELECT l.name AS name, l.partial AS partial, i.name AS col FROM "
                          "pragma_index_list(%1) AS l, pragma_index_info(l.name) AS i "
                          "ORDER BY l.seq, i.seqno")
        .arg(Quote(table));
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

QString SelectSurveyHeaders()
{
    return QStringLiteral("SELECT id, completed_by, company FROM survey");
}

// Grouped by the question's number alone: the other columns of a question
// follow from it (a server's key says so). Summed in two halves, as the
// grid's totals are, so that no answers overflow the engine's sum; each a
// 64-bit number first, which a server's answers are not.
QString SelectQuestionScores(const QString& surveySet, bool bySurvey)
{
    const QString survey = bySurvey ? QStringLiteral(", survey_results.survey_id") : QString();
    return QStringLiteral("SELECT question.id AS id, question.label AS label, "
                          "question.question_text AS question_text, question.row_id AS row_id, "
                          "question.col_id AS col_id") %
           survey %
           QStringLiteral(", SUM(CAST(survey_results.answer AS BIGINT) >> 32) AS iHigh, "
                          "SUM(CAST(survey_results.answer AS BIGINT) & 4294967295) AS iLow, "
                          "COUNT(survey_results.answer) AS iCount "
                          "FROM question LEFT JOIN survey_results "
                          "ON survey_results.question_id = question.id "
                          "AND survey_results.survey_id IN (") %
           surveySet % QStringLiteral(") GROUP BY question.id") % survey %
           QStringLiteral(" ORDER BY question.row_id, question.col_id, question.id") % survey;
}

namespace Server {

namespace {

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

} // namespace

QString Qualified(const QString& sql)
{
    static const QStringList tables = {
        QStringLiteral("model_row"),      QStringLiteral("model_column"),
        QStringLiteral("question"),       QStringLiteral("survey"),
        QStringLiteral("survey_results"), QStringLiteral("history_change"),
        QStringLiteral("history_answer")};
    QString out;
    out.reserve(sql.size() + 64);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    QChar before; // the last character copied that is not blank
    while (i < n) {
        const QChar c = sql.at(i);
        qsizetype end = i + 1;
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside ends one run and begins the next.
            while (end < n && sql.at(end) != c)
                ++end;
            end = std::min(end + 1, n);
        } else if (c == u'$' && !isNameCharacter(before)) {
            // $$ or $tag$: everything up to the same tag again.
            qsizetype tagEnd = end;
            while (tagEnd < n && sql.at(tagEnd) != u'$' && isNameCharacter(sql.at(tagEnd)))
                ++tagEnd;
            if (tagEnd < n && sql.at(tagEnd) == u'$') {
                const QString tag = sql.mid(i, tagEnd + 1 - i);
                const qsizetype close = sql.indexOf(tag, tagEnd + 1);
                end = close < 0 ? n : close + tag.size();
            }
        } else if (c.isLetter() || c == u'_') {
            while (end < n && isNameCharacter(sql.at(end)))
                ++end;
            if (before != u'.' && tables.contains(sql.mid(i, end - i)))
                out += QStringLiteral("public.");
        }
        out += QStringView(sql).sliced(i, end - i);
        if (!sql.at(end - 1).isSpace())
            before = sql.at(end - 1);
        i = end;
    }
    return out;
}

QString SelectSchemaObjects()
{
    return QStringLiteral(
        "WITH t AS (SELECT c.oid, c.relname::text AS tbl, c.relkind, c.relrowsecurity, "
        "c.relowner FROM pg_class c WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE "
        "nspname = 'public') AND c.relname IN ('model_row', 'model_column', 'question', "
        "'survey', 'survey_results', 'history_change', 'history_answer')) "
        "SELECT 'relation' AS kind, tbl, relkind::text AS name, '' AS secure, '' AS body "
        "FROM t WHERE relkind <> 'r' "
        "UNION ALL SELECT 'trigger', t.tbl, g.tgname::text, '', '' FROM pg_trigger g "
        "JOIN t ON g.tgrelid = t.oid WHERE NOT g.tgisinternal "
        "UNION ALL SELECT 'rule', t.tbl, r.rulename::text, '', '' FROM pg_rewrite r "
        "JOIN t ON r.ev_class = t.oid WHERE r.rulename <> '_RETURN' "
        "UNION ALL SELECT 'policy', t.tbl, p.polname::text, '', '' FROM pg_policy p "
        "JOIN t ON p.polrelid = t.oid "
        "UNION ALL SELECT 'security', tbl, '', '', '' FROM t WHERE relrowsecurity "
        "UNION ALL SELECT 'child', t.tbl, h.inhrelid::regclass::text, '', '' FROM pg_inherits h "
        "JOIN t ON h.inhparent = t.oid "
        "UNION ALL SELECT 'computed', t.tbl, a.attname::text, '', '' FROM pg_attribute a "
        "JOIN t ON a.attrelid = t.oid WHERE a.attgenerated <> '' AND NOT a.attisdropped "
        "UNION ALL SELECT 'function', '', f.oid::regprocedure::text, coalesce(f.prosecdef AND "
        "f.proowner = ALL (SELECT relowner FROM t) AND f.proconfig = "
        "ARRAY['search_path=pg_catalog, pg_temp'], false)::text, f.prosrc FROM pg_proc f "
        "WHERE f.pronamespace = (SELECT oid FROM pg_namespace WHERE nspname = 'public') "
        "AND f.proname LIKE 'quelt\\_%'");
}

QString CallStoreQuestion(const QString& label, const QString& questionText, qint16 rowNumber,
                          qint16 colNumber)
{
    return QStringLiteral("SELECT public.quelt_store_question(%1, %2, %3, %4) AS id")
        .arg(Quote(label), Quote(questionText), DecimalText(rowNumber), DecimalText(colNumber));
}

QString CallStoreSurvey(const QString& completedBy, const QString& company)
{
    return QStringLiteral("SELECT public.quelt_store_survey(%1, %2) AS id")
        .arg(Quote(completedBy), Quote(company));
}

namespace {

QString integerArray(const QList<qint16>& numbers)
{
    return QStringLiteral("ARRAY[") + numberList(numbers, u", ") + QStringLiteral("]::integer[]");
}

QString textOrNull(const std::optional<QString>& text)
{
    return text ? Quote(*text) : QStringLiteral("NULL::text");
}

} // namespace

QString CallStoreAnswers(qint16 surveyId, const QList<qint16>& questionIds,
                         const QList<qint16>& answers)
{
    return QStringLiteral("SELECT public.quelt_store_answers(%1, %2, %3) AS stored")
        .arg(DecimalText(surveyId), integerArray(questionIds), integerArray(answers));
}

QString CallReplaceAnswers(qint16 surveyId, const QList<qint16>& questionIds,
                           const QList<qint16>& answers)
{
    return QStringLiteral("SELECT public.quelt_replace_answers(%1, %2, %3) AS stored")
        .arg(DecimalText(surveyId), integerArray(questionIds), integerArray(answers));
}

QString CallWithdrawCell(qint16 surveyId, qint16 rowNumber, qint16 colNumber)
{
    return QStringLiteral("SELECT public.quelt_withdraw_cell(%1, %2, %3) AS moved")
        .arg(DecimalText(surveyId), DecimalText(rowNumber), DecimalText(colNumber));
}

QString CallCorrectSurvey(qint16 surveyId, const std::optional<QString>& completedBy,
                          const std::optional<QString>& company)
{
    return QStringLiteral("SELECT public.quelt_correct_survey(%1, %2, %3) AS changed")
        .arg(DecimalText(surveyId), textOrNull(completedBy), textOrNull(company));
}

QString CallCorrectQuestion(qint16 questionId, const std::optional<QString>& label,
                            const std::optional<QString>& questionText)
{
    return QStringLiteral("SELECT public.quelt_correct_question(%1, %2, %3) AS changed")
        .arg(DecimalText(questionId), textOrNull(label), textOrNull(questionText));
}

QString SelectHistoryTables()
{
    return QStringLiteral("SELECT name FROM unnest(ARRAY['history_change', 'history_answer']) AS "
                          "name WHERE to_regclass('public.' || name) IS NOT NULL");
}

QString AdvanceChangeNumbers()
{
    return QStringLiteral("SELECT setval(pg_get_serial_sequence('public.history_change', 'id'), "
                          "MAX(id)) AS v FROM history_change HAVING MAX(id) IS NOT NULL");
}

QString CountRoles(const QString& name)
{
    return QStringLiteral("SELECT count(*) AS v FROM pg_roles WHERE rolname = %1").arg(Quote(name));
}

QString SelectDirectWriters()
{
    return QStringLiteral(
        "SELECT CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE pg_get_userbyid(a.grantee)::text END "
        "AS login, c.relname::text AS tbl, a.privilege_type AS privilege "
        "FROM pg_class c, aclexplode(c.relacl) a "
        "WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = 'public') "
        "AND c.relname IN ('model_row', 'model_column', 'question', 'survey', 'survey_results', "
        "'question_id_seq', 'history_change', 'history_answer', 'history_change_id_seq') AND "
        "a.grantee <> c.relowner AND a.privilege_type IN ('INSERT', "
        "'UPDATE', 'DELETE', 'TRUNCATE', 'REFERENCES', 'TRIGGER', 'USAGE') ORDER BY 1, 2, 3");
}

QString CountUnrecorded(const QString& table)
{
    return QStringLiteral(
               "SELECT count(*) AS v FROM %1 WHERE stored_by IS NULL OR stored_at IS NULL")
        .arg(table);
}

QString SelectTablesElsewhere()
{
    return QStringLiteral(
        "SELECT n.nspname::text AS schema, c.relname::text AS tbl FROM pg_class c "
        "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.relname IN ('model_row', "
        "'model_column', 'question', 'survey', 'survey_results') AND c.relkind IN ('r', 'v', "
        "'m', 'f', 'p') AND n.nspname NOT IN ('public', 'information_schema') "
        "AND n.nspname NOT LIKE 'pg\\_%' ORDER BY 1, 2");
}

// A server's survey.id is an integer column: no text can hold a number there.
QString SelectSurveyNumberHolders(qint64 surveyId)
{
    return QStringLiteral("SELECT id AS v FROM survey WHERE id = %1").arg(DecimalText(surveyId));
}

QString SelectModelRows()
{
    return Sql::SelectModelRows() + QStringLiteral(" ORDER BY row_number");
}

QString SelectModelColumns()
{
    return Sql::SelectModelColumns() + QStringLiteral(" ORDER BY col_number");
}

QString SelectSurveyIds()
{
    return Sql::SelectSurveyIds() + QStringLiteral(" ORDER BY id");
}

QString SelectCellQuestions(qint16 rowNumber, qint16 colNumber)
{
    return Sql::SelectCellQuestions(rowNumber, colNumber) + QStringLiteral("ORDER BY id");
}

// Any constant will do: advisory locks are the database's own, and nothing
// else of the program takes one.
QString LockSurveyNumbers()
{
    return QStringLiteral("SELECT pg_advisory_xact_lock(7421, 1) AS locked");
}

QString SelectSurveyCellSums(qint64 surveyId)
{
    return QStringLiteral("SELECT row_id, col_id, SUM(answer) AS iSum, COUNT(answer) AS iCount, "
                          "COUNT(CASE WHEN answer NOT BETWEEN 0 AND 4 THEN 1 END) AS iOutside "
                          "FROM survey_results, question "
                          "WHERE survey_results.question_id = question.id AND survey_id = ") %
           DecimalText(surveyId) % QStringLiteral(" GROUP BY row_id, col_id");
}

QString SelectCellsOverSurveys(const QString& surveySet)
{
    return QStringLiteral("SELECT row_id, col_id, "
                          "COUNT(DISTINCT CASE WHEN answer IS NOT NULL THEN survey_id END) "
                          "AS iSurveys, SUM(answer) AS iSum, COUNT(answer) AS iCount, "
                          "COUNT(CASE WHEN answer NOT BETWEEN 0 AND 4 THEN 1 END) AS iOutside "
                          "FROM survey_results, question "
                          "WHERE survey_results.question_id = question.id "
                          "AND survey_id IN (") %
           surveySet % QStringLiteral(") GROUP BY row_id, col_id");
}

namespace {

// Every answer of `from` (aliased r) with its survey, question and cell.
QString answersJoined(const QString& from, const QString& order)
{
    return QStringLiteral("FROM %1 "
                          "LEFT JOIN survey s ON s.id = r.survey_id "
                          "LEFT JOIN question q ON q.id = r.question_id "
                          "LEFT JOIN model_row mr ON mr.row_number = q.row_id "
                          "LEFT JOIN model_column mc ON mc.col_number = q.col_id "
                          "ORDER BY %2")
        .arg(from, order);
}

QString answerValues(bool withStorers)
{
    QString values = QStringLiteral("r.survey_id, s.completed_by, s.company, r.question_id, "
                                    "q.label, q.question_text, q.row_id, mr.name, q.col_id, "
                                    "mc.name, r.answer");
    if (withStorers) {
        const QString when = QStringLiteral(
            "to_char(%1.stored_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')");
        values += QStringLiteral(", r.stored_by, %1, s.stored_by, %2, q.stored_by, %3")
                      .arg(when.arg(QStringLiteral("r")), when.arg(QStringLiteral("s")),
                           when.arg(QStringLiteral("q")));
    }
    return values;
}

QString answerLines(const QString& values, const QString& from, const QString& order)
{
    return QStringLiteral("SELECT json_build_array(%1)::text AS line ").arg(values) +
           answersJoined(from, order);
}

} // namespace

QString SelectAnswerLines()
{
    return answerLines(answerValues(false), QStringLiteral("survey_results r"),
                       QStringLiteral("r.entry"));
}

QString SelectAnswerLinesWithStorers()
{
    return answerLines(answerValues(true), QStringLiteral("survey_results r"),
                       QStringLiteral("r.entry"));
}

QString SelectMovedAnswerLines(bool withStorers)
{
    return answerLines(answerValues(withStorers) +
                           QStringLiteral(", c.action, c.made_at, c.made_by"),
                       QStringLiteral("history_answer r JOIN history_change c ON c.id = "
                                      "r.change_id"),
                       QStringLiteral("c.id, r.entry"));
}

// Found through the search path, as the program's statements find them.
QString SelectSurveyTables()
{
    return QStringLiteral("SELECT name FROM unnest(ARRAY['model_row', 'model_column', "
                          "'question', 'survey', 'survey_results']) AS name "
                          "WHERE to_regclass('public.' || name) IS NOT NULL");
}

QString AdvanceQuestionNumbers()
{
    return QStringLiteral("SELECT setval(pg_get_serial_sequence('public.question', 'id'), "
                          "MAX(id)) AS v FROM question HAVING MAX(id) IS NOT NULL");
}

// Names in quotes are looked up as given: with the schema.
QString SelectTableColumns(const QString& table)
{
    return QStringLiteral("SELECT attname AS name FROM pg_attribute WHERE attrelid = "
                          "to_regclass(%1) AND attnum > 0 AND NOT attisdropped ORDER BY attnum")
        .arg(Quote(QStringLiteral("public.") + table));
}

QString SelectRelationKind(const QString& table)
{
    return QStringLiteral("SELECT relkind::text AS v FROM pg_class WHERE oid = to_regclass(%1)")
        .arg(Quote(QStringLiteral("public.") + table));
}

QString SelectIndexes(const QString& table)
{
    return QStringLiteral("SELECT c.relname::text AS name, (i.indpred IS NOT NULL)::int AS "
                          "partial FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                          "WHERE i.indrelid = to_regclass(%1)")
        .arg(Quote(QStringLiteral("public.") + table));
}

QString SelectIndexColumns(const QString& index)
{
    return QStringLiteral("SELECT a.attname AS name FROM pg_index i, pg_attribute a "
                          "WHERE i.indexrelid = to_regclass(%1) AND a.attrelid = i.indrelid "
                          "AND a.attnum = ANY (i.indkey) "
                          "ORDER BY array_position(i.indkey::int2[], a.attnum)")
        .arg(Quote(QStringLiteral("public.") + index));
}

// A column made by other means may hold text: only whole numbers within
// 16 bits, as text, pass.
QString SelectOddNumbers(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT %2 AS v FROM %1 WHERE %2 IS NOT NULL AND NOT CASE WHEN "
                          "%2::text ~ '^-?[0-9]{1,5}$' THEN %2::text::int BETWEEN -32768 AND "
                          "32767 ELSE false END")
        .arg(table, column);
}

QString SelectNumbering(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT count(*) AS n, count(DISTINCT %2) AS d, "
                          "min(%2) AS lo, max(%2) AS hi FROM %1 WHERE trim(%2::text) <> ''")
        .arg(table, column);
}

QString CountUnnumbered(const QString& table, const QString& column)
{
    return QStringLiteral("SELECT count(*) AS v FROM %1 WHERE %2 IS NULL OR trim(%2::text) = ''")
        .arg(table, column);
}

} // namespace Server

// Table and column names come from the program's own list of the five tables.
QString SelectTableRows(const QString& table, const QStringList& columns, bool server,
                        const QString& fileOrder)
{
    QString order = fileOrder;
    if (server)
        order = table == QLatin1String("survey_results") || table == QLatin1String("history_answer")
                    ? QStringLiteral("entry")
                    : columns.first();
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
        .arg(columns.join(QStringLiteral(", ")), table, order);
}

QString InsertRows(const QString& table, const QStringList& columns, qsizetype rows, bool server)
{
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                      .arg(table, columns.join(QStringLiteral(", ")));
    qsizetype parameter = 0;
    for (qsizetype r = 0; r < rows; ++r) {
        sql += r == 0 ? QStringLiteral("(") : QStringLiteral(", (");
        for (qsizetype c = 0; c < columns.size(); ++c) {
            if (c > 0)
                sql += QStringLiteral(", ");
            // A file's engine looks up every numbered parameter among those
            // before it: a batch of them would take as long as the copy.
            sql += server ? u'$' + QString::number(++parameter) : QStringLiteral("?");
        }
        sql += u')';
    }
    return sql;
}

QString SelectTableTotals(const QString& table, const QStringList& numberColumns,
                          const QStringList& textColumns)
{
    QStringList parts;
    for (const QString& column : numberColumns)
        parts.append(QStringLiteral("COALESCE(SUM(%1), 0)").arg(column));
    for (const QString& column : textColumns)
        parts.append(QStringLiteral("COALESCE(SUM(length(%1)), 0)").arg(column));
    return QStringLiteral("SELECT count(*) AS n, %1 AS total FROM %2")
        .arg(parts.join(QStringLiteral(" + ")), table);
}

} // namespace Sql
