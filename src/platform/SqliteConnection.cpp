#include "platform/SqliteConnection.h"

#include "platform/FilePath.h"
#include "platform/QueltError.h"
#include "platform/SqliteGuard.h"

#include <QAtomicInteger>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <algorithm>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace dbengine_detail {

namespace {

using Clock = std::chrono::steady_clock;

QAtomicInteger<quint64> g_connectionCounter;

// The action running on this thread, if any: its statements share one
// deadline.
thread_local ActionLimit t_action;

// How often, in virtual machine instructions, a running statement looks at
// the clock: often enough to stop within milliseconds, rarely enough to cost
// nothing measurable.
constexpr int kProgressInstructions = 1000;

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

QString seconds(int ms)
{
    return QString::number(ms / 1000.0);
}

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0;
}

// A file beside the database that holds something (an empty one holds nothing).
bool holdsSomething(const QByteArray& path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && st.st_size > 0;
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

class SqliteConnection final : public Connection
{
public:
    SqliteConnection(const QString& shownPath, const QByteArray& nativePath, OpenMode mode,
                     const EngineLimits& limits)
        : Connection(shownPath),
          m_name(QStringLiteral("quelt-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1)),
          m_native(nativePath), m_mode(mode), m_limits(limits)
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

    void Open()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // An explicit mode: with "rw" a file that vanished after the caller's
        // check is an error, never a new empty database.
        // Every file through the program's own file layer, which creates and
        // deletes nothing but the database's own companions.
        db.setDatabaseName(QStringLiteral("file:") +
                           QString::fromLatin1(m_native.toPercentEncoding("/")) +
                           QStringLiteral("?") + UriParameters() + QStringLiteral("&vfs=") +
                           QString::fromLatin1(GuardedFileLayer()));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_limits.busyTimeoutMs));
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
        Harden();
    }

    // The driver opens any file; only the first read finds out whether it is
    // a database, and reading changes nothing.
    void Probe()
    {
        StatementHandle probe;
        int result = prepareRaw(QByteArrayLiteral("SELECT count(*) FROM sqlite_master"), probe);
        if (result == SQLITE_OK)
            result = Step(probe.get());
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
        return RunToEnd(statement.get(), sql);
    }

    qint64 Execute(const QString& sql, const QList<StoredValue>& values) override
    {
        StatementHandle statement = prepare(sql);
        Bind(statement.get(), sql, values);
        return RunToEnd(statement.get(), sql);
    }

    // One step of a statement. `used` is the engine time the statement has
    // had so far: the limit is on the statement's whole run, not on a step.
    int Step(sqlite3_stmt* statement, Clock::duration* used = nullptr)
    {
        m_stopped = false;
        m_deadline = t_action.deadline;
        m_actionBinds = true;
        if (m_limits.statementLimitMs <= 0 && t_action.limitMs <= 0)
            return sqlite3_step(statement);
        const Clock::time_point start = Clock::now();
        if (m_limits.statementLimitMs > 0) {
            const Clock::time_point own = start +
                                          std::chrono::milliseconds(m_limits.statementLimitMs) -
                                          (used ? *used : Clock::duration{});
            if (own < m_deadline) {
                m_deadline = own;
                m_actionBinds = false;
            }
        }
        const int result = sqlite3_step(statement);
        if (used)
            *used += Clock::now() - start;
        return result;
    }

    // What the user is told the engine's failure means, where it means more
    // than "the statement was refused": each of these has its own remedy.
    QString FailedAction(const QString& usual, int code) const
    {
        const QString path = Location();
        switch (code) {
        case SQLITE_INTERRUPT:
            if (m_stopped && m_actionBinds)
                return QStringLiteral("This step was stopped because the file kept the database "
                                      "engine busy for more than %1 s in all; run quelt-db check "
                                      "on %2.")
                    .arg(seconds(t_action.limitMs), path);
            if (m_stopped)
                return QStringLiteral("This step was stopped because the file made a statement "
                                      "run for more than %1 s; run quelt-db check on %2.")
                    .arg(seconds(m_limits.statementLimitMs), path);
            break;
        case SQLITE_READONLY_ROLLBACK:
            return QStringLiteral("The file %1 cannot be read as it is: a write was interrupted; "
                                  "open the file in Quelt once to recover it, or, if you restored "
                                  "this file from a copy, delete %2-journal first.")
                .arg(path, nameOf(path));
        case SQLITE_READONLY_DIRECTORY:
            if (EngineUsesWal(m_native))
                return QStringLiteral(
                           "The file %1 is in WAL mode, in which the database engine must keep "
                           "%2-wal and %2-shm beside it even to read it, and the folder %3 "
                           "does not let it write them, so the file can be neither read nor "
                           "stored in.")
                    .arg(path, nameOf(path), FolderOf(path));
            return QStringLiteral("The folder %1 does not let the database engine write its "
                                  "journal there, so nothing can be stored in %2.")
                .arg(FolderOf(path), path);
        case SQLITE_TOOBIG:
            return QStringLiteral(
                       "A text is longer than the %1 bytes this program reads or stores. If "
                       "you typed it, shorten it; otherwise run quelt-db check on %2.")
                .arg(QLocale(QLocale::English).toString(kLongestValueBytes), path);
        default:
            break;
        }
        switch (code & 0xff) {
        case SQLITE_BUSY:
            return QStringLiteral(
                       "The database file is locked by another program and stayed locked "
                       "for the %1 seconds this program waits, so this step was not done. "
                       "Try again once the other program has finished.")
                .arg(m_limits.busyTimeoutMs / 1000.0);
        case SQLITE_READONLY:
            if (m_mode != OpenMode::ReadOnly && sqlite3_db_readonly(m_handle, "main") == 1)
                return QStringLiteral(
                           "The database file %1 is read-only, so nothing can be stored in it.")
                    .arg(path);
            break;
        case SQLITE_ERROR: {
            // A file made by other means without a table or column the
            // program needs: the check says what else is missing.
            const QString words = engineWords(m_handle);
            if (words.startsWith(QLatin1String("no such table")) ||
                words.startsWith(QLatin1String("no such column")))
                return QStringLiteral("The file %1 lacks something this step needs; run quelt-db "
                                      "check on it.")
                    .arg(path);
            break;
        }
        default:
            break;
        }
        return usual;
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
    // How the engine opens the file. Reading must change nothing: a hot
    // journal is refused rather than rolled back, and a WAL file is read
    // without writing the index file beside it.
    QString UriParameters() const
    {
        switch (m_mode) {
        case OpenMode::ReadWrite:
            return QStringLiteral("mode=rw");
        case OpenMode::Create:
            return QStringLiteral("mode=rwc");
        case OpenMode::Scratch:
            return QStringLiteral("mode=memory");
        case OpenMode::ReadOnly:
            break;
        }
        if (!EngineUsesWal(m_native))
            return QStringLiteral("mode=ro");
        if (!holdsSomething(m_native + "-wal")) {
            // Everything is in the file itself; the engine would otherwise
            // make a -wal and a -shm beside it just to find that out.
            return QStringLiteral("mode=ro&immutable=1");
        }
        if (exists(m_native + "-shm"))
            return QStringLiteral("mode=ro&readonly_shm=1");
        throw QueltError(QStringLiteral("The file %1 is in WAL mode and holds changes in %2-wal "
                                        "that are not in the file yet; reading them would write "
                                        "%2-shm beside it. Open the file in Quelt once to fold "
                                        "them in, then try again.")
                             .arg(Location(), nameOf(Location())),
                         {}, {}, Location());
    }

    // Nothing the file holds acts on this connection: no trigger fires, no
    // view is read in place of a table, functions in its schema run only if
    // harmless, the schema cannot be written, and no value or statement runs
    // past what the program can hold or wait for.
    void Harden()
    {
        const struct
        {
            int option;
            int value;
        } switches[] = {
            {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
            {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
            {SQLITE_DBCONFIG_DEFENSIVE, 1},
            {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        };
        for (const auto& s : switches) {
            int now = -1;
            if (sqlite3_db_config(m_handle, s.option, s.value, &now) != SQLITE_OK || now != s.value)
                throw QueltError(
                    QStringLiteral("The database engine did not take a safety setting (%1).")
                        .arg(s.option),
                    {}, {}, Location());
        }
        sqlite3_extended_result_codes(m_handle, 1);
        sqlite3_limit(m_handle, SQLITE_LIMIT_LENGTH, kLongestValueBytes);
        // Always: an action's limit may begin after the connection opened.
        sqlite3_progress_handler(m_handle, kProgressInstructions, &SqliteConnection::Overdue, this);
    }

    static int Overdue(void* self)
    {
        auto* connection = static_cast<SqliteConnection*>(self);
        if (Clock::now() < connection->m_deadline)
            return 0;
        connection->m_stopped = true;
        return 1;
    }

    qint64 RunToEnd(sqlite3_stmt* statement, const QString& sql)
    {
        Clock::duration used{};
        int result;
        do
            result = Step(statement, &used);
        while (result == SQLITE_ROW);
        if (result != SQLITE_DONE)
            Rejected(sql, engineWords(m_handle), result);
        return sqlite3_changes64(m_handle);
    }

    // Every value goes to the engine as the stored type and bytes it is: a
    // text is bound as text whatever its bytes, so nothing is re-encoded.
    void Bind(sqlite3_stmt* statement, const QString& sql, const QList<StoredValue>& values)
    {
        const int count = sqlite3_bind_parameter_count(statement);
        if (count != values.size())
            Rejected(sql, QStringLiteral("The statement has %1 parameters for %2 values.")
                              .arg(count)
                              .arg(values.size()));
        for (int i = 1; i <= count; ++i) {
            const StoredValue& value = values.at(i - 1);
            const int bytes = int(std::min<qsizetype>(value.bytes.size(), INT_MAX));
            int result = SQLITE_OK;
            switch (value.kind) {
            case StoredValue::Kind::Null:
                result = sqlite3_bind_null(statement, i);
                break;
            case StoredValue::Kind::Whole:
                result = sqlite3_bind_int64(statement, i, value.whole);
                break;
            case StoredValue::Kind::Real:
                result = sqlite3_bind_double(statement, i, value.real);
                break;
            case StoredValue::Kind::Text:
                result = sqlite3_bind_text(statement, i, value.bytes.constData(), bytes,
                                           SQLITE_TRANSIENT);
                break;
            case StoredValue::Kind::Bytes:
                result = sqlite3_bind_blob(statement, i, value.bytes.constData(), bytes,
                                           SQLITE_TRANSIENT);
                break;
            }
            if (result != SQLITE_OK)
                Rejected(sql, engineWords(m_handle), result);
        }
    }

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
    QByteArray m_native;
    OpenMode m_mode;
    EngineLimits m_limits;
    // The engine's handle of the open connection; it lives as long as Qt's.
    sqlite3* m_handle = nullptr;
    // When the running statement has had its time, whether that time is the
    // action's rather than the statement's own, and whether it was stopped
    // for that.
    Clock::time_point m_deadline = Clock::time_point::max();
    bool m_actionBinds = false;
    bool m_stopped = false;

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
        const int result = m_connection.Step(m_statement.get(), &m_used);
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

    StoredValue Stored(int index) const override
    {
        sqlite3_stmt* s = m_statement.get();
        StoredValue value;
        switch (sqlite3_column_type(s, index)) {
        case SQLITE_INTEGER:
            value.kind = StoredValue::Kind::Whole;
            value.whole = sqlite3_column_int64(s, index);
            break;
        case SQLITE_FLOAT:
            value.kind = StoredValue::Kind::Real;
            value.real = sqlite3_column_double(s, index);
            break;
        case SQLITE_NULL:
            break;
        case SQLITE_BLOB:
            value.kind = StoredValue::Kind::Bytes;
            value.bytes = QByteArray(static_cast<const char*>(sqlite3_column_blob(s, index)),
                                     sqlite3_column_bytes(s, index));
            break;
        default:
            value.kind = StoredValue::Kind::Text;
            value.bytes = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, index)),
                                     sqlite3_column_bytes(s, index));
        }
        return value;
    }

private:
    SqliteConnection& m_connection;
    QString m_sql;
    StatementHandle m_statement;
    QStringList m_names;
    // The engine time this statement has had over all its steps.
    Clock::duration m_used{};
};

std::unique_ptr<Cursor> SqliteConnection::Prepare(const QString& sql)
{
    return std::make_unique<SqliteCursor>(*this, sql);
}

} // namespace

ActionLimit SwapActionLimit(const ActionLimit& limit)
{
    const ActionLimit before = t_action;
    t_action = limit;
    return before;
}

std::shared_ptr<Connection> OpenSqliteFile(const QString& shownPath, const QByteArray& nativePath,
                                           OpenMode mode, const EngineLimits& limits)
{
    if (mode != OpenMode::Scratch)
        RefuseUnsafeFiles(shownPath, nativePath);
    auto connection = std::make_shared<SqliteConnection>(shownPath, nativePath, mode, limits);
    connection->Open();
    connection->Probe();
    return connection;
}

} // namespace dbengine_detail
