#include "data/Transfer.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

namespace {

struct TableShape
{
    QString name;
    QStringList numbers;
    QStringList texts;
    QStringList Columns() const { return numbers + texts; }
};

// In the order the tables are filled, each with the columns the program
// uses; anything else a file's tables hold is not the program's to copy.
const QList<TableShape>& shapes()
{
    static const QList<TableShape> tables = {
        {QStringLiteral("model_row"), {QStringLiteral("row_number")}, {QStringLiteral("name")}},
        {QStringLiteral("model_column"), {QStringLiteral("col_number")}, {QStringLiteral("name")}},
        {QStringLiteral("question"),
         {QStringLiteral("id"), QStringLiteral("row_id"), QStringLiteral("col_id")},
         {QStringLiteral("label"), QStringLiteral("question_text")}},
        {QStringLiteral("survey"),
         {QStringLiteral("id")},
         {QStringLiteral("completed_by"), QStringLiteral("company")}},
        {QStringLiteral("survey_results"),
         {QStringLiteral("survey_id"), QStringLiteral("question_id"), QStringLiteral("answer")},
         {}},
    };
    return tables;
}

// Rows per INSERT: a round trip to a server per row would make a large copy
// take hours.
constexpr qsizetype kBatch = 500;

struct Totals
{
    qint64 rows = 0;
    double total = 0;
};

Totals readTotals(const Database& db, const TableShape& table)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectTableTotals(table.name, table.numbers, table.texts))
                       .OpenRecordset();
    return {rs.FieldInt64(QStringLiteral("n")), rs.Fields(QStringLiteral("total")).toDouble()};
}

qint64 copyTable(const Database& from, Database& to, const TableShape& table)
{
    const QStringList columns = table.Columns();
    const QString order = from.IsServer() ? QString() : StoredOrder(from, table.name);
    Recordset rs =
        from.CreateQueryDef(Sql::SelectTableRows(table.name, columns, from.IsServer(), order))
            .OpenRecordset();
    QList<QVariantList> batch;
    qint64 copied = 0;
    const auto flush = [&] {
        if (batch.isEmpty())
            return;
        to.Execute(Sql::InsertRows(table.name, columns, batch));
        copied += batch.size();
        batch.clear();
    };
    while (!rs.Eof()) {
        QVariantList row;
        for (const QString& column : columns)
            row.append(rs.Fields(column));
        batch.append(row);
        if (batch.size() == kBatch)
            flush();
        rs.MoveNext();
    }
    flush();
    return copied;
}

QList<CopiedTable> copyAll(const Database& from, Database& to)
{
    QList<CopiedTable> copied;
    ReadTransaction snapshot(from);
    for (const TableShape& table : shapes())
        copied.append({table.name, copyTable(from, to, table)});
    if (to.IsServer())
        to.Execute(Sql::Server::AdvanceQuestionNumbers());
    for (const TableShape& table : shapes()) {
        const Totals source = readTotals(from, table);
        const Totals target = readTotals(to, table);
        if (source.rows != target.rows || source.total != target.total)
            throw QueltError(QStringLiteral("The copy of the table %1 differs from the original "
                                            "(%2 rows, total %3; the copy: %4 rows, total %5), "
                                            "so nothing was copied.")
                                 .arg(table.name)
                                 .arg(source.rows)
                                 .arg(source.total, 0, 'g', 17)
                                 .arg(target.rows)
                                 .arg(target.total, 0, 'g', 17),
                             {}, {}, to.FileName());
    }
    snapshot.Commit();
    return copied;
}

} // namespace

QList<CopiedTable> CopySurveyDatabase(const Database& from, const QString& to)
{
    QList<CopiedTable> copied;
    const auto fill = [&](Database& target) { copied = copyAll(from, target); };
    if (!DBEngine::IsServer(to)) {
        Schema::CreateSurveyDatabase(to, {}, {}, fill);
        return copied;
    }
    Database target = DBEngine::OpenDatabase(to);
    Transaction batch(target);
    const QStringList present = Schema::ReadPresentTables(target);
    if (present.isEmpty()) {
        for (const QString& sql : Schema::CreateServerTableStatements())
            target.Execute(sql);
        for (const QString& sql : Schema::CreateServerIndexStatements())
            target.Execute(sql);
    } else {
        // Tables an administrator made beforehand, and granted, will do as
        // long as they are all there and empty.
        bool empty = present.size() == shapes().size();
        for (const TableShape& table : shapes())
            empty = empty && readTotals(target, table).rows == 0;
        if (!empty)
            throw QueltError(QStringLiteral("The target database already holds survey data; "
                                            "it was left as it was."),
                             {}, {}, target.FileName());
    }
    fill(target);
    batch.Commit();
    return copied;
}
