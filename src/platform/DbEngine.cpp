#include "platform/DbEngine.h"

#include "platform/Convert.h"
#include "platform/QueltError.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <limits>
#include <sqlite3.h>

namespace dbengine_detail {

// Owns one named Qt connection. Queries hold a share of it, so the name is
// removed only after the last query on it is gone, as Qt requires.
struct Connection
{
    QString name;
    QString file;
    // The engine's handle of the open connection; it lives as long as Qt's.
    sqlite3* handle = nullptr;

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

QString engineWords(sqlite3* handle)
{
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

// SQLite's "busy": another program held its lock on the file for longer than
// this program waits. Said as such, since the file and the statement are fine.
QString failedAction(const QString& usual, int code)
{
    if ((code & 0xff) != SQLITE_BUSY)
        return usual;
    return QStringLiteral("The database file is locked by another program and stayed locked "
                          "for the %1 seconds this program waits, so this step was not done. Try "
                          "again once the other program has finished.")
        .arg(g_busyTimeoutMs / 1000.0);
}

[[noreturn]] void rejected(const Connection& connection, const QString& sql,
                           const QString& words, int code = SQLITE_ERROR)
{
    throw QueltError(failedAction(QStringLiteral("The database engine rejected a statement."), code),
                     words, sql, connection.file);
}

// One statement made ready to run; anything but blanks after it in the text is
// refused rather than run or dropped unseen.
sqlite3_stmt* prepare(const Connection& connection, const QString& sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    const int result = sqlite3_prepare_v2(connection.handle, text.constData(),
                                          int(text.size()), &statement, &tail);
    if (result != SQLITE_OK) {
        sqlite3_finalize(statement);
        rejected(connection, sql, engineWords(connection.handle), result);
    }
    if (!statement)
        rejected(connection, sql, QStringLiteral("The statement is empty."));
    if (tail && !QByteArrayView(tail).trimmed().isEmpty()) {
        sqlite3_finalize(statement);
        rejected(connection, sql, QStringLiteral("Only one statement can run at a time."));
    }
    return statement;
}

// A column of the current row as the program reads it: whole numbers as
// 64-bit integers, text as text, null as a null text.
QVariant columnValue(sqlite3_stmt* statement, int index)
{
    switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, index));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, index)),
                                   sqlite3_column_bytes(statement, index)));
    default:
        return QVariant(QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(statement, index)),
            sqlite3_column_bytes(statement, index)));
    }
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
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !handle.data())
            throw QueltError(QStringLiteral("The database driver gives no engine handle."), {}, {},
                             path);
        connection->handle = *static_cast<sqlite3* const*>(handle.data());
    }
    // The driver opens any file; only the first read finds out whether it is
    // a database, and reading changes nothing.
    sqlite3_stmt* probe = nullptr;
    int result = sqlite3_prepare_v2(connection->handle, "SELECT count(*) FROM sqlite_master", -1,
                                    &probe, nullptr);
    if (result == SQLITE_OK)
        result = sqlite3_step(probe);
    const QString words = engineWords(connection->handle);
    sqlite3_finalize(probe);
    if (result != SQLITE_ROW)
        throw QueltError(
            failedAction(QStringLiteral("The file could not be read as a survey database."), result),
            words, {}, path);
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
    sqlite3_stmt* statement = prepare(*connection, m_sql);
    int result;
    do
        result = sqlite3_step(statement);
    while (result == SQLITE_ROW);
    if (result != SQLITE_DONE) {
        const QString words = engineWords(connection->handle);
        sqlite3_finalize(statement);
        rejected(*connection, m_sql, words, result);
    }
    sqlite3_finalize(statement);
    return sqlite3_changes(connection->handle);
}

void QueryDef::Close()
{
    m_connection.reset();
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset(std::shared_ptr<Connection> connection, const QString& sql)
    : m_connection(std::move(connection)), m_sql(sql)
{
    m_statement.reset(prepare(*m_connection, m_sql));
    if (sqlite3_column_count(m_statement.get()) == 0)
        fail(QStringLiteral("A statement that returns no rows was read as a query."));
    MoveNext();
}

Recordset::Recordset(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

void Recordset::Finalize::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

void Recordset::fail(const QString& action, const QString& engineText) const
{
    throw QueltError(action, engineText, m_sql, m_connection ? m_connection->file : QString());
}

bool Recordset::Eof() const
{
    return !m_onRow;
}

void Recordset::MoveNext()
{
    if (!m_statement)
        fail(QStringLiteral("A query was read after it had been closed."));
    // Past the last row the engine would start the query over.
    if (m_atEnd)
        return;
    const int result = sqlite3_step(m_statement.get());
    m_onRow = result == SQLITE_ROW;
    m_atEnd = !m_onRow;
    if (result != SQLITE_ROW && result != SQLITE_DONE)
        fail(failedAction(QStringLiteral("Reading the rows of a query failed."), result),
             engineWords(m_connection->handle));
}

// Names are looked up as the engine means them: without regard to case.
int Recordset::current(const QString& name) const
{
    if (Eof())
        fail(QStringLiteral("The field \"%1\" was read where there is no current row.").arg(name));
    if (m_lastIndex >= 0 && name == m_lastName)
        return m_lastIndex;
    const QByteArray wanted = name.toUtf8();
    const int columns = sqlite3_column_count(m_statement.get());
    for (int i = 0; i < columns; ++i) {
        if (sqlite3_stricmp(sqlite3_column_name(m_statement.get(), i), wanted.constData()) == 0) {
            m_lastName = name;
            m_lastIndex = i;
            return i;
        }
    }
    fail(QStringLiteral("The query gives no field named \"%1\".").arg(name));
}

QVariant Recordset::Fields(const QString& name) const
{
    return columnValue(m_statement.get(), current(name));
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
    if (sqlite3_column_type(m_statement.get(), index) == SQLITE_INTEGER) {
        const qint64 whole = sqlite3_column_int64(m_statement.get(), index);
        if (whole >= std::numeric_limits<qint16>::min() &&
            whole <= std::numeric_limits<qint16>::max())
            return qint16(whole);
    }
    const QVariant value = columnValue(m_statement.get(), index);
    try {
        return CInt16(value, QStringLiteral("The value of \"%1\"").arg(name));
    } catch (const QueltError& e) {
        throw e.withContext(m_connection->file, m_sql);
    }
}

qint64 Recordset::FieldInt64(const QString& name) const
{
    const int index = current(name);
    if (sqlite3_column_type(m_statement.get(), index) == SQLITE_INTEGER)
        return sqlite3_column_int64(m_statement.get(), index);
    const QVariant value = columnValue(m_statement.get(), index);
    try {
        return CInt64(value, QStringLiteral("The value of \"%1\"").arg(name));
    } catch (const QueltError& e) {
        throw e.withContext(m_connection->file, m_sql);
    }
}

void Recordset::Close()
{
    m_statement.reset();
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
