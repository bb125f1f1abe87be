#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

class Database;

// The five tables of the survey database, as the companion command makes them.
namespace Schema {

// The most model rows, and the most model columns, the program supports.
// Measured on the 2-core development machine with one answer in every
// cell: at 100 x 100 Show Results takes about 0.4 s and a PNG report 1.1 s
// and 200 MB; at 150 x 150 the PNG takes 2.4 s and 430 MB, at 200 x 200
// 4.2 s and 730 MB, growing with the picture's area.
constexpr qsizetype kLargestModel = 100;

QStringList CreateTableStatements();

// Indexes for what the windows read, with the score in the answers' indexes
// so no table row is read: questions found by cell; a cell's answers of one
// survey found question by question (the answering window); a survey's
// answers read in one range (the results).
QStringList CreateIndexStatements();

// The same on a database server: its types, the question number handed out
// by an identity column, and answers that keep the order they were entered
// in.
QStringList CreateServerTableStatements();
QStringList CreateServerIndexStatements();

// The history of corrections beside the five tables: history_change, one
// row per change, and history_answer, every answer a change took out of
// survey_results. `init` makes them; a file made before them gets them with
// its first correction, and needs them for nothing else.
QStringList CreateHistoryStatements();
QStringList CreateServerHistoryStatements();
// The two history tables' names.
QStringList HistoryTableNames();
// Whether the database holds both history tables.
bool HasHistoryTables(const Database& db);

// A server database's safeguards beyond its tables, in the version `init`
// and `upgrade` make: CHECK and foreign-key constraints that keep out what
// the program would show wrongly, whoever stores it; a record of the login
// that stored each header, question and answer, and when; and the one
// narrow path by which consultants write, functions that run as the
// tables' owner with the search path pinned. The program's functions are
// told apart by it; a database without them, as the first version made
// it, is version 0. Version 2 made the writing functions, version 3 the
// history of corrections and the functions that correct.
constexpr int kServerVersion = 3;
constexpr int kWritingFunctionsVersion = 2;
constexpr int kHistoryVersion = 3;

// The group of roles that init and upgrade give the consultants' rights:
// reading the five tables and running the writing functions.
QString DefaultConsultants();

// Whether the program writes to this database through the server's
// functions (a server database of kWritingFunctionsVersion or later) rather
// than with INSERTs.
bool WritesThroughFunctions(const Database& db);

// Throws, naming the database, unless corrections can be stored in it with
// their history: any file, a server database of kHistoryVersion or later.
void RequireHistory(const Database& db);

// The program's functions as the server's catalogue shows them: signature
// (public.name(types)), body, and the version that made them, for telling
// them from changed ones. The version function comes last.
struct ServerFunction
{
    QString signature;
    QString body;
    int since;
};
QList<ServerFunction> ServerFunctions();

// Makes the tables, indexes and safeguards in a server database that holds
// none of the tables, within the transaction the caller has begun.
// `consultants` names an existing role; a missing one is refused.
void CreateServerTables(Database& db, const QString& consultants);

// Gives a server database made by an earlier version the safeguards and
// the history of this one, all or nothing, and takes from every role but
// the owner the rights to change the tables directly. Gives one line for each thing done.
// A database whose rows the constraints refuse is left as it was, and so is
// one that is up to date already (nothing to do).
QStringList UpgradeServerDatabase(Database& db, const QString& consultants);

// The five tables' names, in the order a copy fills them.
QStringList TableNames();
// Which of them a server database holds.
QStringList ReadPresentTables(const Database& db);

// Creates a new file with the tables and indexes and numbers the model rows
// and columns 0, 1, 2, ... in the order given. An existing file is an error,
// and so is a model larger than kLargestModel either way. At a server
// location the tables go into the existing database, which must hold none of
// them yet. `fill` then stores more in the same transaction: the database is
// made whole or not at all.
// On a server the safeguards are made too, with `consultants` given the
// consultants' rights.
void CreateSurveyDatabase(const QString& location, const QStringList& rowNames,
                          const QStringList& columnNames,
                          const std::function<void(Database&)>& fill = {},
                          const QString& consultants = DefaultConsultants());

} // namespace Schema
