#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class Database;

// quelt-db copy: a whole survey database from one location to another.
struct CopiedTable
{
    QString table;
    qint64 rows = 0;
};

// Copies every row of the five tables from `from` to `to`, values as stored
// and in the order stored: all of them or none. `to` is a new file, or a
// server database that holds none of the tables or only empty ones; anything
// else is refused and left as it was. Before the copy is committed, each
// table's row count and totals (its numbers, and the lengths of its texts)
// are compared at both ends; any difference stores nothing. Tables made on
// a server get its safeguards, with `consultants` given their rights.
QList<CopiedTable> CopySurveyDatabase(const Database& from, const QString& to,
                                      const QString& consultants);
