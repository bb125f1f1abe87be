#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>

// Every statement run on the survey database, each joined from its fixed
// pieces. Nothing outside this folder joins SQL. Numbers go in as decimal
// text; texts go in only through Quote().
namespace Sql {

// Encloses a text in single quotes, doubling every quote inside it, so any
// typed text is stored exactly as typed and cannot change the statement.
QString Quote(const QString& text);

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
// The sum and count of one survey's answers in one cell.
QString SelectCellSum(qint64 surveyId, qint64 rowNumber, qint64 colNumber);
// How many of one cell's questions hold answers of one survey, and how many
// answers they hold.
QString SelectCellStored(qint64 surveyId, qint64 rowNumber, qint64 colNumber);
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
// The combined sum and count of one cell over a set of surveys, and how many
// of them answered there: the per-cell statement widened to a set, given as a
// list of numbers or as a statement that selects them.
QString SelectCellOverSurveys(const QString& surveySet, qint64 rowNumber, qint64 colNumber);
// Every answer once, in the order entered, with its survey, question and
// cell, one JSON array a row (see ReadAnswerLines).
QString SelectAnswerLines();

// ---- What reports read beside the grid.

// Every survey's number and header, in the order the engine gives them.
QString SelectSurveyHeaders();
// Every question with its cell and the sum and count of the answers the set
// of surveys gave it (null and 0 for none), in cell and number order; with
// `bySurvey`, one row per question and survey that answered it (survey_id,
// null where none did).
QString SelectQuestionScores(const QString& surveySet, bool bySurvey);

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
// The answers behind one cell (over a set of surveys, as in
// SelectCellOverSurveys) that the engine does not hold as whole numbers:
// survey, question and answer.
QString SelectOddAnswers(const QString& surveySet, qint64 rowNumber, qint64 colNumber);

// What quelt-db check and index look at: the engine's own catalogue and checks.
QString SelectIntegrityCheck();
// Computed columns too, as a window reads them by name like the others.
QString SelectTableColumns(const QString& table);
QString SelectIndexes(const QString& table);
QString SelectIndexColumns(const QString& index);
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
// statement: row_id, col_id, iSum, iCount. The join and the counting are the
// per-cell statement's, grouped by cell.
QString SelectSurveyCellSums(qint64 surveyId);
// The same over a set of surveys (numbers or a statement that selects
// them), with iSurveys as in SelectCellOverSurveys.
QString SelectCellsOverSurveys(const QString& surveySet);
// As SelectAnswerLines, in the order entered.
QString SelectAnswerLines();

// Which of the five tables the database holds, as column name.
QString SelectSurveyTables();
// After questions were stored with their numbers given, the next number the
// server hands out follows the largest.
QString AdvanceQuestionNumbers();

// The catalogue and checks of quelt-db check and index.
QString SelectTableColumns(const QString& table);
QString SelectIndexes(const QString& table);
QString SelectIndexColumns(const QString& index);
QString SelectOddNumbers(const QString& table, const QString& column);
QString SelectNumbering(const QString& table, const QString& column);
QString CountUnnumbered(const QString& table, const QString& column);

} // namespace Server

// ---- quelt-db copy: whole tables, as stored.

// Every row of a table, its columns in the order given, in the order stored
// (a file's rowid; on a server the key, or the order answers were entered).
QString SelectTableRows(const QString& table, const QStringList& columns, bool server);
// `rows` rows at once, their values bound row by row, each row's in the order
// of `columns` (as ? on a file, $1, $2, ... on a server): no stored value is
// ever part of the text.
QString InsertRows(const QString& table, const QStringList& columns, qsizetype rows, bool server);
// Rows, and a total over the numbers and text lengths of the columns, as n
// and total: what must agree between the two ends of a copy.
QString SelectTableTotals(const QString& table, const QStringList& numberColumns,
                          const QStringList& textColumns);

} // namespace Sql
