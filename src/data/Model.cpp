#include "data/Model.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

namespace {

QList<ModelLine> readLines(const Database& db, const QString& sql, const QString& numberField)
{
    QList<ModelLine> lines;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        QString number = CText(rs.Fields(numberField));
        if (!number.isEmpty())
            lines.append({std::move(number), rs.FieldText(QStringLiteral("name"))});
        rs.MoveNext();
    }
    return lines;
}

} // namespace

QList<ModelLine> ReadModelRows(const Database& db)
{
    return readLines(db, db.IsServer() ? Sql::Server::SelectModelRows() : Sql::SelectModelRows(),
                     QStringLiteral("row_number"));
}

QList<ModelLine> ReadModelColumns(const Database& db)
{
    return readLines(db,
                     db.IsServer() ? Sql::Server::SelectModelColumns() : Sql::SelectModelColumns(),
                     QStringLiteral("col_number"));
}

QList<ModelLine> ReadModelRowsInOrder(const Database& db)
{
    return readLines(db, Sql::SelectRowNamesOrdered(), QStringLiteral("row_number"));
}

QList<ModelLine> ReadModelColumnsInOrder(const Database& db)
{
    return readLines(db, Sql::SelectColumnNamesOrdered(), QStringLiteral("col_number"));
}

void StoreModel(Database& db, const QStringList& rowNames, const QStringList& columnNames)
{
    for (qsizetype i = 0; i < rowNames.size(); ++i)
        db.Execute(Sql::InsertModelRow(i, rowNames.at(i)));
    for (qsizetype i = 0; i < columnNames.size(); ++i)
        db.Execute(Sql::InsertModelColumn(i, columnNames.at(i)));
}
