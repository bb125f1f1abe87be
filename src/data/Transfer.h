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

// A stored value a copy would not carry over as it is.
struct UncarriedValue
{
    QString table;
    qint64 row = 0; // counted from 1 in the order the copy reads the table
    QString column;
    QString why;
    bool null = false;
};

// The texts of a table (names, labels, question texts, who and which
// company) that a copy to a server refuses, nulls aside: a NUL character,
// bytes that are not UTF-8, a blob, a real number.
QList<UncarriedValue> FindUncarriedTexts(const Database& db, const QString& table);

// Copies every row of the five tables from `from` to `to`, values as stored
// (a text's every byte, bound, never written into a statement) and in the
// order stored: all of them or none. `to` is a new file, or a server database
// that holds none of the tables or only empty ones; anything else is refused
// and left as it was. A value that would not arrive as it is stored (a null;
// a number stored as a text, a real or a blob; on a server, a text it cannot
// hold) is refused before anything is copied, naming its row. Before the
// copy is committed, each table's row count and totals (its numbers, and
// every byte of its texts) are compared at both ends; any difference stores
// nothing. Tables made on a server get its safeguards, with `consultants`
// given their rights.
QList<CopiedTable> CopySurveyDatabase(const Database& from, const QString& to,
                                      const QString& consultants);
