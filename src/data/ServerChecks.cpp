#include "data/ServerChecks.h"

#include "data/FileChecks.h"
#include "data/Statements.h"
#include "platform/DbEngine.h"

QList<DirectWriter> ReadDirectWriters(const Database& db)
{
    QList<DirectWriter> writers;
    Recordset rs = db.CreateQueryDef(Sql::Server::SelectDirectWriters()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QString login = rs.FieldText(QStringLiteral("login"));
        const QString table = rs.FieldText(QStringLiteral("tbl"));
        if (writers.isEmpty() || writers.last().login != login || writers.last().table != table)
            writers.append({login, table, {}});
        writers.last().rights.append(rs.FieldText(QStringLiteral("privilege")));
    }
    return writers;
}

qint64 CountUnrecordedRows(const Database& db, const QString& table)
{
    if (!ReadTableColumns(db, table).contains(QStringLiteral("stored_by")))
        return 0;
    Recordset rs = db.CreateQueryDef(Sql::Server::CountUnrecorded(table)).OpenRecordset();
    return rs.FieldInt64(QStringLiteral("v"));
}

QStringList ReadTablesElsewhere(const Database& db)
{
    QStringList tables;
    Recordset rs = db.CreateQueryDef(Sql::Server::SelectTablesElsewhere()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext())
        tables.append(rs.FieldText(QStringLiteral("schema")) + u'.' +
                      rs.FieldText(QStringLiteral("tbl")));
    return tables;
}
