#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

// The database engine as the windows use it: open a file, make a temporary
// query from a statement, read its rows or execute it, close. Every object
// lets go of what it holds when it goes out of scope, so a handler that
// stops at a failure leaves no connection behind. Every failure throws
// QueltError naming the file and the engine's words.
//
// Qt SQL opens and closes the file; statements run on the engine's own
// interface under that connection, since Qt's query objects cost a result
// object, a record of the columns and a cache of every row
// (bench/results.md has the figures).

namespace dbengine_detail {
class Connection;
class Cursor;
struct ActionLimit;
} // namespace dbengine_detail

// A value exactly as the database holds it, to be carried elsewhere as it is:
// a text keeps its bytes whether or not they are valid UTF-8, and a number
// keeps whether it was stored as a whole number, a real or a text.
struct StoredValue
{
    enum class Kind { Null, Whole, Real, Text, Bytes };
    Kind kind = Kind::Null;
    qint64 whole = 0;
    double real = 0;
    // Text: the stored bytes, meant as UTF-8; Bytes: a blob.
    QByteArray bytes;
};

class Recordset
{
public:
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) = delete;
    ~Recordset();

    // True when there is no current row. (The engine's own name, EOF, is a
    // macro of the C library.)
    bool Eof() const;
    void MoveNext();

    // The current row's value of a column or alias, looked up by name without
    // regard to case.
    QVariant Fields(const QString& name) const;
    // The same, turned into display text (null empty, blanks removed).
    QString FieldText(const QString& name) const;
    // The same, as a signed 16-bit whole number; anything else is an error.
    qint16 FieldInt16(const QString& name) const;
    // The same, as a whole number without the 16-bit limit.
    qint64 FieldInt64(const QString& name) const;
    // The same exactly as stored, nothing converted or replaced.
    StoredValue FieldStored(const QString& name) const;

    // Lets go of the statement before the recordset goes out of scope.
    void Close();

private:
    friend class QueryDef;
    Recordset(std::shared_ptr<dbengine_detail::Connection> connection, const QString& sql);
    [[noreturn]] void fail(const QString& action) const;

    // The column of the current row a field name stands for.
    int current(const QString& name) const;

    std::shared_ptr<dbengine_detail::Connection> m_connection;
    // Declared after the connection, so it goes first: a connection cannot
    // close over a live statement.
    std::unique_ptr<dbengine_detail::Cursor> m_cursor;
    bool m_onRow = false;
    bool m_atEnd = false;
    // The fields asked for so far and their columns, as a loop over the rows
    // asks for the same ones at every row.
    mutable QList<QPair<QString, int>> m_known;
    QString m_sql;
};

class QueryDef
{
public:
    // The rows of a SELECT, positioned on the first one.
    Recordset OpenRecordset() const;
    // Runs a statement that returns no rows; gives the number of rows changed.
    qint64 Execute() const;

    const QString& SQL() const { return m_sql; }

private:
    friend class Database;
    QueryDef(std::shared_ptr<dbengine_detail::Connection> connection, QString sql);

    std::shared_ptr<dbengine_detail::Connection> m_connection;
    QString m_sql;
};

class Database
{
public:
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    ~Database();

    QueryDef CreateQueryDef(const QString& sql) const;
    // Shorthand for CreateQueryDef(sql).Execute().
    qint64 Execute(const QString& sql);
    // Runs a statement that returns no rows with `values` bound to its
    // parameters in order (? on a file, $1, $2, ... on a server), so that no
    // value is ever part of the statement's text; gives the number of rows
    // changed.
    qint64 Execute(const QString& sql, const QList<StoredValue>& values);
    // Runs statements that return no rows, in order; gives the number of rows
    // each changed. A server gets them together, in one round trip rather
    // than one each. The first that fails throws, and none after it runs.
    QList<qint64> ExecuteBatch(const QStringList& statements);

    // A batch of writes. BEGIN IMMEDIATE takes the write lock at once (waiting
    // through the busy timeout), so a transaction that reads before it writes
    // never fails half way because another copy of the program writes.
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    // Lets go of the file before the object goes out of scope.
    void Close();
    bool IsOpen() const { return m_connection != nullptr; }
    // Absolute path of the file; for a server, postgresql://host:port/database.
    QString FileName() const;
    // Whether this is a database server rather than a file: where the
    // dialect or the cost of a round trip differs, the data layer asks.
    bool IsServer() const;
    // The version of the program's own objects found in the database, for
    // the layer that opened it to decide how it writes; 0 unless set.
    int SchemaVersion() const;
    void SetSchemaVersion(int version);
    // A function every statement passes through on its way to the engine,
    // set by the layer that opened the database: there a server's
    // statements get the schema of their tables named. None unless set.
    void SetStatementFilter(std::function<QString(const QString&)> filter);

private:
    friend class DBEngine;
    friend class ReadTransaction;
    explicit Database(std::shared_ptr<dbengine_detail::Connection> connection);
    qint64 run(const QString& sql) const;

    std::shared_ptr<dbengine_detail::Connection> m_connection;
};

// Rolls back unless committed: a handler that stops at a failure stores none
// of its batch.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Database& m_db;
    bool m_open = true;
};

// Several reads that see one state of the file, even while another copy of
// the program writes between them. Deferred, so it takes no write lock and
// writes nothing.
class ReadTransaction
{
public:
    explicit ReadTransaction(const Database& db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;
    void Commit();

private:
    const Database& m_db;
    bool m_open = true;
};

// A database's location is a file path or a libpq URI of a server database
// ("postgresql://user@host:port/database?options", "postgres://...",
// "postgresql:///?service=name"); everything below takes either.
class DBEngine
{
public:
    // Opens an existing database file for reading and writing. A missing file
    // is an error (never created), and so is a file that is not a database
    // (left untouched). A server that cannot be reached, or refuses the
    // login, is an error naming host:port/database.
    static Database OpenDatabase(const QString& name);
    // The same for commands that only read: the engine opens the file
    // read-only, so no byte of it or of the files beside it changes.
    static Database OpenDatabaseForReading(const QString& name);
    // Makes a new, empty database file; an existing file is an error and is
    // left as it was. On a server, connects to the existing database.
    static Database CreateDatabase(const QString& name);
    // A new, empty database in memory, on which nothing is stored anywhere:
    // for trying statements on a copy of a file's tables.
    static Database OpenScratchDatabase();
    static bool IsServer(const QString& location);

    // How long a statement waits for another program's lock before failing.
    static int BusyTimeoutMs();
    static void SetBusyTimeoutMs(int ms);

    // How long one statement may keep the engine busy before it is stopped
    // and reported (10 s unless set; 0 for no limit). A file made by other
    // means can make a statement run for hours; this stops it while the
    // window can still be used and closed.
    static int StatementLimitMs();
    static void SetStatementLimitMs(int ms);

    // The windows' limit, for an action of quelt-db's that must answer as
    // a window does whatever the file (EngineAction).
    static constexpr int kWindowLimitMs = 10000;

    // The longest text or value a connection reads or stores, in bytes.
    static int LongestValueBytes();

    // The database every window works on: quelt.mdb in the current folder
    // unless the program was started with another location.
    static QString SurveyDatabaseName();
    static void SetSurveyDatabaseName(const QString& location);

    // A server connection let go of is kept for a few seconds for the next
    // opening of the same database: this closes those kept, so that the next
    // opening logs in afresh.
    static void CloseIdleConnections();

    // How many statements this process has sent to any database, for tests
    // and benchmarks that count round trips.
    static quint64 StatementsSent();
};

// One action of several statements, such as a click that reads a whole grid:
// while it lives, the statements of this thread share one time limit,
// counted from its start, as well as each having its own. A file that keeps
// every statement just inside the limit still cannot keep the action busy
// for longer. 0 ms: no limit of its own (an enclosing action's still holds).
class EngineAction
{
public:
    explicit EngineAction(int limitMs = DBEngine::StatementLimitMs());
    ~EngineAction();
    EngineAction(const EngineAction&) = delete;
    EngineAction& operator=(const EngineAction&) = delete;

private:
    // What held before, put back at the end.
    std::unique_ptr<dbengine_detail::ActionLimit> m_outer;
};
