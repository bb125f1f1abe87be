#include "data/FileChecks.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QRegularExpression>
#include <QSet>

namespace {

QStringList textColumn(const Database& db, const QString& sql, const QString& field)
{
    QStringList values;
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    while (!rs.Eof()) {
        values.append(rs.FieldText(field));
        rs.MoveNext();
    }
    return values;
}

qint64 count(const Database& db, const QString& sql)
{
    Recordset rs = db.CreateQueryDef(sql).OpenRecordset();
    return rs.Eof() ? 0 : rs.FieldInt64(QStringLiteral("v"));
}

} // namespace

QStringList ReadIntegrityProblems(const Database& db)
{
    // A server checks its own storage; it has no such statement to ask.
    if (db.IsServer())
        return {};
    QStringList problems;
    Recordset rs = db.CreateQueryDef(Sql::SelectIntegrityCheck()).OpenRecordset();
    while (!rs.Eof()) {
        const QString line = rs.Fields(QStringLiteral("integrity_check")).toString();
        if (line != QStringLiteral("ok"))
            problems.append(line);
        rs.MoveNext();
    }
    return problems;
}

QStringList ReadTableColumns(const Database& db, const QString& table)
{
    QStringList names = textColumn(
        db, db.IsServer() ? Sql::Server::SelectTableColumns(table) : Sql::SelectTableColumns(table),
        QStringLiteral("name"));
    for (QString& name : names)
        name = name.toLower();
    return names;
}

// A value's length is a server's own business, which its constraints keep.
bool IsStoredTable(const Database& db, const QString& table)
{
    if (db.IsServer())
        return textColumn(db, Sql::Server::SelectRelationKind(table), QStringLiteral("v")) ==
               QStringList{QStringLiteral("r")};
    Recordset rs = db.CreateQueryDef(Sql::SelectTableDefinition(table)).OpenRecordset();
    return !rs.Eof() && rs.FieldText(QStringLiteral("type")) == QLatin1String("table") &&
           !rs.FieldText(QStringLiteral("sql"))
                .startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
}

QStringList ReadComputedColumns(const Database& db)
{
    QStringList columns;
    if (db.IsServer())
        return columns;
    Recordset rs = db.CreateQueryDef(Sql::SelectGeneratedColumns()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext())
        columns.append(
            (rs.FieldText(QStringLiteral("tbl")) + u'.' + rs.FieldText(QStringLiteral("name")))
                .toLower());
    return columns;
}

bool HoldsOverlongValue(const Database& db, const QString& table, const QString& column)
{
    if (db.IsServer())
        return false;
    try {
        Recordset rs = db.CreateQueryDef(Sql::SelectLongestValue(table, column)).OpenRecordset();
        return false;
    } catch (const QueltError& e) {
        // The engine's own words for a value past its length limit.
        if (e.engineText().contains(QLatin1String("too big")))
            return true;
        throw;
    }
}

Repeats ReadRepeatedNumbers(const Database& db, const QString& table, const QString& column)
{
    Repeats repeats;
    QSet<qint64> seen;
    Recordset rs = db.CreateQueryDef(Sql::SelectColumnValues(table, column)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QVariant v = rs.Fields(QStringLiteral("v"));
        if (CText(v).isEmpty())
            continue;
        qint64 number = 0;
        try {
            number = CInt64(v, QString());
        } catch (const QueltError&) {
            continue;
        }
        if (seen.contains(number)) {
            if (repeats.count++ == 0)
                repeats.example = number;
        } else {
            seen.insert(number);
        }
    }
    return repeats;
}

qint64 CountNullValues(const Database& db, const QString& table, const QString& column)
{
    return count(db, Sql::CountNulls(table, column));
}

// Of what the engine does not hold as a 16-bit integer, what the program's
// own conversion accepts ("7", 7.0) passes.
OddValues ReadOddNumbers(const Database& db, const QString& table, const QString& column,
                         bool skipBlank)
{
    OddValues odd;
    Recordset rs = db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectOddNumbers(table, column)
                                                   : Sql::SelectOddNumbers(table, column))
                       .OpenRecordset();
    while (!rs.Eof()) {
        const QVariant v = rs.Fields(QStringLiteral("v"));
        if (skipBlank && CText(v).isEmpty()) {
            rs.MoveNext();
            continue;
        }
        // A blob is no number, whatever its bytes.
        bool whole = v.typeId() != QMetaType::QByteArray;
        if (whole) {
            try {
                CInt16(v, QString());
            } catch (const QueltError&) {
                whole = false;
            }
        }
        if (!whole && odd.count++ == 0) {
            const qsizetype bytes = v.toByteArray().size();
            odd.example =
                v.typeId() == QMetaType::QByteArray
                    ? QStringLiteral("a blob of %1 byte%2").arg(bytes).arg(bytes == 1 ? "" : "s")
                    : v.toString().left(40);
        } else if (whole && v.typeId() == QMetaType::QString && odd.asText++ == 0) {
            odd.textExample = v.toString().left(40);
        }
        rs.MoveNext();
    }
    return odd;
}

Numbering ReadNumbering(const Database& db, const QString& table, const QString& column)
{
    Recordset rs = db.CreateQueryDef(db.IsServer() ? Sql::Server::SelectNumbering(table, column)
                                                   : Sql::SelectNumbering(table, column))
                       .OpenRecordset();
    Numbering numbering;
    numbering.count = rs.FieldInt64(QStringLiteral("n"));
    if (numbering.count == 0)
        return numbering;
    numbering.distinct = rs.FieldInt64(QStringLiteral("d"));
    numbering.lowest = CInt64(rs.Fields(QStringLiteral("lo")), QStringLiteral("The lowest number"));
    numbering.highest =
        CInt64(rs.Fields(QStringLiteral("hi")), QStringLiteral("The highest number"));
    return numbering;
}

qint64 CountUnnumbered(const Database& db, const QString& table, const QString& column)
{
    return count(db, db.IsServer() ? Sql::Server::CountUnnumbered(table, column)
                                   : Sql::CountUnnumbered(table, column));
}

qint64 CountQuestionsOutsideModel(const Database& db)
{
    return count(db, Sql::CountQuestionsOutsideModel());
}

qint64 CountAnswersWithoutQuestion(const Database& db)
{
    return count(db, Sql::CountAnswersWithoutQuestion());
}

qint64 CountAnswersWithoutSurvey(const Database& db)
{
    return count(db, Sql::CountAnswersWithoutSurvey());
}

qint64 CountScoresOutsideRange(const Database& db)
{
    return count(db, Sql::CountScoresOutsideRange());
}

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

// A partial index holds only the rows its WHERE clause selects, so the
// planner cannot use it for the program's queries, which need every row.
IndexesLike FindIndexesLike(const Database& db, const WantedIndex& wanted)
{
    const bool server = db.IsServer();
    QList<QPair<QString, bool>> indexes;
    Recordset rs = db.CreateQueryDef(server ? Sql::Server::SelectIndexes(wanted.table)
                                            : Sql::SelectIndexes(wanted.table))
                       .OpenRecordset();
    while (!rs.Eof()) {
        indexes.append(
            {rs.FieldText(QStringLiteral("name")), rs.FieldInt64(QStringLiteral("partial")) != 0});
        rs.MoveNext();
    }
    rs.Close();
    IndexesLike like;
    for (const auto& [name, partial] : indexes) {
        const QStringList columns = textColumn(
            db, server ? Sql::Server::SelectIndexColumns(name) : Sql::SelectIndexColumns(name),
            QStringLiteral("name"));
        if (columns.size() < wanted.columns.size())
            continue;
        bool same = true;
        for (qsizetype i = 0; i < wanted.columns.size() && same; ++i)
            same = columns.at(i).compare(wanted.columns.at(i), Qt::CaseInsensitive) == 0;
        if (!same)
            continue;
        if (partial)
            like.partial.append(name);
        else if (like.complete.isEmpty())
            like.complete = name;
    }
    return like;
}
