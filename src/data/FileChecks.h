#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class Database;

// What quelt-db check and index read of a file: the engine's own checks and
// catalogue, and counts of what the windows would trip over. Table and
// column names are the program's own, never a user's.

// The lines of the engine's integrity check other than "ok".
QStringList ReadIntegrityProblems(const Database& db);

// The table's column names in lower case; none when the table is missing.
QStringList ReadTableColumns(const Database& db, const QString& table);

// Whether the name stands for a table that stores its rows: not a view, not
// a virtual table, not missing. The values of anything else are not read.
bool IsStoredTable(const Database& db, const QString& table);

// The columns that the file computes rather than stores, as "table.column"
// in lower case. Reading them runs the file's expression, so their values are
// not read.
QStringList ReadComputedColumns(const Database& db);

// Whether a value of the column is longer than the program reads; such a
// value cannot be read at all, and a window that meets it refuses it.
bool HoldsOverlongValue(const Database& db, const QString& table, const QString& column);

qint64 CountNullValues(const Database& db, const QString& table, const QString& column);

// Values of a column that the program cannot read as 16-bit whole numbers,
// with the first of them shortened to 40 characters. Blank values count
// unless `skipBlank` (a model number that is blank addresses nothing and is
// left out rather than read). Apart from them, whole numbers stored as text
// ('7'): the engine never takes them for the number 7 in a comparison.
struct OddValues
{
    qint64 count = 0;
    QString example;
    qint64 asText = 0;
    QString textExample;
};
OddValues ReadOddNumbers(const Database& db, const QString& table, const QString& column,
                         bool skipBlank = false);

// How a model's rows or columns are numbered, leaving out those without a
// number (null or blank), which no window shows.
struct Numbering
{
    qint64 count = 0;
    qint64 distinct = 0;
    qint64 lowest = 0;
    qint64 highest = 0;
};
Numbering ReadNumbering(const Database& db, const QString& table, const QString& column);

// Numbers that stand in the column more than once, compared as numbers (2,
// 2.0 and '2' alike): how many rows repeat a number stored before them, and
// the first such number. Values that are no whole number are left to
// ReadOddNumbers.
struct Repeats
{
    qint64 count = 0;
    qint64 example = 0;
};
Repeats ReadRepeatedNumbers(const Database& db, const QString& table, const QString& column);

// Model rows or columns whose number is null or blank.
qint64 CountUnnumbered(const Database& db, const QString& table, const QString& column);

qint64 CountQuestionsOutsideModel(const Database& db);
qint64 CountAnswersWithoutQuestion(const Database& db);
qint64 CountAnswersWithoutSurvey(const Database& db);
qint64 CountScoresOutsideRange(const Database& db);

// An index that every new file gets.
struct WantedIndex
{
    QString name;
    QString table;
    QStringList columns;
    QString statement;
};
QList<WantedIndex> WantedIndexes();

// The indexes on the wanted table that begin with the wanted columns,
// whatever they are called: the name of a complete one (without a WHERE
// clause; empty when there is none), and the partial ones, which serve only
// the rows their WHERE clause selects, never the program's queries.
struct IndexesLike
{
    QString complete;
    QStringList partial;
};
IndexesLike FindIndexesLike(const Database& db, const WantedIndex& wanted);

// A table's indexes, each with its columns in order (a column the index
// computes has an empty name) and whether it is partial.
struct IndexShape
{
    QString name;
    bool partial = false;
    QStringList columns;
};
QList<IndexShape> ReadIndexShapes(const Database& db, const QString& table);
// Of those, the ones that begin with `columns`, as FindIndexesLike gives them.
IndexesLike IndexesBeginningWith(const QList<IndexShape>& indexes, const QStringList& columns);

// What the program's own writes meet in the file's five tables, tried on a
// copy of their definitions and indexes in memory, nothing written to the
// file: a question in the cell (row, col), a survey header, an answer with
// each score from 0 to 4, and a second answer to one question, as a cell
// submitted again stores. `refused`: one line for each the file would
// refuse, with the engine's words, and for each definition the program's
// engine cannot make (a collation it does not have), on which reading the
// table fails. `slow`: what took more than kTrialLimitMs, when the file's own
// rules make the writes slow (the trial stops there).
struct WriteTrial
{
    QStringList refused;
    QString slow;
};
constexpr int kTrialLimitMs = 1000;
WriteTrial TryProgramWrites(const Database& db, qint16 row, qint16 col);

// The engine's planner statistics (sqlite_stat1) about the five tables and
// their indexes that are more than ten times off what the file holds, in
// rows or in rows for each value of an index's first column: one line each,
// naming the table or index and both figures. The program's reads do not
// depend on them; other programs' may.
QStringList ReadMisleadingStatistics(const Database& db);
