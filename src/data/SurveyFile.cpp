#include "data/SurveyFile.h"

#include "data/Schema.h"
#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QHash>
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

struct ServerSchema
{
    QStringList hazards;
    int version = 0;
};

QString relationKind(const QString& relkind)
{
    if (relkind == QLatin1String("v"))
        return QStringLiteral("a view");
    if (relkind == QLatin1String("m"))
        return QStringLiteral("a materialized view");
    if (relkind == QLatin1String("f"))
        return QStringLiteral("a foreign table");
    if (relkind == QLatin1String("p"))
        return QStringLiteral("a partitioned table");
    return QStringLiteral("not a plain table");
}

// Whoever may create objects on a server could hang a trigger, a rule or a
// policy on a table, or put a view in its place, each of which changes
// what the program's statements do; and the functions that consultants
// write through must be the program's own. One statement, one round trip.
ServerSchema readServerSchema(const Database& db)
{
    ServerSchema schema;
    QHash<QString, QString> bodies;
    QHash<QString, bool> secure;
    Recordset rs = db.CreateQueryDef(Sql::Server::SelectSchemaObjects()).OpenRecordset();
    for (; !rs.Eof(); rs.MoveNext()) {
        const QString kind = rs.FieldText(QStringLiteral("kind"));
        const QString table = rs.FieldText(QStringLiteral("tbl"));
        const QString name = rs.FieldText(QStringLiteral("name"));
        if (kind == QLatin1String("relation"))
            schema.hazards.append(QStringLiteral("public.%1 is %2").arg(table, relationKind(name)));
        else if (kind == QLatin1String("trigger"))
            schema.hazards.append(QStringLiteral("the trigger \"%1\" acts on %2").arg(name, table));
        else if (kind == QLatin1String("rule"))
            schema.hazards.append(
                QStringLiteral("the rule \"%1\" rewrites statements on %2").arg(name, table));
        else if (kind == QLatin1String("policy"))
            schema.hazards.append(
                QStringLiteral("the row-level security policy \"%1\" filters %2").arg(name, table));
        else if (kind == QLatin1String("security"))
            schema.hazards.append(
                QStringLiteral("row-level security is enabled on %1, hiding rows").arg(table));
        else if (kind == QLatin1String("child"))
            schema.hazards.append(
                QStringLiteral("the table %1 inherits from %2, so its rows count as %2's")
                    .arg(name, table));
        else if (kind == QLatin1String("computed"))
            schema.hazards.append(
                QStringLiteral("%1.%2 is computed by the server, not stored").arg(table, name));
        else if (kind == QLatin1String("function")) {
            bodies.insert(name, rs.Fields(QStringLiteral("body")).toString());
            secure.insert(name, rs.FieldText(QStringLiteral("secure")) == QLatin1String("true"));
        }
    }
    const QList<Schema::ServerFunction> own = Schema::ServerFunctions();
    const QString versionText = bodies.value(own.last().signature);
    if (versionText.startsWith(QLatin1String("SELECT ")))
        schema.version = versionText.mid(7).toInt();
    // Each function the database's version made must be the program's own.
    for (const Schema::ServerFunction& f : own.sliced(0, own.size() - 1)) {
        if (f.since > schema.version)
            continue;
        if (!bodies.contains(f.signature))
            schema.hazards.append(
                QStringLiteral("the function %1, through which consultants write, is missing")
                    .arg(f.signature));
        else if (bodies.value(f.signature) != f.body)
            schema.hazards.append(
                QStringLiteral("the function %1 is not the one the program made").arg(f.signature));
        else if (!secure.value(f.signature))
            schema.hazards.append(QStringLiteral("the function %1 does not run as the tables' "
                                                 "owner with the search path pinned")
                                      .arg(f.signature));
    }
    return schema;
}

Database refuseHazards(Database db)
{
    NameSchema(db);
    QStringList hazards;
    if (db.IsServer()) {
        const ServerSchema schema = readServerSchema(db);
        db.SetSchemaVersion(schema.version);
        hazards = schema.hazards;
    } else {
        hazards = ReadSchemaHazards(db);
    }
    if (!hazards.isEmpty())
        throw QueltError(
            QStringLiteral("The %1 %2 cannot be used safely: %3. Nothing was read "
                           "or stored; run quelt-db check on it.")
                .arg(DatabaseNoun(db), db.FileName(), hazards.join(QStringLiteral("; "))),
            {}, {}, db.FileName());
    return db;
}

} // namespace

QString DatabaseNoun(const Database& db)
{
    return db.IsServer() ? QStringLiteral("database") : QStringLiteral("file");
}

void NameSchema(Database& db)
{
    if (db.IsServer())
        db.SetStatementFilter(&Sql::Server::Qualified);
}

Database OpenSurveyDatabaseAsIs(const QString& location, bool forReading)
{
    Database db =
        forReading ? DBEngine::OpenDatabaseForReading(location) : DBEngine::OpenDatabase(location);
    NameSchema(db);
    if (db.IsServer())
        db.SetSchemaVersion(readServerSchema(db).version);
    return db;
}

QStringList ReadSchemaHazards(const Database& db)
{
    static const QStringList tables = Schema::TableNames() + Schema::HistoryTableNames();
    if (db.IsServer())
        return readServerSchema(db).hazards;
    QStringList hazards;
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
    throw QueltError(QStringLiteral("%1 in %2 holds more than %3 rows, more than a window can "
                                    "show; run quelt-db check on the %4.")
                         .arg(what, db.FileName(),
                              QLocale(QLocale::English).toString(kMostRowsShown), DatabaseNoun(db)),
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
    throw QueltError(QStringLiteral("The %3 did not store %1 as one new row (%2 changed), "
                                    "so nothing of this step was stored; run quelt-db check on "
                                    "the %3.")
                         .arg(what, Counted(changed, QStringLiteral("row")), DatabaseNoun(db)),
                     {}, sql, db.FileName());
}
