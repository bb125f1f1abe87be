#include "data/SurveyFile.h"

#include "data/Statements.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QLocale>

namespace {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() > 0x7f;
}

// The bare words of a statement, upper-cased, leaving out quoted strings and
// names and comments: a column named "on conflict" is not a conflict clause.
QStringList bareWords(const QString& sql)
{
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    const auto skipTo = [&](const QString& end) {
        const qsizetype at = sql.indexOf(end, i);
        i = at < 0 ? n : at + end.size();
    };
    while (i < n) {
        const QChar c = sql.at(i);
        if (sql.mid(i, 2) == QLatin1String("--")) {
            skipTo(QStringLiteral("\n"));
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            i += 2;
            skipTo(QStringLiteral("*/"));
        } else if (c == u'\'' || c == u'"' || c == u'`') {
            ++i;
            skipTo(QString(c));
        } else if (c == u'[') {
            ++i;
            skipTo(QStringLiteral("]"));
        } else if (isWordCharacter(c)) {
            const qsizetype start = i;
            while (i < n && isWordCharacter(sql.at(i)))
                ++i;
            words.append(sql.mid(start, i - start).toUpper());
        } else {
            ++i;
        }
    }
    return words;
}

// "ON CONFLICT REPLACE" and the like in a table's definition: the engine then
// replaces or drops rows on the program's inserts instead of refusing them.
QString conflictClause(const QStringList& words)
{
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words.at(i) == QLatin1String("ON") && words.at(i + 1) == QLatin1String("CONFLICT"))
            return QStringLiteral("ON CONFLICT ") + words.value(i + 2);
    }
    return {};
}

Database refuseHazards(Database db)
{
    const QStringList hazards = ReadSchemaHazards(db);
    if (!hazards.isEmpty())
        throw QueltError(QStringLiteral("The file %1 cannot be used safely: %2. Nothing was read "
                                        "or stored; run quelt-db check on it.")
                             .arg(db.FileName(), hazards.join(QStringLiteral("; "))),
                         {}, {}, db.FileName());
    return db;
}

} // namespace

QStringList ReadSchemaHazards(const Database& db)
{
    static const QStringList tables = {QStringLiteral("model_row"), QStringLiteral("model_column"),
                                       QStringLiteral("question"), QStringLiteral("survey"),
                                       QStringLiteral("survey_results")};
    QStringList hazards;
    // A server's triggers and views are its administrator's, set up on
    // purpose; a file's come with whoever sent it.
    if (db.IsServer())
        return hazards;
    bool mayCompute = false;
    Recordset rs = db.CreateQueryDef(Sql::SelectSchemaObjects()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QString table = rs.FieldText(QStringLiteral("tbl_name"));
        if (!tables.contains(table.toLower()))
            continue;
        const QString type = rs.FieldText(QStringLiteral("type"));
        const QString name = rs.FieldText(QStringLiteral("name"));
        if (type == QLatin1String("view")) {
            hazards.append(QStringLiteral("%1 is a view, not a table").arg(name));
        } else if (type == QLatin1String("trigger")) {
            hazards.append(QStringLiteral("the trigger \"%1\" acts on %2").arg(name, table));
        } else if (type == QLatin1String("table")) {
            const QStringList words = bareWords(rs.Fields(QStringLiteral("sql")).toString());
            if (words.size() > 1 && words.at(1) == QLatin1String("VIRTUAL"))
                hazards.append(QStringLiteral("%1 is a virtual table, not a table").arg(name));
            else if (const QString clause = conflictClause(words); !clause.isEmpty())
                hazards.append(
                    QStringLiteral("the table %1 has a conflict clause (%2)").arg(name, clause));
            // A computed column is declared "... AS (expression)"; only then
            // is the engine asked which columns those are.
            mayCompute = mayCompute || words.contains(QLatin1String("AS"));
        }
    }
    rs.Close();
    if (!mayCompute)
        return hazards;
    // A computed column shows what the file's expression says, not what
    // was stored, and runs that expression at every read.
    Recordset computed = db.CreateQueryDef(Sql::SelectGeneratedColumns()).OpenRecordset();
    for (; !computed.Eof(); computed.MoveNext())
        hazards.append(QStringLiteral("%1.%2 is computed by the file, not stored")
                           .arg(computed.FieldText(QStringLiteral("tbl")),
                                computed.FieldText(QStringLiteral("name"))));
    return hazards;
}

Database OpenSurveyDatabase(const QString& location)
{
    return refuseHazards(DBEngine::OpenDatabase(location));
}

Database OpenSurveyDatabaseForReading(const QString& location)
{
    return refuseHazards(DBEngine::OpenDatabaseForReading(location));
}

QString StoredOrder(const Database& db, const QString& table, const QString& prefix)
{
    {
        Recordset rs = db.CreateQueryDef(Sql::SelectIsWithoutRowid(table)).OpenRecordset();
        if (rs.Eof() || rs.FieldInt64(QStringLiteral("v")) == 0)
            return prefix + QStringLiteral("rowid");
    }
    QStringList columns;
    Recordset rs = db.CreateQueryDef(Sql::SelectPrimaryKey(table)).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext())
        columns.append(prefix + Sql::QuoteName(rs.FieldText(QStringLiteral("name"))));
    return columns.join(QStringLiteral(", "));
}

void RefuseRowsBeyondShown(const Database& db, const QString& what)
{
    throw QueltError(
        QStringLiteral("%1 in %2 holds more than %3 rows, more than a window can "
                       "show; run quelt-db check on the file.")
            .arg(what, db.FileName(), QLocale(QLocale::English).toString(kMostRowsShown)),
        {}, {}, db.FileName());
}

void StoreOneRow(Database& db, const QString& sql, const QString& what)
{
    RequireOneRow(db, sql, db.Execute(sql), what);
}

void RequireOneRow(const Database& db, const QString& sql, qint64 changed, const QString& what)
{
    if (changed == 1)
        return;
    throw QueltError(QStringLiteral("The file did not store %1 as one new row (%2 rows changed), "
                                    "so nothing of this step was stored; run quelt-db check on "
                                    "the file.")
                         .arg(what)
                         .arg(changed),
                     {}, sql, db.FileName());
}
