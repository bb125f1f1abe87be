#pragma once

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
void CreateSurveyDatabase(const QString& location, const QStringList& rowNames,
                          const QStringList& columnNames,
                          const std::function<void(Database&)>& fill = {});

} // namespace Schema
