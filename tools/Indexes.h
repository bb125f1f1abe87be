#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// An index that `init` gives every new file.
struct WantedIndex
{
    QString name;
    QString table;
    QStringList columns;
    QString statement;
};

QList<WantedIndex> WantedIndexes();

// The name of an index on the wanted table that begins with the wanted
// columns, whatever it is called; empty when there is none.
QString IndexLike(Database& db, const WantedIndex& wanted);
