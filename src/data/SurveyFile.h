#pragma once

#include <QString>
#include <QStringList>

class Database;

// The survey database as the program may rely on it. Files arrive made by
// other means; what in them would act on the program's own reads and writes
// is refused at the door, and what they hold beyond what a window can show is
// refused rather than loaded.

// Opens the file for the windows and for the commands that write, refusing
// a file whose schema would change what the program's statements do. The
// message names what was found and says to run quelt-db check.
Database OpenSurveyDatabase(const QString& location);
// The same for the commands that only read: opened read-only by the engine.
Database OpenSurveyDatabaseForReading(const QString& location);
// Opened as it is, refusing nothing, for the commands that look at or
// mend what is there (check, upgrade).
Database OpenSurveyDatabaseAsIs(const QString& location, bool forReading);

// On a server, makes every statement of the database name the schema of the
// five tables (Sql::Server::Qualified); a file is left as it is. Every
// opening above does it.
void NameSchema(Database& db);

// What in the database acts on the five tables beyond what their columns
// say. In a file: one of them being a view or a virtual table, a trigger on
// one, a conflict clause in one's definition, a column the file computes.
// On a server: a relation that is not a plain table, a trigger, a rule, a
// row-level security policy or row-level security itself, a table that
// inherits from one, a computed column, and a function of the program's
// writing path that is not the one the program made. One line each, e.g.
// "the trigger \"wipe\" acts on survey_results".
QStringList ReadSchemaHazards(const Database& db);

// What a message calls the database: "file" or "database".
QString DatabaseNoun(const Database& db);
// What orders a file's table as stored, for ORDER BY: its rowid, or for a
// table declared WITHOUT ROWID, which has none, its primary key's columns,
// each after `prefix` ("r." for a table called r).
QString StoredOrder(const Database& db, const QString& table, const QString& prefix = {});

// A window lists at most this many rows of one table (every 16-bit number
// once); a reader that meets more stops with a message instead of filling
// the program's memory.
constexpr qsizetype kMostRowsShown = 65536;
// Throws, for a reader that has met more than kMostRowsShown rows; `what`
// names them ("The table model_row").
[[noreturn]] void RefuseRowsBeyondShown(const Database& db, const QString& what);

// Runs an INSERT that must add exactly one row. Anything else (a row
// silently dropped by the file's own rules) throws, naming `what`, so the
// batch around it is rolled back and the failure reported.
void StoreOneRow(Database& db, const QString& sql, const QString& what);
// The same for an INSERT already run, which changed `changed` rows.
void RequireOneRow(const Database& db, const QString& sql, qint64 changed, const QString& what);
