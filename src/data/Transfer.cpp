#include "data/Transfer.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QHash>
#include <QStringDecoder>

namespace {

struct TableShape
{
    QString name;
    QStringList numbers;
    QStringList texts;
    // Columns that may be null, carried as null: what a change of the
    // history was not about.
    QStringList nullable = {};
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

// The history of corrections, copied where the original keeps one.
const QList<TableShape>& historyShapes()
{
    static const QList<TableShape> tables = {
        {QStringLiteral("history_change"),
         {QStringLiteral("id"), QStringLiteral("survey_id"), QStringLiteral("question_id"),
          QStringLiteral("row_id"), QStringLiteral("col_id"), QStringLiteral("answers")},
         {QStringLiteral("made_at"), QStringLiteral("made_by"), QStringLiteral("action"),
          QStringLiteral("old_value"), QStringLiteral("new_value")},
         {QStringLiteral("survey_id"), QStringLiteral("question_id"), QStringLiteral("row_id"),
          QStringLiteral("col_id"), QStringLiteral("old_value"), QStringLiteral("new_value")}},
        {QStringLiteral("history_answer"),
         {QStringLiteral("change_id"), QStringLiteral("survey_id"), QStringLiteral("question_id"),
          QStringLiteral("answer")},
         {}},
    };
    return tables;
}

// Values per INSERT: a round trip to a server per row would make a large
// copy take hours, and each batch costs a server a savepoint besides.
constexpr qsizetype kBatchValues = 12000;

// The rows a refusal names one by one; beyond them it counts.
constexpr qsizetype kNamedRows = 50;

// A server's whole numbers (its integer columns).
constexpr qint64 kServerSmallest = -2147483648LL;
constexpr qint64 kServerLargest = 2147483647LL;

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decode(bytes);
    return !decode.hasError();
}

// Why a stored value cannot be carried to the other end as it is, or nothing.
// A number must arrive as the same whole number: a text such as '1' is no
// survey number in a file (nothing refers to it) but would become one in
// the copy, and so would 2.0; a text must arrive with every byte.
QString uncarried(const StoredValue& value, bool text, bool toServer)
{
    using Kind = StoredValue::Kind;
    switch (value.kind) {
    case Kind::Null:
        return QStringLiteral("is null, which no copy can store");
    case Kind::Bytes:
        return text ? QStringLiteral("is a blob, not a text")
                    : QStringLiteral("is a blob, not a whole number");
    case Kind::Real:
        return text ? QStringLiteral("is a real number, not a text")
                    : QStringLiteral("is not stored as a whole number");
    case Kind::Text:
        if (!text)
            return QStringLiteral("is a text, not a number; nothing refers to it in the file, "
                                  "and a copy would make it a number");
        if (toServer && value.bytes.contains('\0'))
            return QStringLiteral("holds a NUL character, which a server cannot store");
        if (toServer && !isUtf8(value.bytes))
            return QStringLiteral("holds bytes that are not UTF-8, which a server cannot store");
        return {};
    case Kind::Whole:
        if (toServer && !text && (value.whole < kServerSmallest || value.whole > kServerLargest))
            return QStringLiteral("is beyond the whole numbers a server stores");
        return {};
    }
    return {};
}

// A whole number where a text belongs arrives as its digits, as either end
// stores it.
StoredValue carried(StoredValue value, bool text)
{
    if (text && value.kind == StoredValue::Kind::Whole) {
        value.kind = StoredValue::Kind::Text;
        value.bytes = QByteArray::number(value.whole);
    }
    return value;
}

// A table's rows in the order stored: a file's table declared without a
// rowid is read in its key's order.
Recordset readStored(const Database& db, const QString& table, const QStringList& columns)
{
    const QString order = db.IsServer() ? QString() : StoredOrder(db, table);
    return db.CreateQueryDef(Sql::SelectTableRows(table, columns, db.IsServer(), order))
        .OpenRecordset();
}

// Every value of the columns that the copy cannot carry, named by table,
// row (counted from 1 in the order the copy reads them) and column.
void findUncarried(const Database& from, const TableShape& table, const QStringList& columns,
                   bool toServer, QList<UncarriedValue>& found)
{
    Recordset rs = readStored(from, table.name, columns);
    for (qint64 row = 1; !rs.Eof(); ++row, rs.MoveNext()) {
        for (const QString& column : columns) {
            const StoredValue value = rs.FieldStored(column);
            if (value.kind == StoredValue::Kind::Null && table.nullable.contains(column))
                continue;
            const QString why = uncarried(value, table.texts.contains(column), toServer);
            if (!why.isEmpty())
                found.append({table.name, row, column, why, value.kind == StoredValue::Kind::Null});
        }
    }
}

void refuseUncarried(const Database& from, const Database& to, const QList<TableShape>& tables)
{
    QList<UncarriedValue> found;
    for (const TableShape& table : tables)
        findUncarried(from, table, table.Columns(), to.IsServer(), found);
    if (found.isEmpty())
        return;
    QStringList lines;
    for (const UncarriedValue& value : found.mid(0, kNamedRows))
        lines.append(QStringLiteral("%1, row %2: %3 %4")
                         .arg(value.table)
                         .arg(value.row)
                         .arg(value.column, value.why));
    if (found.size() > kNamedRows)
        lines.append(QStringLiteral("... and %1 more").arg(found.size() - kNamedRows));
    throw QueltError(
        QStringLiteral("%1 %2 of %3 cannot be copied as stored, so nothing was "
                       "copied (rows counted from 1 in the order stored; "
                       "quelt-db check tells more):")
            .arg(found.size())
            .arg(found.size() == 1 ? QStringLiteral("value") : QStringLiteral("values"),
                 from.FileName()),
        {}, {}, to.FileName())
        .withLines(lines);
}

// The engine's words on a refused row, without what follows their first line
// (a server's detail may repeat the row's values).
QueltError rowRefused(const QueltError& e, const QString& table, qint64 row, const Database& to)
{
    return QueltError(QStringLiteral("Row %1 of the table %2 (counted from 1 in the order stored) "
                                     "could not be stored in the copy, so nothing was copied.")
                          .arg(row)
                          .arg(table),
                      e.engineText().section(u'\n', 0, 0), e.statement(), to.FileName());
}

// Stores a batch; when the target refuses it, finds the row it refuses.
void insertRows(Database& to, const TableShape& table, const QList<StoredValue>& values,
                qint64 firstRow)
{
    const QStringList columns = table.Columns();
    const qsizetype width = columns.size();
    const qsizetype rows = values.size() / width;
    // A server's transaction is lost with a failed statement, unless it
    // began at a savepoint.
    const bool server = to.IsServer();
    if (server)
        to.Execute(QStringLiteral("SAVEPOINT copy_rows"));
    try {
        to.Execute(Sql::InsertRows(table.name, columns, rows, server), values);
    } catch (const QueltError& e) {
        if (server)
            to.Execute(QStringLiteral("ROLLBACK TO SAVEPOINT copy_rows"));
        for (qsizetype r = 0; r < rows; ++r) {
            try {
                to.Execute(Sql::InsertRows(table.name, columns, 1, server),
                           values.mid(r * width, width));
            } catch (const QueltError& one) {
                throw rowRefused(one, table.name, firstRow + r, to);
            }
        }
        throw rowRefused(e, table.name, firstRow, to);
    }
    if (server)
        to.Execute(QStringLiteral("RELEASE SAVEPOINT copy_rows"));
}

struct Totals
{
    qint64 rows = 0;
    double total = 0;
    // Every text's bytes, whatever order the rows come in.
    quint64 texts = 0;
};

Totals readTotals(const Database& db, const TableShape& table)
{
    Recordset rs = db.CreateQueryDef(Sql::SelectTableTotals(table.name, table.numbers, table.texts))
                       .OpenRecordset();
    Totals totals = {rs.FieldInt64(QStringLiteral("n")),
                     rs.Fields(QStringLiteral("total")).toDouble()};
    rs.Close();
    if (table.texts.isEmpty())
        return totals;
    Recordset texts = readStored(db, table.name, table.texts);
    for (; !texts.Eof(); texts.MoveNext()) {
        size_t row = 0;
        for (const QString& column : table.texts)
            row = qHashMulti(row, carried(texts.FieldStored(column), true).bytes);
        totals.texts += row;
    }
    return totals;
}

qint64 copyTable(const Database& from, Database& to, const TableShape& table)
{
    const QStringList columns = table.Columns();
    Recordset rs = readStored(from, table.name, columns);
    QList<StoredValue> batch;
    qint64 copied = 0;
    const auto flush = [&] {
        if (batch.isEmpty())
            return;
        const qsizetype rows = batch.size() / columns.size();
        insertRows(to, table, batch, copied + 1);
        copied += rows;
        batch.clear();
    };
    while (!rs.Eof()) {
        for (const QString& column : columns)
            batch.append(carried(rs.FieldStored(column), table.texts.contains(column)));
        if (batch.size() + columns.size() > kBatchValues)
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
    QList<TableShape> tables = shapes();
    // Tables an administrator made beforehand may lack the history; an
    // empty one need not go.
    if (Schema::HasHistoryTables(from)) {
        if (Schema::HasHistoryTables(to))
            tables += historyShapes();
        else if (readTotals(from, historyShapes().first()).rows > 0)
            throw QueltError(QStringLiteral("The target database has no tables for the history "
                                            "of corrections that the original keeps; its owner "
                                            "runs quelt-db upgrade on it first. Nothing was "
                                            "copied."),
                             {}, {}, to.FileName());
    }
    refuseUncarried(from, to, tables);
    for (const TableShape& table : tables)
        copied.append({table.name, copyTable(from, to, table)});
    if (to.IsServer()) {
        to.Execute(Sql::Server::AdvanceQuestionNumbers());
        if (tables.size() > shapes().size())
            to.Execute(Sql::Server::AdvanceChangeNumbers());
    }
    for (const TableShape& table : tables) {
        const Totals source = readTotals(from, table);
        const Totals target = readTotals(to, table);
        if (source.rows != target.rows || source.total != target.total)
            throw QueltError(QStringLiteral("The copy of the table %1 differs from the original "
                                            "(%2, total %3; the copy: %4, total %5), "
                                            "so nothing was copied.")
                                 .arg(table.name, Counted(source.rows, QStringLiteral("row")))
                                 .arg(source.total, 0, 'g', 17)
                                 .arg(Counted(target.rows, QStringLiteral("row")))
                                 .arg(target.total, 0, 'g', 17),
                             {}, {}, to.FileName());
        if (source.texts != target.texts)
            throw QueltError(QStringLiteral("The texts of the table %1 differ between the copy and "
                                            "the original, so nothing was copied.")
                                 .arg(table.name),
                             {}, {}, to.FileName());
    }
    snapshot.Commit();
    return copied;
}

} // namespace

QList<UncarriedValue> FindUncarriedTexts(const Database& db, const QString& table)
{
    QList<UncarriedValue> found;
    for (const TableShape& shape : shapes())
        if (shape.name == table && !shape.texts.isEmpty())
            findUncarried(db, shape, shape.texts, true, found);
    found.removeIf([](const UncarriedValue& value) { return value.null; });
    return found;
}

QList<CopiedTable> CopySurveyDatabase(const Database& from, const QString& to,
                                      const QString& consultants)
{
    QList<CopiedTable> copied;
    const auto fill = [&](Database& target) { copied = copyAll(from, target); };
    if (!DBEngine::IsServer(to)) {
        Schema::CreateSurveyDatabase(to, {}, {}, fill);
        return copied;
    }
    Database target = DBEngine::OpenDatabase(to);
    NameSchema(target);
    Transaction batch(target);
    const QStringList present = Schema::ReadPresentTables(target);
    if (present.isEmpty()) {
        Schema::CreateServerTables(target, consultants);
    } else {
        // Tables an administrator made beforehand, and granted, will do as
        // long as they are all there and empty.
        bool empty = present.size() == shapes().size();
        for (const TableShape& table : shapes())
            empty = empty && readTotals(target, table).rows == 0;
        if (Schema::HasHistoryTables(target)) {
            for (const TableShape& table : historyShapes())
                empty = empty && readTotals(target, table).rows == 0;
        }
        if (!empty)
            throw QueltError(QStringLiteral("The target database already holds survey data; "
                                            "it was left as it was."),
                             {}, {}, target.FileName());
    }
    fill(target);
    batch.Commit();
    return copied;
}
