#include "platform/SqliteConnection.h"

#include "platform/QueltError.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <sqlite3.h>

namespace dbengine_detail {

namespace {

QAtomicInteger<quint64> g_connectionCounter;

struct Finalize
{
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// One prepared statement, finalized however the code that made it ends: the
// connection cannot close over a live statement.
using StatementHandle = std::unique_ptr<sqlite3_stmt, Finalize>;

QString engineWords(sqlite3* handle)
{
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

class SqliteConnection final : public Connection
{
public:
    SqliteConnection(const QString& path, int busyTimeoutMs)
        : Connection(path),
          m_name(QStringLiteral("quelt-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1)),
          m_busyTimeoutMs(busyTimeoutMs)
    {
    }

    // Qt requires every query on a named connection to be gone before the name
    // is removed; statements here are the engine's own, finalized before this.
    ~SqliteConnection() override
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    void Open(const QString& mode)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // An explicit mode: with "rw" a file that vanished after the caller's
        // check is an error, never a new empty database.
        db.setDatabaseName(QStringLiteral("file:") +
                           QString::fromLatin1(QUrl::toPercentEncoding(Location(), "/")) +
                           QStringLiteral("?mode=") + mode);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
        if (!db.open()) {
            QString words = db.lastError().databaseText();
            if (words.isEmpty())
                words = db.lastError().driverText();
            throw QueltError(QStringLiteral("The database file could not be opened."), words, {},
                             Location());
        }
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !handle.data())
            throw QueltError(QStringLiteral("The database driver gives no engine handle."), {}, {},
                             Location());
        m_handle = *static_cast<sqlite3* const*>(handle.data());
    }

    // The driver opens any file; only the first read finds out whether it is
    // a database, and reading changes nothing.
    void Probe()
    {
        StatementHandle probe;
        int result = prepareRaw(QByteArrayLiteral("SELECT count(*) FROM sqlite_master"), probe);
        if (result == SQLITE_OK)
            result = sqlite3_step(probe.get());
        if (result != SQLITE_ROW)
            throw QueltError(
                FailedAction(QStringLiteral("The file could not be read as a survey database."),
                             result),
                engineWords(m_handle), {}, Location());
    }

    std::unique_ptr<Cursor> Prepare(const QString& sql) override;

    qint64 Execute(const QString& sql) override
    {
        StatementHandle statement = prepare(sql);
        int result;
        do
            result = sqlite3_step(statement.get());
        while (result == SQLITE_ROW);
        if (result != SQLITE_DONE)
            Rejected(sql, engineWords(m_handle), result);
        return sqlite3_changes64(m_handle);
    }

    // SQLite's "busy": another program held its lock on the file for longer
    // than this program waits. Said as such, since the file and the statement
    // are fine.
    QString FailedAction(const QString& usual, int code) const
    {
        if ((code & 0xff) != SQLITE_BUSY)
            return usual;
        return QStringLiteral("The database file is locked by another program and stayed locked "
                              "for the %1 seconds this program waits, so this step was not done. "
                              "Try again once the other program has finished.")
            .arg(m_busyTimeoutMs / 1000.0);
    }

    [[noreturn]] void Rejected(const QString& sql, const QString& words,
                               int code = SQLITE_ERROR) const
    {
        throw QueltError(
            FailedAction(QStringLiteral("The database engine rejected a statement."), code), words,
            sql, Location());
    }

    sqlite3* Handle() const { return m_handle; }

private:
    int prepareRaw(const QByteArray& text, StatementHandle& statement, const char** tail = nullptr)
    {
        sqlite3_stmt* raw = nullptr;
        const int result =
            sqlite3_prepare_v2(m_handle, text.constData(), int(text.size()), &raw, tail);
        statement.reset(raw);
        return result;
    }

    // One statement made ready to run; anything but blanks after it in the
    // text is refused rather than run or dropped unseen.
    StatementHandle prepare(const QString& sql)
    {
        const QByteArray text = sql.toUtf8();
        StatementHandle statement;
        const char* tail = nullptr;
        const int result = prepareRaw(text, statement, &tail);
        if (result != SQLITE_OK)
            Rejected(sql, engineWords(m_handle), result);
        if (!statement)
            Rejected(sql, QStringLiteral("The statement is empty."));
        if (tail && !QByteArrayView(tail).trimmed().isEmpty())
            Rejected(sql, QStringLiteral("Only one statement can run at a time."));
        return statement;
    }

    QString m_name;
    int m_busyTimeoutMs;
    // The engine's handle of the open connection; it lives as long as Qt's.
    sqlite3* m_handle = nullptr;

    friend class SqliteCursor;
};

class SqliteCursor final : public Cursor
{
public:
    SqliteCursor(SqliteConnection& connection, const QString& sql)
        : m_connection(connection), m_sql(sql), m_statement(connection.prepare(sql))
    {
        const int columns = sqlite3_column_count(m_statement.get());
        for (int i = 0; i < columns; ++i)
            m_names.append(QString::fromUtf8(sqlite3_column_name(m_statement.get(), i)));
    }

    bool Step() override
    {
        const int result = sqlite3_step(m_statement.get());
        if (result == SQLITE_ROW)
            return true;
        if (result != SQLITE_DONE)
            throw QueltError(m_connection.FailedAction(
                                 QStringLiteral("Reading the rows of a query failed."), result),
                             engineWords(m_connection.Handle()), m_sql, m_connection.Location());
        return false;
    }

    const QStringList& ColumnNames() const override { return m_names; }

    QVariant Value(int index) const override
    {
        sqlite3_stmt* s = m_statement.get();
        switch (sqlite3_column_type(s, index)) {
        case SQLITE_INTEGER:
            return QVariant(qlonglong(sqlite3_column_int64(s, index)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(s, index));
        case SQLITE_NULL:
            return QVariant(QMetaType::fromType<QString>());
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(s, index)),
                                       sqlite3_column_bytes(s, index)));
        default:
            return QVariant(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, index)),
                                  sqlite3_column_bytes(s, index)));
        }
    }

    std::optional<qint64> WholeNumber(int index) const override
    {
        if (sqlite3_column_type(m_statement.get(), index) != SQLITE_INTEGER)
            return std::nullopt;
        return sqlite3_column_int64(m_statement.get(), index);
    }

private:
    SqliteConnection& m_connection;
    QString m_sql;
    StatementHandle m_statement;
    QStringList m_names;
};

std::unique_ptr<Cursor> SqliteConnection::Prepare(const QString& sql)
{
    return std::make_unique<SqliteCursor>(*this, sql);
}

} // namespace

std::shared_ptr<Connection> OpenSqliteFile(const QString& absolutePath, const QString& mode,
                                           int busyTimeoutMs)
{
    auto connection = std::make_shared<SqliteConnection>(absolutePath, busyTimeoutMs);
    connection->Open(mode);
    connection->Probe();
    return connection;
}

} // namespace dbengine_detail
