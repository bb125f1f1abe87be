#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class Database;

// What quelt-db check reads of a server database beyond what it reads of a
// file: who may change the tables around the program's functions, which rows
// carry no record of who stored them, and tables the program never uses.

// A role other than the tables' owner that may change a table directly, and
// how (INSERT, UPDATE, ...; USAGE of the question numbers).
struct DirectWriter
{
    QString login;
    QString table;
    QStringList rights;
};
QList<DirectWriter> ReadDirectWriters(const Database& db);

// How many rows of the table have no record of who stored them or when;
// 0 for a table without the record's columns.
qint64 CountUnrecordedRows(const Database& db, const QString& table);

// Tables named like one of the five in other schemas, as "schema.table".
QStringList ReadTablesElsewhere(const Database& db);
