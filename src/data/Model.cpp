#include "data/Model.h"

#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

#include <QSet>

namespace {

// A number stored twice would put two entries in a picker that both stand
// for the same cells; the first one stands for them.
QList<ModelLine> readLines(const Database& db, const QString& sql, const QString& numberField,
                           const QString& table)
{
    QList<ModelLine> lines;
    QSet<QString> seen;
    qsizetype read = 0;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        if (++read > kMostRowsShown)
            RefuseRowsBeyondShown(db, QStringLiteral("The table ") + table);
        QString number = CText(rs.Fields(numberField));
        if (!number.isEmpty() && !seen.contains(number)) {
            seen.insert(number);
            lines.append({std::move(number), rs.FieldText(QStringLiteral("name"))});
        }
        rs.MoveNext();
    }
    return lines;
}

} // namespace

QList<ModelLine> ReadModelRows(const Database& db)
{
    return readLines(db, db.IsServer() ? Sql::Server::SelectModelRows() : Sql::SelectModelRows(),
                     QStringLiteral("row_number"), QStringLiteral("model_row"));
}

QList<ModelLine> ReadModelColumns(const Database& db)
{
    return readLines(db,
                     db.IsServer() ? Sql::Server::SelectModelColumns() : Sql::SelectModelColumns(),
                     QStringLiteral("col_number"), QStringLiteral("model_column"));
}

QList<ModelLine> ReadModelRowsInOrder(const Database& db)
{
    return readLines(db, Sql::SelectRowNamesOrdered(), QStringLiteral("row_number"),
                     QStringLiteral("model_row"));
}

QList<ModelLine> ReadModelColumnsInOrder(const Database& db)
{
    return readLines(db, Sql::SelectColumnNamesOrdered(), QStringLiteral("col_number"),
                     QStringLiteral("model_column"));
}

void StoreModel(Database& db, const QStringList& rowNames, const QStringList& columnNames)
{
    for (qsizetype i = 0; i < rowNames.size(); ++i)
        StoreOneRow(db, Sql::InsertModelRow(i, rowNames.at(i)),
                    QStringLiteral("model row %1").arg(i));
    for (qsizetype i = 0; i < columnNames.size(); ++i)
        StoreOneRow(db, Sql::InsertModelColumn(i, columnNames.at(i)),
                    QStringLiteral("model column %1").arg(i));
}
