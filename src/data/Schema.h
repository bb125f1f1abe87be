#pragma once

#include <QString>
#include <QStringList>

class Database;

// The five tables of the survey database, as the companion command makes them.
namespace Schema {

QStringList CreateTableStatements();

// Indexes that give the per-cell results query a good plan even on a file
// filled later without statistics: questions found by cell, answers by
// question and survey, with the score in the index so no table row is read.
QStringList CreateIndexStatements();

// Creates a new file with the tables and indexes and numbers the model rows
// and columns 0, 1, 2, ... in the order given. An existing file is an error.
void CreateSurveyDatabase(const QString& path, const QStringList& rowNames,
                          const QStringList& columnNames);

} // namespace Schema
