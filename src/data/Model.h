#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// One model row or column as stored: its number as decimal text without
// blanks, and its name without its surrounding blanks.
//
// A row or column whose number is null or blank cannot be addressed by any
// question or answer: every reader leaves it out. Any other number is kept as
// stored and converted where it is used, so one odd number fails only what
// uses it.
struct ModelLine
{
    QString number;
    QString name;
};

// In the order the engine gives them, for the cell pickers. A number stored
// more than once is given once, with the first name stored for it.
QList<ModelLine> ReadModelRows(const Database& db);
QList<ModelLine> ReadModelColumns(const Database& db);

// In number order, for the results grid.
QList<ModelLine> ReadModelRowsInOrder(const Database& db);
QList<ModelLine> ReadModelColumnsInOrder(const Database& db);

// A new model, numbered 0, 1, 2, ... in the order given.
void StoreModel(Database& db, const QStringList& rowNames, const QStringList& columnNames);
