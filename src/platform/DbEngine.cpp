#include "platform/DbEngine.h"

#include "platform/Convert.h"
#include "platform/DbConnection.h"
#include "platform/FilePath.h"
#include "platform/PgConnection.h"
#include "platform/QueltError.h"
#include "platform/SqliteConnection.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using dbengine_detail::Connection;
using dbengine_detail::IsServerLocation;
using dbengine_detail::OpenMode;
using dbengine_detail::OpenServerDatabase;

namespace {

int g_busyTimeoutMs = 5000;
QString g_surveyDatabase = QStringLiteral("quelt.mdb");
QAtomicInteger<quint64> g_statementsSent;
int g_statementLimitMs = DBEngine::kWindowLimitMs;

dbengine_detail::EngineLimits limits()
{
    return {g_busyTimeoutMs, g_statementLimitMs};
}

// A file that is not there, said as precisely as the folder lets us.
[[noreturn]] void missing(const QFileInfo& info, const FileLocation& file)
{
    struct stat st;
    if (info.isSymLink()) {
        if (::stat(file.native.constData(), &st) != 0 && errno == ELOOP)
            throw QueltError(QStringLiteral("The database file %1 is a symbolic link that leads "
                                            "round in a loop, so there is no file to open.")
                                 .arg(file.shown),
                             {}, {}, file.shown);
        throw QueltError(QStringLiteral("The database file %1 is a symbolic link to %2, which "
                                        "does not exist.")
                             .arg(file.shown, info.symLinkTarget()),
                         {}, {}, file.shown);
    }
    throw QueltError(QStringLiteral("The database file \"%1\" was not found in the folder %2.")
                         .arg(info.fileName(), FolderOf(file.shown)),
                     {}, {}, file.shown);
}

// libpq's other form of a server's location, "host=... dbname=...", which
// may hold a password: refused without repeating it. A file of that name
// that exists is still a file.
void refuseKeywordForm(const QString& name)
{
    static const QRegularExpression keyword(
        QStringLiteral("^\\s*(host|hostaddr|port|dbname|user|password|passfile|service|"
                       "sslmode|options|application_name|connect_timeout)\\s*="));
    if (!keyword.match(name).hasMatch() || QFileInfo::exists(name))
        return;
    throw QueltError(QStringLiteral("The location is written as a server's settings (key=value), "
                                    "a form the program does not take. Name a server database "
                                    "as a URI, postgresql://user@host:port/database, and keep "
                                    "its password in ~/.pgpass."));
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

int DBEngine::StatementLimitMs()
{
    return g_statementLimitMs;
}

void DBEngine::SetStatementLimitMs(int ms)
{
    g_statementLimitMs = ms;
}

int DBEngine::LongestValueBytes()
{
    return dbengine_detail::kLongestValueBytes;
}

QString DBEngine::SurveyDatabaseName()
{
    return g_surveyDatabase;
}

void DBEngine::SetSurveyDatabaseName(const QString& location)
{
    g_surveyDatabase = location;
}

bool DBEngine::IsServer(const QString& location)
{
    return IsServerLocation(location);
}

void DBEngine::CloseIdleConnections()
{
    dbengine_detail::CloseIdleServerConnections();
}

quint64 DBEngine::StatementsSent()
{
    return g_statementsSent.loadRelaxed();
}

Database DBEngine::CreateDatabase(const QString& name)
{
    // A server database is made by its administrator; what is new there is
    // the tables, and the data layer checks that none are there yet.
    if (IsServerLocation(name))
        return Database(OpenServerDatabase(name, false, g_busyTimeoutMs, g_statementLimitMs));
    refuseKeywordForm(name);
    const QFileInfo info(name);
    const FileLocation file = LocateFile(name);
    const QString& path = file.shown;
    if (info.exists() || info.isSymLink())
        throw QueltError(QStringLiteral("The file %1 exists already; it was left as it was.").arg(path),
                         {}, {}, path);
    if (!info.absoluteDir().exists())
        throw QueltError(QStringLiteral("The folder %1 does not exist.").arg(FolderOf(path)), {},
                         {}, path);
    return Database(dbengine_detail::OpenSqliteFile(path, file.native, OpenMode::Create, limits()));
}

namespace {

std::shared_ptr<Connection> openExisting(const QString& name, OpenMode mode)
{
    refuseKeywordForm(name);
    const QFileInfo info(name);
    const FileLocation file = LocateFile(name);
    if (!info.exists())
        missing(info, file);
    return dbengine_detail::OpenSqliteFile(file.shown, file.native, mode, limits());
}

} // namespace

Database DBEngine::OpenDatabase(const QString& name)
{
    if (IsServerLocation(name))
        return Database(OpenServerDatabase(name, false, g_busyTimeoutMs, g_statementLimitMs));
    return Database(openExisting(name, OpenMode::ReadWrite));
}

// Opened read-only by the engine itself rather than through a setting on a
// writable connection: a journal left by an interrupted write is then
// reported instead of rolled into the file, which may be a restored copy.
Database DBEngine::OpenDatabaseForReading(const QString& name)
{
    if (IsServerLocation(name))
        return Database(OpenServerDatabase(name, true, g_busyTimeoutMs, g_statementLimitMs));
    return Database(openExisting(name, OpenMode::ReadOnly));
}

Database DBEngine::OpenScratchDatabase()
{
    return Database(dbengine_detail::OpenSqliteFile(QStringLiteral("a database in memory"), {},
                                                    OpenMode::Scratch, limits()));
}

// ---------------------------------------------------------------- EngineAction

EngineAction::EngineAction(int limitMs)
{
    dbengine_detail::ActionLimit limit;
    if (limitMs > 0) {
        limit.limitMs = limitMs;
        limit.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    }
    m_outer =
        std::make_unique<dbengine_detail::ActionLimit>(dbengine_detail::SwapActionLimit(limit));
    // An action within another keeps the other's deadline if that comes first.
    if (m_outer->limitMs > 0 && (limitMs <= 0 || m_outer->deadline < limit.deadline))
        dbengine_detail::SwapActionLimit(*m_outer);
}

EngineAction::~EngineAction()
{
    dbengine_detail::SwapActionLimit(*m_outer);
}

// ---------------------------------------------------------------- Database

Database::Database(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

QueryDef Database::CreateQueryDef(const QString& sql) const
{
    const std::shared_ptr<Connection> connection = requireOpen(m_connection);
    return QueryDef(connection, connection->Statement(sql));
}

qint64 Database::Execute(const QString& sql)
{
    return run(sql);
}

QList<qint64> Database::ExecuteBatch(const QStringList& statements)
{
    const std::shared_ptr<Connection> connection = requireOpen(m_connection);
    g_statementsSent.fetchAndAddRelaxed(quint64(statements.size()));
    QStringList sent;
    sent.reserve(statements.size());
    for (const QString& sql : statements)
        sent.append(connection->Statement(sql));
    return connection->ExecuteBatch(sent);
}

qint64 Database::Execute(const QString& sql, const QList<StoredValue>& values)
{
    const std::shared_ptr<Connection> connection = requireOpen(m_connection);
    g_statementsSent.fetchAndAddRelaxed(1);
    return connection->Execute(connection->Statement(sql), values);
}

qint64 Database::run(const QString& sql) const
{
    const std::shared_ptr<Connection> connection = requireOpen(m_connection);
    g_statementsSent.fetchAndAddRelaxed(1);
    return connection->Execute(connection->Statement(sql));
}

bool Database::IsServer() const
{
    return requireOpen(m_connection)->IsServer();
}

int Database::SchemaVersion() const
{
    return requireOpen(m_connection)->SchemaVersion();
}

void Database::SetSchemaVersion(int version)
{
    requireOpen(m_connection)->SetSchemaVersion(version);
}

void Database::SetStatementFilter(std::function<QString(const QString&)> filter)
{
    requireOpen(m_connection)->SetStatementFilter(std::move(filter));
}

void Database::BeginTrans()
{
    const std::shared_ptr<Connection> connection = requireOpen(m_connection);
    g_statementsSent.fetchAndAddRelaxed(1);
    connection->BeginWrite();
}

void Database::CommitTrans()
{
    const std::shared_ptr<Connection> connection = requireOpen(m_connection);
    g_statementsSent.fetchAndAddRelaxed(1);
    connection->Commit();
}

void Database::Rollback()
{
    run(QStringLiteral("ROLLBACK"));
}

void Database::Close()
{
    m_connection.reset();
}

QString Database::FileName() const
{
    return m_connection ? m_connection->Location() : QString();
}

// ---------------------------------------------------------------- QueryDef

QueryDef::QueryDef(std::shared_ptr<Connection> connection, QString sql)
    : m_connection(std::move(connection)), m_sql(std::move(sql))
{
}

Recordset QueryDef::OpenRecordset() const
{
    return Recordset(m_connection, m_sql);
}

qint64 QueryDef::Execute() const
{
    g_statementsSent.fetchAndAddRelaxed(1);
    return m_connection->Execute(m_sql);
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset(std::shared_ptr<Connection> connection, const QString& sql)
    : m_connection(std::move(connection)), m_sql(sql)
{
    g_statementsSent.fetchAndAddRelaxed(1);
    m_cursor = m_connection->Prepare(m_sql);
    if (m_cursor->ColumnNames().isEmpty())
        fail(QStringLiteral("A statement that returns no rows was read as a query."));
    MoveNext();
}

Recordset::Recordset(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

void Recordset::fail(const QString& action) const
{
    throw QueltError(action, {}, m_sql, m_connection ? m_connection->Location() : QString());
}

bool Recordset::Eof() const
{
    return !m_onRow;
}

void Recordset::MoveNext()
{
    if (!m_cursor)
        fail(QStringLiteral("A query was read after it had been closed."));
    // Past the last row the engine would start the query over.
    if (m_atEnd)
        return;
    m_onRow = false;
    m_onRow = m_cursor->Step();
    m_atEnd = !m_onRow;
}

int Recordset::current(const QString& name) const
{
    if (Eof())
        fail(QStringLiteral("The field \"%1\" was read where there is no current row.").arg(name));
    for (const auto& [known, index] : m_known)
        if (known == name)
            return index;
    const QStringList& names = m_cursor->ColumnNames();
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0) {
            m_known.append({name, i});
            return i;
        }
    }
    fail(QStringLiteral("The query gives no field named \"%1\".").arg(name));
}

QVariant Recordset::Fields(const QString& name) const
{
    return m_cursor->Value(current(name));
}

QString Recordset::FieldText(const QString& name) const
{
    return CText(Fields(name));
}

// A stored whole number in range is taken as it is; anything else goes through
// the conversion that words its failure.
qint16 Recordset::FieldInt16(const QString& name) const
{
    const int index = current(name);
    if (const std::optional<qint64> whole = m_cursor->WholeNumber(index);
        whole && *whole >= std::numeric_limits<qint16>::min() &&
        *whole <= std::numeric_limits<qint16>::max())
        return qint16(*whole);
    try {
        return CInt16(m_cursor->Value(index), QStringLiteral("The value of \"%1\"").arg(name));
    } catch (const QueltError& e) {
        throw e.withContext(m_connection->Location(), m_sql);
    }
}

qint64 Recordset::FieldInt64(const QString& name) const
{
    const int index = current(name);
    if (const std::optional<qint64> whole = m_cursor->WholeNumber(index))
        return *whole;
    try {
        return CInt64(m_cursor->Value(index), QStringLiteral("The value of \"%1\"").arg(name));
    } catch (const QueltError& e) {
        throw e.withContext(m_connection->Location(), m_sql);
    }
}

StoredValue Recordset::FieldStored(const QString& name) const
{
    return m_cursor->Stored(current(name));
}

void Recordset::Close()
{
    m_cursor.reset();
    m_onRow = false;
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
        // The failure that brought us here is the one worth reporting; the
        // engine drops an unfinished transaction when the connection closes
        // anyway (a server also when the connection was lost).
    }
}

void Transaction::Commit()
{
    m_db.CommitTrans();
    m_open = false;
}

ReadTransaction::ReadTransaction(const Database& db) : m_db(db)
{
    m_db.run(requireOpen(m_db.m_connection)->BeginRead());
}

ReadTransaction::~ReadTransaction()
{
    if (!m_open)
        return;
    try {
        m_db.run(QStringLiteral("ROLLBACK"));
    } catch (...) {
        // Nothing was written; closing the connection ends it as well.
    }
}

void ReadTransaction::Commit()
{
    m_db.run(QStringLiteral("COMMIT"));
    m_open = false;
}
