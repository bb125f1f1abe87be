#include "platform/DbEngine.h"

#include "platform/Convert.h"
#include "platform/DbConnection.h"
#include "platform/QueltError.h"
#include "platform/SqliteConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using dbengine_detail::Connection;
using dbengine_detail::OpenMode;

namespace {

int g_busyTimeoutMs = 5000;
int g_statementLimitMs = 10000;

dbengine_detail::EngineLimits limits()
{
    return {g_busyTimeoutMs, g_statementLimitMs};
}

// A file as the operating system names it and as the user is shown it.
struct FileLocation
{
    QString shown;
    QByteArray native;
};

// Bytes that are not UTF-8 cannot pass through a QString unchanged; they are
// shown as \xNN, so the user still sees which folder is meant.
QString shownBytes(const QByteArray& bytes)
{
    QString shown;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // One character: a lead byte and the continuation bytes after it.
        qsizetype end = at + 1;
        while (end < bytes.size() && (uchar(bytes.at(end)) & 0xC0) == 0x80)
            ++end;
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString piece = decode(QByteArrayView(bytes).sliced(at, end - at));
        if (decode.hasError()) {
            for (qsizetype i = at; i < end; ++i)
                shown += QStringLiteral("\\x%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0'));
        } else {
            shown += piece;
        }
        at = end;
    }
    return shown;
}

// A name relative to the current folder is made absolute from the folder's
// own bytes: a folder whose name is not UTF-8 would not survive a QString.
FileLocation locate(const QString& name)
{
    const QFileInfo info(name);
    QByteArray native = QFile::encodeName(name);
    if (info.isRelative()) {
        QByteArray folder(PATH_MAX, '\0');
        if (::getcwd(folder.data(), size_t(folder.size())))
            native = folder.left(qsizetype(std::strlen(folder.constData()))) + '/' + native;
        else
            native = QFile::encodeName(info.absoluteFilePath());
    }
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decode(native);
    return {decode.hasError() ? shownBytes(native) : info.absoluteFilePath(), native};
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
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
                         .arg(info.fileName(), folderOf(file.shown)),
                     {}, {}, file.shown);
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
    return QStringLiteral("quelt.mdb");
}

Database DBEngine::CreateDatabase(const QString& name)
{
    const QFileInfo info(name);
    const FileLocation file = locate(name);
    const QString& path = file.shown;
    if (info.exists() || info.isSymLink())
        throw QueltError(QStringLiteral("The file %1 exists already; it was left as it was.").arg(path),
                         {}, {}, path);
    if (!info.absoluteDir().exists())
        throw QueltError(QStringLiteral("The folder %1 does not exist.").arg(folderOf(path)), {},
                         {}, path);
    return Database(dbengine_detail::OpenSqliteFile(path, file.native, OpenMode::Create, limits()));
}

namespace {

std::shared_ptr<Connection> openExisting(const QString& name, OpenMode mode)
{
    const QFileInfo info(name);
    const FileLocation file = locate(name);
    if (!info.exists())
        missing(info, file);
    if (info.isDir())
        throw QueltError(QStringLiteral("\"%1\" is a folder, not a database file.").arg(file.shown),
                         {}, {}, file.shown);
    return dbengine_detail::OpenSqliteFile(file.shown, file.native, mode, limits());
}

} // namespace

Database DBEngine::OpenDatabase(const QString& name)
{
    return Database(openExisting(name, OpenMode::ReadWrite));
}

// Opened read-only by the engine itself rather than through a setting on a
// writable connection: a journal left by an interrupted write is then
// reported instead of rolled into the file, which may be a restored copy.
Database DBEngine::OpenDatabaseForReading(const QString& name)
{
    return Database(openExisting(name, OpenMode::ReadOnly));
}

// ---------------------------------------------------------------- Database

Database::Database(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

QueryDef Database::CreateQueryDef(const QString& sql) const
{
    return QueryDef(requireOpen(m_connection), sql);
}

qint64 Database::Execute(const QString& sql)
{
    return run(sql);
}

qint64 Database::run(const QString& sql) const
{
    return requireOpen(m_connection)->Execute(sql);
}

void Database::BeginTrans()
{
    run(QStringLiteral("BEGIN IMMEDIATE"));
}

void Database::CommitTrans()
{
    run(QStringLiteral("COMMIT"));
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
    return m_connection->Execute(m_sql);
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset(std::shared_ptr<Connection> connection, const QString& sql)
    : m_connection(std::move(connection)), m_sql(sql)
{
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
    if (m_lastIndex >= 0 && name == m_lastName)
        return m_lastIndex;
    const QStringList& names = m_cursor->ColumnNames();
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0) {
            m_lastName = name;
            m_lastIndex = i;
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
        // The failure that brought us here is the one worth reporting; SQLite
        // drops an unfinished transaction when the connection closes anyway.
    }
}

void Transaction::Commit()
{
    m_db.CommitTrans();
    m_open = false;
}

ReadTransaction::ReadTransaction(const Database& db) : m_db(db)
{
    m_db.run(QStringLiteral("BEGIN"));
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
