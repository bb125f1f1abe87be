#include "Indexes.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "platform/DbEngine.h"

#include <QRegularExpression>

QList<WantedIndex> WantedIndexes()
{
    static const QRegularExpression shape(
        QStringLiteral(R"(INDEX\s+(?:IF\s+NOT\s+EXISTS\s+)?(\w+)\s+ON\s+(\w+)\s*\(([^)]*)\))"),
        QRegularExpression::CaseInsensitiveOption);
    QList<WantedIndex> wanted;
    for (const QString& statement : Schema::CreateIndexStatements()) {
        const QRegularExpressionMatch m = shape.match(statement);
        if (!m.hasMatch())
            continue;
        WantedIndex index{m.captured(1), m.captured(2), {}, statement};
        for (const QString& column : m.captured(3).split(u','))
            index.columns.append(column.trimmed());
        wanted.append(index);
    }
    return wanted;
}

namespace {

QStringList column(Database& db, const QString& sql, const QString& field)
{
    QStringList values;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        values.append(rs.FieldText(field));
        rs.MoveNext();
    }
    return values;
}

} // namespace

QString IndexLike(Database& db, const WantedIndex& wanted)
{
    const QStringList indexes = column(
        db, QStringLiteral("SELECT name FROM pragma_index_list(%1)").arg(Sql::Quote(wanted.table)),
        QStringLiteral("name"));
    for (const QString& index : indexes) {
        const QStringList columns =
            column(db,
                   QStringLiteral("SELECT name FROM pragma_index_info(%1) ORDER BY seqno")
                       .arg(Sql::Quote(index)),
                   QStringLiteral("name"));
        if (columns.size() < wanted.columns.size())
            continue;
        bool same = true;
        for (qsizetype i = 0; i < wanted.columns.size() && same; ++i)
            same = columns.at(i).compare(wanted.columns.at(i), Qt::CaseInsensitive) == 0;
        if (same)
            return index;
    }
    return {};
}
