#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>
#include <optional>

// Every statement run on the survey database, each joined from its fixed
// pieces. Nothing outside this folder joins SQL. Numbers go in as decimal
// text; texts go in only through Quote().
namespace Sql {

// Encloses a text in single quotes, doubling every quote inside it, so any
// typed text is stored exactly as typed and cannot change the statement.
QString Quote(const QString& text);
// Encloses a name (a role's, or an index's the file's catalogue gives) in
// double quotes, doubling every double quote inside it, so the engine takes
// it exactly as given.
QString QuoteName(const QString& name);

// ---- What the windows run. The texts are fixed byte for byte: other
// programs that share the file see exactly these.

// The model's rows and columns for the cell pickers, in the order stored.
QString SelectModelRows();
QString SelectModelColumns();
// Every survey number, for the survey pickers.
QString SelectSurveyIds();
// Who completed a survey, and for which company.
QString SelectSurveyHeader(qint16 surveyId);
// The questions of one cell of the model.
QString SelectCellQuestions(qint16 rowNumber, qint16 colNumber);
// The largest survey number, from which the next one is proposed.
QString SelectMaxSurveyId();
// The names of the results grid's columns and rows in number order. Each
// keeps its number beside its name, so that a grid position can address the
// row or column that stands there, however the model is numbered.
QString SelectColumnNamesOrdered();
QString SelectRowNamesOrdered();
// One survey's answers in one cell: question_id and answer, in no order;
// read from the cell's questions, whatever the answers' indexes.
QString SelectCellAnswers(qint64 surveyId, qint64 rowNumber, qint64 colNumber);
// A new question in a cell; the engine gives it its number.
QString InsertQuestion(const QString& label, const QString& questionText, qint16 rowNumber,
                       qint16 colNumber);
// A new survey's header.
QString InsertSurvey(qint16 surveyId, const QString& completedBy, const QString& company);
// One score given to one question for one survey.
QString InsertAnswer(qint16 surveyId, qint16 questionId, qint16 answer);

// ---- What only quelt-db runs.

// A model row or column of a new file.
QString InsertModelRow(qint64 rowNumber, const QString& name);
QString InsertModelColumn(qint64 colNumber, const QString& name);
// Every question's number and cell, in number order.
QString SelectQuestionCells();
// The largest question number.
QString SelectMaxQuestionId();
// One survey's number, or several: a list of numbers or a statement that
// selects them.
struct SurveySet
{
    QString set;
    bool several = false;
};

// How the engine is told to read the answers behind a grid: through `index`
// beginning with survey_id, one range of each survey's answers, each one's
// question looked up; through `index` beginning with question_id and
// survey_id, question by question; or with neither, every answer once over,
// each one's question looked up.
struct AnswerPlan
{
    enum Kind { BySurvey, ByQuestion, Once } kind = Once;
    QString index;
};

// The answers of a set of surveys, grouped by cell, in one statement whose
// work the file's statistics cannot change, read as `plan` says: the cells
// the model's numbers span, and read any other way than question by
// question also the cells beyond, which the caller leaves out. row_value
// and col_value are the cell's row_id and col_id as stored; iCount counts
// the answers; iSum, iLowest and iHighest are the engine's sum, lowest and
// highest answer (the sum fails past 64 bits); iSurveys (several surveys
// only) counts the surveys that answered.
QString SelectGridSums(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                       const QList<qint64>& colNumbers, const AnswerPlan& plan);
// The cells the model's numbers span, read so that no answer and no cell's
// numbers can upset the sums: row_number and col_number address the cell;
// iHigh and iLow
// sum the answers' high 32 bits and their low 32 bits, which no number of
// answers overflows; iOdd counts those the engine does not hold as whole
// numbers (whose parts in the sums are the engine's guesses), iOutside those
// outside 0 to 4.
QString SelectGridTotals(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                         const QList<qint64>& colNumbers, const AnswerPlan& plan);
// The answers behind the same cells that the engine does not hold as whole
// numbers, with what each added to the totals: row_number, col_number,
// survey, question, answer, iHigh, iLow, iOutside.
QString SelectGridOddAnswers(const SurveySet& surveys, const QList<qint64>& rowNumbers,
                             const QList<qint64>& colNumbers, const AnswerPlan& plan);
// How the engine will run a statement, one line a step: id, parent, detail.
QString ExplainPlan(const QString& sql);
// Every answer once, in the order entered, with its survey, question and
// cell, one JSON array a row (see ReadAnswerLines); `order` is what orders
// the answers as stored (StoredOrder).
QString SelectAnswerLines(const QString& order = QStringLiteral("r.rowid"));
// Whether a table is declared WITHOUT ROWID (1) or not (0), as column v.
QString SelectIsWithoutRowid(const QString& table);
// The columns of a table's primary key, in its order: name.
QString SelectPrimaryKey(const QString& table);

// ---- What reports read beside the grid.

// Every survey's number and header, in the order the engine gives them.
QString SelectSurveyHeaders();
// Every question with its cell and the sum (in halves, iHigh and iLow) and
// count of the answers the set of surveys gave it (null and 0 for none), in
// cell and number order; with
// `bySurvey`, one row per question and survey that answered it (survey_id,
// null where none did).
QString SelectQuestionScores(const QString& surveySet, bool bySurvey);

// ---- Corrections. Nothing is deleted or overwritten without its old value
// going into the two history tables first, in the same transaction:
// history_change, one row per change (who, when, what, the old and the new
// value, and how many answers it moved), and history_answer, every answer a
// change took out of survey_results.

// The history tables a file holds, as column name (a file made before them
// has none until its first correction).
QString SelectHistoryTables();
// What a correction stores under: one more than the largest change number,
// as column v.
QString SelectNextChangeNumber();
// How many answers a set of answers (see AnswersOfQuestions, AnswersInCell)
// holds, as column v; the same for each question, as question_id and n;
// and the answers themselves, as question_id and answer.
QString CountAnswers(const QString& answers);
QString CountAnswersByQuestion(const QString& answers);
QString SelectAnswers(const QString& answers);
// The answers of one survey to the questions given, and to every question
// of one cell: conditions on survey_results for the statements below.
QString AnswersOfQuestions(qint64 surveyId, const QList<qint64>& questionIds);
QString AnswersInCell(qint64 surveyId, qint64 rowNumber, qint64 colNumber);
// A change that moves answers: action 'replaced' (the question and its new
// score given) or 'withdrawn' (the cell given); what is not given is null.
struct AnswerChange
{
    qint64 id = 0;
    QString madeAt;
    QString madeBy;
    QString action;
    qint64 surveyId = 0;
    std::optional<qint64> questionId;
    std::optional<qint64> rowNumber;
    std::optional<qint64> colNumber;
    std::optional<qint64> newScore;
    qint64 answers = 0;
};
// The changes, in one statement.
QString InsertAnswerChanges(const QList<AnswerChange>& changes);
// Copies the answers into the history under the change `changeId` gives
// (a number, or ChangeOfQuestion), and takes them out of survey_results.
QString CopyAnswersToHistory(const QString& changeId, const QString& answers);
QString DeleteAnswers(const QString& answers);
// The change number of each question's answers: (question, change) pairs.
QString ChangeOfQuestion(const QList<QPair<qint64, qint64>>& changes);
// A header's or a question's text corrected: the change with the stored
// value as its old one, copied as stored; then the new value in its place.
// `column` is completed_by or company of survey, label or question_text
// of question, and the action of the change.
QString InsertTextChange(qint64 id, const QString& madeAt, const QString& madeBy,
                         const QString& table, qint64 rowId, const QString& column,
                         const QString& value);
QString UpdateText(const QString& table, qint64 rowId, const QString& column, const QString& value);
// The stored value of such a column, as column v.
QString SelectText(const QString& table, qint64 rowId, const QString& column);
// Every change in the order made, and the answers they moved (change_id,
// question_id, answer); only those about one survey when it is given.
QString SelectChanges(std::optional<qint64> surveyId);
QString SelectMovedAnswers(std::optional<qint64> surveyId);
// The changes whose moved answers the history does not hold as many of as
// the change says it moved: id, action, survey_id, said, held.
QString SelectUnbalancedChanges();
// Moved answers whose change is not in the history, as column v.
QString CountMovedAnswersWithoutChange();
// As SelectAnswerLines, the answers the history holds, in the order the
// changes were made, each line with three more values: the change's
// action, when and who; `order` orders the moved answers as stored
// (StoredOrder of history_answer).
QString SelectMovedAnswerLines(const QString& order = QStringLiteral("r.rowid"));

// ---- What the program's own safety checks run.

// The entries of the engine's catalogue that may act on a table beyond its
// columns: views, triggers, and tables whose definition has a conflict
// clause, is virtual or may compute a column ("AS"). Type, name, tbl_name
// and sql. Every window runs it each time it opens the file, and on a file
// `init` made it finds nothing.
QString SelectSchemaObjects();
// The columns of the five tables that the file computes instead of storing
// (generated columns): tbl and name.
QString SelectGeneratedColumns();
// The headers whose number is `surveyId` when compared as numbers, whatever
// the column holds: as column v, for the caller to convert.
QString SelectSurveyNumberHolders(qint64 surveyId);
// The definitions of the five tables and of their indexes, tables first:
// type, name, sql.
QString SelectTableDefinitions();
// The engine's planner statistics about the five tables (sqlite_stat1): tbl
// (in lower case), idx, stat.
QString SelectStatistics();
// Rows of one of the five tables, and distinct values of a column the file
// names, as column v.
QString CountRows(const QString& table);
QString CountDistinct(const QString& table, const QString& column);

// What quelt-db check and index look at: the engine's own catalogue and checks.
QString SelectIntegrityCheck();
// Computed columns too, as a window reads them by name like the others.
QString SelectTableColumns(const QString& table);
QString SelectIndexColumns(const QString& index);
// Every index of a table with its columns, one row a column in order: name,
// partial, col.
QString SelectIndexShapes(const QString& table);
QString CountNulls(const QString& table, const QString& column);
// The catalogue's type and definition of a table or view: type, sql.
QString SelectTableDefinition(const QString& table);
// Every value of a column, as column v.
QString SelectColumnValues(const QString& table, const QString& column);
// The length of the column's longest value, as column v: reading it fails
// when a value is longer than the engine reads.
QString SelectLongestValue(const QString& table, const QString& column);
// Values the program may not read as 16-bit whole numbers, as column v.
QString SelectOddNumbers(const QString& table, const QString& column);
// Count, distinct count, lowest and highest of a column: n, d, lo, hi.
QString SelectNumbering(const QString& table, const QString& column);
// Rows whose number is null or blank, as column v.
QString CountUnnumbered(const QString& table, const QString& column);
// Rows that nothing in the windows reaches, each count as column v.
QString CountQuestionsOutsideModel();
QString CountAnswersWithoutQuestion();
QString CountAnswersWithoutSurvey();
QString CountScoresOutsideRange();

// ---- What a database server runs instead, where its dialect differs or
// where one statement saves a round trip per cell. Its tables always have
// their keys, so only the order that the file gives by its keys is asked for
// outright.
namespace Server {

// A statement with the schema of the five tables and the history tables
// named on each of them
// ("FROM survey" becomes "FROM public.survey"): the session's search path
// holds only the server's catalogue, so that no table, function or operator
// of anyone else's can stand in for the program's. Texts in quotes and
// bodies in dollar quotes are left as they are.
QString Qualified(const QString& sql);

QString SelectSurveyNumberHolders(qint64 surveyId);

// The windows' pickers and cell questions, in the order a file gives them.
QString SelectModelRows();
QString SelectModelColumns();
QString SelectSurveyIds();
QString SelectCellQuestions(qint16 rowNumber, qint16 colNumber);

// Survey numbers are handed out one desktop at a time: the largest number
// is read and the new header stored under this lock, which the server holds
// to the end of the transaction. An advisory lock needs no right on a table.
QString LockSurveyNumbers();

// One survey's sum and count of answers for every cell that has any, in one
// statement: row_id, col_id, iSum, iCount, and iOutside as in
// SelectGridTotals.
QString SelectSurveyCellSums(qint64 surveyId);
// The same over a set of surveys (numbers or a statement that selects
// them), with iSurveys as in SelectGridTotals.
QString SelectCellsOverSurveys(const QString& surveySet);
// As SelectAnswerLines, in the order entered.
QString SelectAnswerLines();

// Which of the five tables the database holds, as column name.
QString SelectSurveyTables();
// After questions were stored with their numbers given, the next number the
// server hands out follows the largest.
QString AdvanceQuestionNumbers();

// What on the server acts on the five tables beyond what their columns say,
// one row each, as kind, tbl, name: a table that is not one ("relation",
// name its relkind), a trigger, a rule, a row-level security policy,
// row-level security itself ("security"), a table that inherits from one
// ("child"), a computed column. And the program's own functions
// ("function", name the signature) with body, and secure: whether the
// function runs as the tables' owner with the search path pinned.
QString SelectSchemaObjects();

// The narrow writing path of a database made by init or upgraded: each
// call checks what it stores, records who stored it, and gives back the
// number stored (id), or how many answers (stored).
QString CallStoreQuestion(const QString& label, const QString& questionText, qint16 rowNumber,
                          qint16 colNumber);
QString CallStoreSurvey(const QString& completedBy, const QString& company);
QString CallStoreAnswers(qint16 surveyId, const QList<qint16>& questionIds,
                         const QList<qint16>& answers);
// The corrections of a database of the history's version, each recording
// the change with the login and the time: the cell's scored questions'
// answers replaced by the new ones (stored); a cell's answers withdrawn
// (moved); a header's or a question's texts corrected where given and
// different (changed; null where nothing has that number).
QString CallReplaceAnswers(qint16 surveyId, const QList<qint16>& questionIds,
                           const QList<qint16>& answers);
QString CallWithdrawCell(qint16 surveyId, qint16 rowNumber, qint16 colNumber);
QString CallCorrectSurvey(qint16 surveyId, const std::optional<QString>& completedBy,
                          const std::optional<QString>& company);
QString CallCorrectQuestion(qint16 questionId, const std::optional<QString>& label,
                            const std::optional<QString>& questionText);
// The history tables the database holds, as column name.
QString SelectHistoryTables();
// After changes were copied in with their numbers, the next number the
// server hands out follows the largest.
QString AdvanceChangeNumbers();
// As Sql::SelectMovedAnswerLines, in the order the changes were made and
// the answers entered; with the storers' six values before the change's
// three when `withStorers`.
QString SelectMovedAnswerLines(bool withStorers);

// Whether a role of that name exists, as column v.
QString CountRoles(const QString& name);
// The roles other than the tables' owner that may change the five tables or
// hand out question numbers directly, with what they may do: login,
// tbl, privilege.
QString SelectDirectWriters();
// Rows of a table without a record of who stored them and when, as column v.
QString CountUnrecorded(const QString& table);
// Tables named like the five in other schemas, which the program never
// uses: schema, tbl.
QString SelectTablesElsewhere();
// As SelectAnswerLines, each line with who stored the answer, its survey's
// header and its question, and when (UTC, ISO 8601).
QString SelectAnswerLinesWithStorers();

// The catalogue and checks of quelt-db check and index.
QString SelectTableColumns(const QString& table);
// The kind of relation the name stands for (r for a plain table), as v.
QString SelectRelationKind(const QString& table);
QString SelectIndexes(const QString& table);
QString SelectIndexColumns(const QString& index);
QString SelectOddNumbers(const QString& table, const QString& column);
QString SelectNumbering(const QString& table, const QString& column);
QString CountUnnumbered(const QString& table, const QString& column);

} // namespace Server

// ---- quelt-db copy: whole tables, as stored.

// Every row of a table, its columns in the order given, in the order stored
// (on a file `fileOrder`, see StoredOrder; on a server the key, or the order
// answers were entered).
QString SelectTableRows(const QString& table, const QStringList& columns, bool server,
                        const QString& fileOrder);
// `rows` rows at once, their values bound row by row, each row's in the order
// of `columns` (as ? on a file, $1, $2, ... on a server): no stored value is
// ever part of the text.
QString InsertRows(const QString& table, const QStringList& columns, qsizetype rows, bool server);
// Rows, and a total over the numbers and text lengths of the columns, as n
// and total: what must agree between the two ends of a copy.
QString SelectTableTotals(const QString& table, const QStringList& numberColumns,
                          const QStringList& textColumns);

} // namespace Sql
