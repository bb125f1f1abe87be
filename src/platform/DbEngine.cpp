#include "platform/DbEngine.h"

#include "platform/Convert.h"
#include "platform/QueltError.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>

namespace dbengine_detail {

// Owns one named Qt connection. Queries hold a share of it, so the name is
// removed only after the last query on it is gone, as Qt requires.
struct Connection
{
    QString name;
    QString file;

    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    QSqlDatabase database() const { return QSqlDatabase::database(name, false); }
};

} // namespace dbengine_detail

using dbengine_detail::Connection;

namespace {

int g_busyTimeoutMs = 5000;
QAtomicInteger<quint64> g_connectionCounter;

QString engineWords(const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    return text;
}

std::shared_ptr<Connection> requireOpen(const std::shared_ptr<Connection>& connection)
{
    if (!connection)
        throw QueltError(QStringLiteral("The database was used after it had been closed."));
    return connection;
}

} // namespace

// ---------------------------------------------------------------- DBEngine

int DBEngine::BusyTimeoutMs()
{
    return g_busyTimeoutMs;
}

void DBEngine::SetBusyTimeoutMs(int ms)
{
    g_busyTimeoutMs = ms;
}

QString DBEngine::SurveyDatabaseName()
{
    return QStringLiteral("quelt.mdb");
}

Database DBEngine::CreateDatabase(const QString& name)
{
    const QFileInfo info(name);
    const QString path = info.absoluteFilePath();
    if (info.exists() || info.isSymLink())
        throw QueltError(QStringLiteral("The file %1 exists already; it was left as it was.").arg(path),
                         {}, {}, path);
    if (!info.absoluteDir().exists())
        throw QueltError(QStringLiteral("The folder %1 does not exist.").arg(info.absolutePath()),
                         {}, {}, path);
    return openFile(path, QStringLiteral("rwc"));
}

Database DBEngine::OpenDatabase(const QString& name)
{
    const QFileInfo info(name);
    const QString path = info.absoluteFilePath();
    if (!info.exists()) {
        throw QueltError(
            QStringLiteral("The database file \"%1\" was not found in the folder %2.")
                .arg(info.fileName(), info.absolutePath()),
            {}, {}, path);
    }
    if (info.isDir())
        throw QueltError(QStringLiteral("\"%1\" is a folder, not a database file.").arg(path), {},
                         {}, path);
    return openFile(path, QStringLiteral("rw"));
}

Database DBEngine::openFile(const QString& path, const QString& mode)
{
    auto connection = std::make_shared<Connection>();
    connection->name =
        QStringLiteral("quelt-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1);
    connection->file = path;

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection->name);
        // mode=rw: a file that vanished after the check above is an error,
        // never a new empty database.
        db.setDatabaseName(QStringLiteral("file:") +
                           QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
                           QStringLiteral("?mode=") + mode);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(g_busyTimeoutMs));
        if (!db.open()) {
            throw QueltError(QStringLiteral("The database file could not be opened."),
                             engineWords(db.lastError()), {}, path);
        }
        // The driver opens any file; only the first read finds out whether
        // it is a database, and reading changes nothing.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            throw QueltError(QStringLiteral("The file could not be read as a survey database."),
                             engineWords(probe.lastError()), {}, path);
        }
    }
    return Database(std::move(connection));
}

// ---------------------------------------------------------------- Database

Database::Database(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

QueryDef Database::CreateQueryDef(const QString& sql)
{
    return QueryDef(requireOpen(m_connection), sql);
}

int Database::Execute(const QString& sql)
{
    return CreateQueryDef(sql).Execute();
}

void Database::BeginTrans()
{
    Execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void Database::CommitTrans()
{
    Execute(QStringLiteral("COMMIT"));
}

void Database::Rollback()
{
    Execute(QStringLiteral("ROLLBACK"));
}

void Database::Close()
{
    m_connection.reset();
}

QString Database::FileName() const
{
    return m_connection ? m_connection->file : QString();
}

// ---------------------------------------------------------------- QueryDef

QueryDef::QueryDef(std::shared_ptr<Connection> connection, QString sql)
    : m_connection(std::move(connection)), m_sql(std::move(sql))
{
}

Recordset QueryDef::OpenRecordset()
{
    return Recordset(requireOpen(m_connection), m_sql);
}

int QueryDef::Execute()
{
    auto connection = requireOpen(m_connection);
    QSqlQuery query(connection->database());
    if (!query.exec(m_sql)) {
        throw QueltError(QStringLiteral("The database engine rejected a statement."),
                         engineWords(query.lastError()), m_sql, connection->file);
    }
    return query.numRowsAffected();
}

void QueryDef::Close()
{
    m_connection.reset();
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset(std::shared_ptr<Connection> connection, const QString& sql)
    : m_connection(std::move(connection)), m_sql(sql)
{
    m_query = std::make_unique<QSqlQuery>(m_connection->database());
    m_query->setForwardOnly(true);
    if (!m_query->exec(m_sql))
        fail(QStringLiteral("The database engine rejected a statement."),
             engineWords(m_query->lastError()));
    if (!m_query->isSelect())
        fail(QStringLiteral("A statement that returns no rows was read as a query."));
    m_columns = m_query->record();
    MoveNext();
}

Recordset::Recordset(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

void Recordset::fail(const QString& action, const QString& engineText) const
{
    throw QueltError(action, engineText, m_sql, m_connection ? m_connection->file : QString());
}

bool Recordset::Eof() const
{
    return !m_query || !m_query->isValid();
}

void Recordset::MoveNext()
{
    if (!m_query)
        fail(QStringLiteral("A query was read after it had been closed."));
    if (!m_query->next() && m_query->lastError().isValid())
        fail(QStringLiteral("Reading the rows of a query failed."),
             engineWords(m_query->lastError()));
}

QVariant Recordset::Fields(const QString& name) const
{
    if (Eof())
        fail(QStringLiteral("The field \"%1\" was read where there is no current row.").arg(name));
    if (m_lastIndex < 0 || name != m_lastName) {
        const int index = m_columns.indexOf(name);
        if (index < 0)
            fail(QStringLiteral("The query gives no field named \"%1\".").arg(name));
        m_lastName = name;
        m_lastIndex = index;
    }
    return m_query->value(m_lastIndex);
}

QString Recordset::FieldText(const QString& name) const
{
    return CText(Fields(name));
}

qint16 Recordset::FieldInt16(const QString& name) const
{
    const QVariant value = Fields(name);
    try {
        return CInt16(value, QStringLiteral("The value of \"%1\"").arg(name));
    } catch (const QueltError& e) {
        throw e.withContext(m_connection->file, m_sql);
    }
}

qint64 Recordset::FieldInt64(const QString& name) const
{
    const QVariant value = Fields(name);
    try {
        return CInt64(value, QStringLiteral("The value of \"%1\"").arg(name));
    } catch (const QueltError& e) {
        throw e.withContext(m_connection->file, m_sql);
    }
}

void Recordset::Close()
{
    m_query.reset();
    m_connection.reset();
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.BeginTrans();
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    try {
        m_db.Rollback();
    } catch (...) {
        // The failure that brought us here is the one worth reporting; SQLite
        // drops an unfinished transaction when the connection closes anyway.
    }
}

void Transaction::Commit()
{
    m_db.CommitTrans();
    m_open = false;
}
