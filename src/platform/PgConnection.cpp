#include "platform/PgConnection.h"

#include "platform/QueltError.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <dlfcn.h>
#include <libpq-fe.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbengine_detail {

namespace {

QAtomicInteger<quint64> g_serverConnectionCounter;

// libpq is loaded with the first server location, not with the program:
// linked in, it and the libraries it brings (TLS, Kerberos, LDAP, some 25 in
// all) cost every start of either program 2.7 ms, file or server. Qt's
// driver loads the same library when it connects.
#define QUELT_LIBPQ_FUNCTIONS(X)                                                                   \
    X(PQbackendPID)                                                                                \
    X(PQclear)                                                                                     \
    X(PQcmdTuples)                                                                                 \
    X(PQconsumeInput)                                                                              \
    X(PQconninfoFree)                                                                              \
    X(PQconninfoParse)                                                                             \
    X(PQdb)                                                                                        \
    X(PQenterPipelineMode)                                                                         \
    X(PQerrorMessage)                                                                              \
    X(PQexitPipelineMode)                                                                          \
    X(PQflush)                                                                                     \
    X(PQfname)                                                                                     \
    X(PQfreemem)                                                                                   \
    X(PQftype)                                                                                     \
    X(PQgetResult)                                                                                 \
    X(PQgetisnull)                                                                                 \
    X(PQgetlength)                                                                                 \
    X(PQgetvalue)                                                                                  \
    X(PQhost)                                                                                      \
    X(PQisBusy)                                                                                    \
    X(PQnfields)                                                                                   \
    X(PQntuples)                                                                                   \
    X(PQpipelineSync)                                                                              \
    X(PQport)                                                                                      \
    X(PQresultErrorField)                                                                          \
    X(PQresultErrorMessage)                                                                        \
    X(PQresultStatus)                                                                              \
    X(PQsendQueryParams)                                                                           \
    X(PQsetNoticeProcessor)                                                                        \
    X(PQsetnonblocking)                                                                            \
    X(PQsocket)                                                                                    \
    X(PQstatus)                                                                                    \
    X(PQtransactionStatus)

struct LibPq
{
#define QUELT_LIBPQ_POINTER(name) decltype(&::name) name = nullptr;
    QUELT_LIBPQ_FUNCTIONS(QUELT_LIBPQ_POINTER)
#undef QUELT_LIBPQ_POINTER
};

// A failed load throws, and the next server location tries again.
const LibPq& Pq()
{
    static const LibPq loaded = [] {
        constexpr char kLibrary[] = "libpq.so.5";
        void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        const auto missing = [](const char* what) {
            return QueltError(QStringLiteral("This installation cannot load the library for "
                                             "database servers (Debian package libpq5)."),
                              QString::fromLocal8Bit(what));
        };
        if (!library)
            throw missing(dlerror());
        LibPq lib;
#define QUELT_LIBPQ_RESOLVE(name)                                                                  \
    lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(library, #name));                        \
    if (!lib.name)                                                                                 \
        throw missing(#name);
        QUELT_LIBPQ_FUNCTIONS(QUELT_LIBPQ_RESOLVE)
#undef QUELT_LIBPQ_RESOLVE
        return lib;
    }();
    return loaded;
}

// Type numbers of the server's catalogue (pg_type.oid) the cursor converts.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

// How many statements of a batch go to the server in one round trip: their
// results (some 40 bytes each) stay far below what a socket buffers, so
// neither side can wait on the other while both are writing.
constexpr qsizetype kStatementsPerTrip = 64;

// A server that does not answer is given up after this long, rather than
// leaving a window frozen until the operating system gives up.
constexpr int kConnectTimeoutS = 10;

// How long the server is given to end a session that was given up with its
// COMMIT unanswered, before the outcome is told as not known.
constexpr int kEndSessionMs = 2000;

const QString kPasswordHelp = QStringLiteral(
    "The database server asks for a password, and none was given. Put it in the file "
    "~/.pgpass (or the file the environment variable PGPASSFILE names), in a service file "
    "(~/.pg_service.conf), or in the environment variable PGPASSWORD; a password never goes "
    "into the location.");

struct ClearResult
{
    void operator()(PGresult* result) const { Pq().PQclear(result); }
};
using ResultHandle = std::unique_ptr<PGresult, ClearResult>;

struct FreeOptions
{
    void operator()(PQconninfoOption* options) const { Pq().PQconninfoFree(options); }
};

// Notices (a cascade, an index that exists already) are the server talking
// to a person at a console; the program has nobody to tell.
void dropNotice(void*, const char*) {}

QString words(const char* text)
{
    return QString::fromUtf8(text).trimmed();
}

// libpq's keyword = 'value' form, as Qt's driver passes its connect options
// on: quotes and backslashes escaped.
QString quotedValue(const QString& value)
{
    QString quoted = value;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + quoted + u'\'';
}

// What a message calls the server: host:port/database as far as the
// location and the environment tell before a connection exists.
QString serverName(const QMap<QString, QString>& options)
{
    const auto pick = [&](const char* key, const char* variable, const QString& fallback) {
        const QString given = options.value(QLatin1String(key));
        if (!given.isEmpty())
            return given;
        const QString fromEnvironment = qEnvironmentVariable(variable);
        return fromEnvironment.isEmpty() ? fallback : fromEnvironment;
    };
    const QString service = options.value(QStringLiteral("service"));
    QString host = pick("host", "PGHOST", QString());
    if (host.isEmpty())
        host = pick("hostaddr", "PGHOSTADDR", QString());
    QString database = pick("dbname", "PGDATABASE", QString());
    if (!service.isEmpty() && (host.isEmpty() || database.isEmpty()))
        return QStringLiteral("service %1").arg(service);
    if (host.isEmpty())
        host = QStringLiteral("local socket");
    if (database.isEmpty())
        database = pick("user", "PGUSER", qEnvironmentVariable("USER"));
    return QStringLiteral("%1:%2/%3")
        .arg(host, pick("port", "PGPORT", QStringLiteral("5432")), database);
}

// Who a message says is logging in: the location's user, or libpq's default.
QString loginName(const QMap<QString, QString>& options)
{
    QString user = options.value(QStringLiteral("user"));
    if (user.isEmpty())
        user = qEnvironmentVariable("PGUSER");
    return user.isEmpty() ? qEnvironmentVariable("USER") : user;
}

// libpq leaves a password file alone, with a warning on standard error only,
// when others may read it. The files it would have read, in its order.
QString ignoredPasswordFile(const QMap<QString, QString>& options)
{
    QStringList candidates;
    if (const QString given = options.value(QStringLiteral("passfile")); !given.isEmpty())
        candidates.append(given);
    else if (const QString named = qEnvironmentVariable("PGPASSFILE"); !named.isEmpty())
        candidates.append(named);
    else {
        if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_dir)
            candidates.append(QString::fromLocal8Bit(account->pw_dir) + QStringLiteral("/.pgpass"));
        candidates.append(qEnvironmentVariable("HOME") + QStringLiteral("/.pgpass"));
    }
    for (const QString& file : candidates) {
        struct stat st;
        if (::stat(QFile::encodeName(file).constData(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode) && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0)
            return {};
        return QStringLiteral(
                   "The database server asks for a password, and none was given: the file %1 is "
                   "there, but it is ignored because %2 (its mode is %3). Make it the owner's "
                   "alone with: chmod 600 %1")
            .arg(file,
                 S_ISREG(st.st_mode) ? QStringLiteral("others may read it")
                                     : QStringLiteral("it is not a plain file"),
                 QStringLiteral("0%1").arg(st.st_mode & 07777, 3, 8, QLatin1Char('0')));
    }
    return {};
}

// What a refused or failed connection was, in the words of what happened.
QString connectFailure(const QString& said, const QMap<QString, QString>& options)
{
    const QString login = loginName(options);
    if (said.contains(QLatin1String("no password supplied"))) {
        const QString ignored = ignoredPasswordFile(options);
        return ignored.isEmpty() ? kPasswordHelp : ignored;
    }
    if (said.contains(QLatin1String("password authentication failed")))
        return QStringLiteral("The database server refused the password given for the login %1. "
                              "Check the line for it in ~/.pgpass (or the service file, or "
                              "PGPASSWORD).")
            .arg(login);
    if (said.contains(QLatin1String("no pg_hba.conf entry")))
        return QStringLiteral("The database server does not let the login %1 in from this "
                              "computer: its administrator allows it in the server's "
                              "pg_hba.conf.")
            .arg(login);
    if (said.contains(QLatin1String("role \"")) && said.contains(QLatin1String("does not exist")))
        return QStringLiteral("The database server has no login %1.").arg(login);
    if (said.contains(QLatin1String("database \"")) &&
        said.contains(QLatin1String("does not exist")))
        return QStringLiteral("The database server has no database of that name.");
    if (said.contains(QLatin1String("FATAL")))
        return QStringLiteral("The database server refused the connection.");
    return QStringLiteral("The database server could not be reached.");
}

// Whoever holds locks in the database that a statement of ours could wait
// on: a table's stronger locks, advisory locks (another desktop storing a
// survey number), or a transaction left open (row locks). Asked after the
// wait has failed, so it may name one holder more than the one waited for.
const QString kLockHolders = QStringLiteral(
    "SELECT DISTINCT a.usename::text AS login, a.application_name AS program "
    "FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
    "WHERE l.granted AND l.pid <> pg_backend_pid() AND a.datname = current_database() "
    "AND (l.locktype = 'advisory' OR a.state = 'idle in transaction' OR "
    "(l.locktype = 'relation' AND l.mode IN ('ShareLock', 'ShareRowExclusiveLock', "
    "'ExclusiveLock', 'AccessExclusiveLock'))) ORDER BY 1, 2");

// A connection to the server: Qt's, and libpq's handle under it.
struct Session
{
    QString qtName;
    PGconn* conn = nullptr;
    int backendPid = 0;
    QString location;
};

void closeSession(const Session& session)
{
    {
        QSqlDatabase db = QSqlDatabase::database(session.qtName, false);
        if (db.isOpen())
            db.close();
    }
    if (QSqlDatabase::contains(session.qtName))
        QSqlDatabase::removeDatabase(session.qtName);
}

// A connection let go of is kept for a few seconds, for the next handler
// that opens the same database the same way: a window's steps follow one
// another closely, and each connection costs a login (the server starts a
// process for it) and that process's first reads of the catalogue, several
// times a whole Submit. One per location, settings and thread (Qt's
// connections belong to the thread that made them).
constexpr qint64 kKeepIdleMs = 10000;

struct IdleSession
{
    Session session;
    QElapsedTimer since;
};

QHash<QString, IdleSession>& idleSessions()
{
    static QHash<QString, IdleSession> idle;
    return idle;
}

// Each thread takes and keeps only its own, but they share the list.
QMutex g_idleLock;

// This thread's kept connections; another thread's are that thread's to close.
void closeIdleSessions()
{
    const QString thread = u'|' + QString::number(quintptr(QThread::currentThread()));
    QList<Session> mine;
    {
        const QMutexLocker locked(&g_idleLock);
        for (auto it = idleSessions().begin(); it != idleSessions().end();) {
            if (it.key().endsWith(thread)) {
                mine.append(it->session);
                it = idleSessions().erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const Session& session : mine)
        closeSession(session);
}

QString poolKey(const QString& connectOptions)
{
    // Passwords from the environment or a file name count: a changed one
    // must log in again.
    return QStringLiteral("%1|%2|%3|%4")
        .arg(connectOptions, qEnvironmentVariable("PGPASSWORD"), qEnvironmentVariable("PGPASSFILE"))
        .arg(quintptr(QThread::currentThread()));
}

void keepIdle(const QString& key, const Session& session)
{
    const QMutexLocker locked(&g_idleLock);
    static const bool registered = [] {
        // Qt's drivers must close before the application object goes.
        qAddPostRoutine(closeIdleSessions);
        return true;
    }();
    Q_UNUSED(registered);
    if (const auto kept = idleSessions().find(key); kept != idleSessions().end()) {
        closeSession(kept->session);
        idleSessions().erase(kept);
    }
    IdleSession idle{session, {}};
    idle.since.start();
    idleSessions().insert(key, idle);
}

// A kept connection, if it is still fresh and sound: a server that ended
// it meanwhile has said so on the socket.
std::optional<Session> takeIdle(const QString& key)
{
    IdleSession idle;
    {
        const QMutexLocker locked(&g_idleLock);
        const auto kept = idleSessions().find(key);
        if (kept == idleSessions().end())
            return std::nullopt;
        idle = *kept;
        idleSessions().erase(kept);
    }
    pollfd probe{Pq().PQsocket(idle.session.conn), POLLIN, 0};
    const bool spoke = probe.fd >= 0 && ::poll(&probe, 1, 0) > 0;
    if (idle.since.elapsed() > kKeepIdleMs || probe.fd < 0 ||
        (spoke && Pq().PQconsumeInput(idle.session.conn) != 1) ||
        Pq().PQstatus(idle.session.conn) != CONNECTION_OK ||
        Pq().PQtransactionStatus(idle.session.conn) != PQTRANS_IDLE) {
        closeSession(idle.session);
        return std::nullopt;
    }
    return idle.session;
}

class PgConnection final : public Connection
{
public:
    PgConnection(const QString& name, QString connectOptions, QMap<QString, QString> options,
                 int answerLimitMs, QString poolKey = {})
        : Connection(QStringLiteral("postgresql://") + name),
          m_qtName(QStringLiteral("quelt-server-%1")
                       .arg(g_serverConnectionCounter.fetchAndAddRelaxed(1) + 1)),
          m_name(name), m_connectOptions(std::move(connectOptions)), m_options(std::move(options)),
          m_answerLimitMs(answerLimitMs), m_poolKey(std::move(poolKey))
    {
    }

    ~PgConnection() override
    {
        if (m_conn && !m_poolKey.isEmpty() && Pq().PQstatus(m_conn) == CONNECTION_OK &&
            Pq().PQtransactionStatus(m_conn) == PQTRANS_IDLE) {
            keepIdle(m_poolKey, {m_qtName, m_conn, m_backendPid, Location()});
            return;
        }
        Close();
    }

    // Carries on with a connection kept from before.
    void Resume(const Session& session)
    {
        m_qtName = session.qtName;
        m_conn = session.conn;
        m_backendPid = session.backendPid;
        SetLocation(session.location);
    }

    void Open()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_qtName);
        if (!db.isValid())
            throw QueltError(QStringLiteral("This installation has no driver for database "
                                            "servers (Debian package libqt6sql6-psql)."),
                             {}, {}, Location());
        db.setConnectOptions(m_connectOptions);
        if (!db.open()) {
            QString said = db.lastError().databaseText().trimmed();
            if (said.isEmpty())
                said = db.lastError().driverText();
            throw QueltError(connectFailure(said, m_options), said, {}, Location());
        }
        const QVariant handle = db.driver()->handle();
        // libpq's PGconn is its struct pg_conn, and Qt names the handle so.
        if (qstrcmp(handle.typeName(), "pg_conn*") != 0 || !handle.data())
            throw QueltError(QStringLiteral("The database driver gives no server handle."), {}, {},
                             Location());
        m_conn = *static_cast<PGconn* const*>(handle.data());
        Pq().PQsetNoticeProcessor(m_conn, dropNotice, nullptr);
        // Never blocked on a send: a server that stops reading is given up
        // at the deadline like one that stops answering.
        Pq().PQsetnonblocking(m_conn, 1);
        m_backendPid = Pq().PQbackendPID(m_conn);
        // The server's own words for where it is, now that they are known.
        SetLocation(QStringLiteral("postgresql://%1:%2/%3")
                        .arg(QString::fromUtf8(Pq().PQhost(m_conn)),
                             QString::fromUtf8(Pq().PQport(m_conn)),
                             QString::fromUtf8(Pq().PQdb(m_conn))));
    }

    std::unique_ptr<Cursor> Prepare(const QString& sql) override;

    qint64 Execute(const QString& sql) override
    {
        if (sql == QLatin1String("ROLLBACK"))
            m_writeXact = 0;
        return rowsChanged(Run(sql).get());
    }

    // The values travel beside the statement, as libpq's parameters: numbers
    // in decimal, texts as their bytes, blobs in binary.
    qint64 Execute(const QString& sql, const QList<StoredValue>& values) override
    {
        QList<QByteArray> texts(values.size());
        QList<const char*> pointers(values.size(), nullptr);
        QList<int> lengths(values.size(), 0);
        QList<int> formats(values.size(), 0);
        for (qsizetype i = 0; i < values.size(); ++i) {
            const StoredValue& value = values.at(i);
            switch (value.kind) {
            case StoredValue::Kind::Null:
                continue;
            case StoredValue::Kind::Whole:
                texts[i] = QByteArray::number(value.whole);
                break;
            case StoredValue::Kind::Real:
                texts[i] = QByteArray::number(value.real, 'g', 17);
                break;
            case StoredValue::Kind::Text:
                // A text parameter ends at its first NUL: refused rather
                // than cut short.
                if (value.bytes.contains('\0'))
                    Rejected(sql, nullptr,
                             QStringLiteral("Parameter $%1 is a text that holds a NUL "
                                            "character, which a server cannot store.")
                                 .arg(i + 1));
                texts[i] = value.bytes;
                break;
            case StoredValue::Kind::Bytes:
                texts[i] = value.bytes;
                formats[i] = 1;
                break;
            }
            pointers[i] = texts.at(i).constData();
            lengths[i] = int(texts.at(i).size());
        }
        return rowsChanged(Run(sql, int(values.size()), pointers.constData(), lengths.constData(),
                               formats.constData())
                               .get());
    }

    // Sent together and their results read after: one round trip for the
    // batch, where one each made every statement wait for the one before
    // (a cell's 32 inserts over a local socket: 3.3 ms one by one, 0.75 ms
    // together; over a network each round trip saved is its delay).
    QList<qint64> ExecuteBatch(const QStringList& statements) override
    {
        QList<qint64> changed;
        changed.reserve(statements.size());
        for (qsizetype from = 0; from < statements.size(); from += kStatementsPerTrip)
            RunTogether(statements, from, std::min(statements.size(), from + kStatementsPerTrip),
                        changed);
        return changed;
    }

    // The transaction's number comes with the BEGIN, in the same round trip:
    // should the answer to its COMMIT never come, the server can be asked
    // afterwards what became of it.
    void BeginWrite() override
    {
        const QStringList begin = {QStringLiteral("BEGIN"),
                                   QStringLiteral("SELECT txid_current() AS xact")};
        QList<qint64> changed;
        ResultHandle last;
        RunTogether(begin, 0, begin.size(), changed, &last);
        m_writeXact = last && Pq().PQntuples(last.get()) == 1
                          ? QByteArray(Pq().PQgetvalue(last.get(), 0, 0)).toLongLong()
                          : 0;
    }

    void Commit() override
    {
        const qint64 xact = std::exchange(m_writeXact, 0);
        try {
            Execute(QStringLiteral("COMMIT"));
        } catch (const QueltError& e) {
            // Still connected, the server answered: it refused the commit.
            if (m_conn || xact == 0)
                throw;
            Settle(xact, e);
        }
    }

    QString BeginRead() const override
    {
        // One state of the database for several reads, which read committed
        // would not give.
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
    bool IsServer() const override { return true; }

    // One statement, sent in the extended protocol: the server refuses a
    // text that holds more than one. Values for its parameters, if any, go
    // as libpq takes them.
    ResultHandle Run(const QString& sql, int count = 0, const char* const* values = nullptr,
                     const int* lengths = nullptr, const int* formats = nullptr)
    {
        RequireConnection(sql);
        const QByteArray text = sql.toUtf8();
        if (Pq().PQsendQueryParams(m_conn, text.constData(), count, nullptr, values, lengths,
                                   formats, 0) != 1)
            Rejected(sql, nullptr);
        const QDeadlineTimer deadline = Deadline();
        ResultHandle result;
        for (;;) {
            Await(deadline, sql);
            ResultHandle next(Pq().PQgetResult(m_conn));
            if (!next)
                break;
            result = std::move(next);
        }
        const ExecStatusType status =
            result ? Pq().PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            Rejected(sql, result.get());
        return result;
    }

private:
    QDeadlineTimer Deadline() const
    {
        return m_answerLimitMs > 0 ? QDeadlineTimer(m_answerLimitMs)
                                   : QDeadlineTimer(QDeadlineTimer::Forever);
    }

    void RequireConnection(const QString& sql) const
    {
        if (!m_conn)
            throw QueltError(QStringLiteral("The connection to the database server was given up "
                                            "after a failure, so this step was not done."),
                             {}, sql, Location());
    }

    // Waits until libpq can hand over the next result without blocking,
    // sending on the way what is still queued. A server that answers nothing
    // before the deadline is given up: the connection is closed and the
    // window can be used again.
    void Await(const QDeadlineTimer& deadline, const QString& sql)
    {
        for (;;) {
            const int queued = Pq().PQflush(m_conn);
            if (queued < 0 || Pq().PQstatus(m_conn) == CONNECTION_BAD)
                return; // PQgetResult reports the failure at once
            if (queued == 0 && !Pq().PQisBusy(m_conn))
                return;
            pollfd wait{Pq().PQsocket(m_conn), short(POLLIN | (queued ? POLLOUT : 0)), 0};
            if (wait.fd < 0)
                return;
            const qint64 left = deadline.remainingTime();
            const int ready = left == 0 ? 0 : ::poll(&wait, 1, left < 0 ? -1 : int(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                GiveUp(sql);
            if (ready < 0 || Pq().PQconsumeInput(m_conn) != 1)
                return;
        }
    }

    [[noreturn]] void GiveUp(const QString& sql)
    {
        Close();
        m_unanswered = true;
        throw QueltError(
            QStringLiteral("The database server gave no answer for %1 seconds, so the program "
                           "gave up the connection; this step was not done%2.")
                .arg(QLocale(QLocale::English).toString(m_answerLimitMs / 1000.0, 'g', 3),
                     m_writeXact ? QStringLiteral(" and nothing of it was stored") : QString()),
            {}, sql, Location());
    }

    void Close()
    {
        m_conn = nullptr;
        closeSession({m_qtName, nullptr, 0, {}});
    }

    // The COMMIT of transaction `xact` went out and no answer came. The
    // server is asked afresh what became of it: stored, and this returns;
    // not stored, or not known, and the user is told which.
    void Settle(qint64 xact, const QueltError& unanswered)
    {
        const QString why =
            m_unanswered
                ? QStringLiteral("The database server gave no answer to the final step of "
                                 "storing this")
                : QStringLiteral("The connection to the database server was lost during the "
                                 "final step of storing this");
        QString status;
        QString said;
        try {
            PgConnection again(m_name, m_connectOptions, m_options, m_answerLimitMs);
            again.Open();
            const QString ask = QStringLiteral("SELECT txid_status(%1) AS status").arg(xact);
            status = again.Text(ask);
            // Still in progress: its session, which no one answers any more,
            // is ended, so that it cannot store the step later.
            if (status == QLatin1String("in progress")) {
                again.Text(QStringLiteral("SELECT pg_terminate_backend(%1, %2)::text AS ended")
                               .arg(m_backendPid)
                               .arg(kEndSessionMs));
                status = again.Text(ask);
            }
        } catch (const QueltError& e) {
            said = e.engineText().isEmpty() ? e.action() : e.engineText();
        }
        if (status == QLatin1String("committed"))
            return;
        if (status == QLatin1String("aborted"))
            throw QueltError(why + QStringLiteral(". Connected again, the program found that "
                                                  "the server had not stored it: nothing of "
                                                  "this step was stored."),
                             unanswered.engineText(), unanswered.statement(), Location());
        throw QueltError(why + QStringLiteral(", and whether the server stored it cannot be "
                                              "told yet. Look at what is stored before doing "
                                              "it again."),
                         said.isEmpty() ? unanswered.engineText() : said, unanswered.statement(),
                         Location());
    }

    // The one value of a one-row statement, as text.
    QString Text(const QString& sql)
    {
        const ResultHandle result = Run(sql);
        if (Pq().PQntuples(result.get()) < 1 || Pq().PQgetisnull(result.get(), 0, 0))
            return {};
        return QString::fromUtf8(Pq().PQgetvalue(result.get(), 0, 0));
    }

    // Statements [from, to) in libpq's pipeline: sent without waiting, then
    // one result each. After a failed one the server runs none of the rest
    // (they come back aborted), and the first failure is reported. `last`
    // takes the result of the last statement.
    void RunTogether(const QStringList& statements, qsizetype from, qsizetype to,
                     QList<qint64>& changed, ResultHandle* last = nullptr)
    {
        RequireConnection(statements.at(from));
        if (Pq().PQenterPipelineMode(m_conn) != 1)
            Rejected(statements.at(from), nullptr);
        for (qsizetype i = from; i < to; ++i) {
            const QByteArray text = statements.at(i).toUtf8();
            if (Pq().PQsendQueryParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr,
                                       nullptr, 0) != 1) {
                // Out of the pipeline first, or the ROLLBACK that follows
                // could not be sent either.
                Pq().PQpipelineSync(m_conn);
                LeavePipeline(Deadline(), statements.at(i));
                Rejected(statements.at(i), nullptr);
            }
        }
        const QDeadlineTimer deadline = Deadline();
        if (Pq().PQpipelineSync(m_conn) != 1) {
            LeavePipeline(deadline, statements.at(to - 1));
            Rejected(statements.at(to - 1), nullptr);
        }
        const qsizetype before = changed.size();
        qsizetype failedAt = -1;
        ResultHandle failure;
        for (qsizetype i = from; i < to && Pq().PQstatus(m_conn) == CONNECTION_OK; ++i) {
            Await(deadline, statements.at(i));
            ResultHandle result(Pq().PQgetResult(m_conn));
            if (!result) {
                if (failedAt < 0)
                    failedAt = i;
                break;
            }
            const ExecStatusType status = Pq().PQresultStatus(result.get());
            if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
                changed.append(rowsChanged(result.get()));
                if (last && i == to - 1)
                    *last = std::move(result);
            } else if (status != PGRES_PIPELINE_ABORTED && failedAt < 0) {
                failedAt = i;
                failure = std::move(result);
            }
            // A statement's results end with a null; anything else means
            // the results are out of step with the statements.
            Await(deadline, statements.at(i));
            if (ResultHandle more(Pq().PQgetResult(m_conn)); more) {
                if (failedAt < 0)
                    failedAt = i;
                break;
            }
        }
        LeavePipeline(deadline, statements.at(to - 1));
        // A connection lost between two results leaves the rest unanswered.
        if (const qsizetype answered = from + changed.size() - before;
            failedAt < 0 && answered < to)
            failedAt = answered;
        if (failedAt >= 0)
            Rejected(statements.at(failedAt), failure.get());
    }

    // Reads what is left up to the pipeline's end and leaves it, so that the
    // connection takes statements again: the ROLLBACK after a failure, above
    // all. A lost connection has nothing left to read.
    void LeavePipeline(const QDeadlineTimer& deadline, const QString& sql)
    {
        int nulls = 0;
        while (Pq().PQstatus(m_conn) == CONNECTION_OK && nulls < 2) {
            Await(deadline, sql);
            const ResultHandle result(Pq().PQgetResult(m_conn));
            if (!result) {
                ++nulls;
                continue;
            }
            nulls = 0;
            if (Pq().PQresultStatus(result.get()) == PGRES_PIPELINE_SYNC)
                break;
        }
        Pq().PQexitPipelineMode(m_conn);
    }

    static qint64 rowsChanged(const PGresult* result)
    {
        const char* changed = Pq().PQcmdTuples(const_cast<PGresult*>(result));
        return changed && *changed ? QByteArray(changed).toLongLong() : 0;
    }

    // Who held the lock a statement gave up waiting for, as far as the
    // server tells: the statement's transaction is ended first, since an
    // aborted one answers nothing else.
    QString LockHolders()
    {
        QStringList holders;
        try {
            if (Pq().PQtransactionStatus(m_conn) == PQTRANS_INERROR) {
                m_writeXact = 0;
                Run(QStringLiteral("ROLLBACK"));
            }
            const ResultHandle result = Run(kLockHolders);
            for (int row = 0; row < Pq().PQntuples(result.get()); ++row) {
                const QString login = QString::fromUtf8(Pq().PQgetvalue(result.get(), row, 0));
                const QString program = QString::fromUtf8(Pq().PQgetvalue(result.get(), row, 1));
                if (program == QLatin1String("quelt"))
                    holders.append(QStringLiteral("another desktop (login %1)").arg(login));
                else if (program.isEmpty())
                    holders.append(QStringLiteral("a session of the login %1").arg(login));
                else
                    holders.append(QStringLiteral("%1 (login %2)").arg(program, login));
            }
        } catch (const QueltError&) {
            // Who it was is a courtesy; that the step was not done is the news.
        }
        holders.removeDuplicates();
        return holders.isEmpty() ? QStringLiteral("another session")
                                 : holders.join(QStringLiteral(" or "));
    }

    [[noreturn]] void Rejected(const QString& sql, const PGresult* result, const QString& why = {})
    {
        QString said = words(result ? Pq().PQresultErrorMessage(result)
                                    : (m_conn ? Pq().PQerrorMessage(m_conn) : ""));
        if (!why.isEmpty())
            said = why;
        const QByteArray state =
            result ? QByteArray(Pq().PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
        QString action = QStringLiteral("The database server rejected a statement.");
        if (!m_conn || Pq().PQstatus(m_conn) == CONNECTION_BAD) {
            action = QStringLiteral("The connection to the database server was lost, so this "
                                    "step was not done");
            action += m_writeXact ? QStringLiteral(" and nothing of it was stored.")
                                  : QStringLiteral(".");
            Close();
        } else if (state == "55P03") {
            action = QStringLiteral("The survey database was held locked by %1 for longer than "
                                    "this program waits, so this step was not done. Try again "
                                    "in a moment.")
                         .arg(LockHolders());
        }
        throw QueltError(action, said, sql, Location());
    }

    QString m_qtName;
    QString m_name;
    // What a second connection to the same database needs.
    QString m_connectOptions;
    QMap<QString, QString> m_options;
    int m_answerLimitMs = 0;
    // Where the connection is kept for reuse when let go of; empty for never.
    QString m_poolKey;
    // libpq's handle of the open connection; it lives as long as Qt's, and
    // is null once the connection was given up.
    PGconn* m_conn = nullptr;
    int m_backendPid = 0;
    // The write transaction under way, 0 for none.
    qint64 m_writeXact = 0;
    // Whether the connection was given up for want of an answer.
    bool m_unanswered = false;
};

// The whole result arrives with the statement: one round trip, then rows
// are read from memory.
class PgCursor final : public Cursor
{
public:
    explicit PgCursor(ResultHandle result) : m_result(std::move(result))
    {
        const int columns = Pq().PQnfields(m_result.get());
        for (int i = 0; i < columns; ++i)
            m_names.append(QString::fromUtf8(Pq().PQfname(m_result.get(), i)));
        m_rows = Pq().PQntuples(m_result.get());
    }

    bool Step() override
    {
        if (m_row < m_rows)
            ++m_row;
        return m_row < m_rows;
    }

    const QStringList& ColumnNames() const override { return m_names; }

    QVariant Value(int index) const override
    {
        const PGresult* r = m_result.get();
        if (Pq().PQgetisnull(r, m_row, index))
            return QVariant(QMetaType::fromType<QString>());
        if (const std::optional<qint64> whole = WholeNumber(index))
            return QVariant(qlonglong(*whole));
        const char* text = Pq().PQgetvalue(r, m_row, index);
        switch (Pq().PQftype(r, index)) {
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return QVariant(QByteArray(text).toDouble());
        case kBool:
            return QVariant(qlonglong(text[0] == 't' ? 1 : 0));
        default:
            return QVariant(QString::fromUtf8(text, Pq().PQgetlength(r, m_row, index)));
        }
    }

    std::optional<qint64> WholeNumber(int index) const override
    {
        const PGresult* r = m_result.get();
        if (Pq().PQgetisnull(r, m_row, index))
            return std::nullopt;
        switch (Pq().PQftype(r, index)) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
        case kNumeric: {
            bool ok = false;
            const qint64 whole = QByteArray(Pq().PQgetvalue(r, m_row, index)).toLongLong(&ok);
            return ok ? std::optional<qint64>(whole) : std::nullopt;
        }
        default:
            return std::nullopt;
        }
    }

    StoredValue Stored(int index) const override
    {
        const PGresult* r = m_result.get();
        StoredValue value;
        if (Pq().PQgetisnull(r, m_row, index))
            return value;
        if (const std::optional<qint64> whole = WholeNumber(index)) {
            value.kind = StoredValue::Kind::Whole;
            value.whole = *whole;
            return value;
        }
        const char* text = Pq().PQgetvalue(r, m_row, index);
        switch (Pq().PQftype(r, index)) {
        case kFloat4:
        case kFloat8:
        case kNumeric:
            value.kind = StoredValue::Kind::Real;
            value.real = QByteArray(text).toDouble();
            break;
        default:
            value.kind = StoredValue::Kind::Text;
            value.bytes = QByteArray(text, Pq().PQgetlength(r, m_row, index));
        }
        return value;
    }

private:
    ResultHandle m_result;
    QStringList m_names;
    int m_rows = 0;
    // -1 before the first Step.
    int m_row = -1;
};

std::unique_ptr<Cursor> PgConnection::Prepare(const QString& sql)
{
    return std::make_unique<PgCursor>(Run(sql));
}

} // namespace

bool IsServerLocation(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) ||
           location.startsWith(QLatin1String("postgres://"));
}

std::shared_ptr<Connection> OpenServerDatabase(const QString& location, bool readOnly,
                                               int lockTimeoutMs, int answerLimitMs)
{
    char* error = nullptr;
    const std::unique_ptr<PQconninfoOption, FreeOptions> parsed(
        Pq().PQconninfoParse(location.toUtf8().constData(), &error));
    if (!parsed) {
        const QString said = error ? words(error) : QString();
        Pq().PQfreemem(error);
        // The location may hold a password after all: never repeat it.
        throw QueltError(QStringLiteral("The database location is not a valid server address "
                                        "(postgresql://user@host:port/database?options)."),
                         said.contains(u'@') ? QString() : said);
    }
    QMap<QString, QString> options;
    for (const PQconninfoOption* o = parsed.get(); o->keyword; ++o)
        if (o->val)
            options.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));

    const QString name = serverName(options);
    if (options.contains(QStringLiteral("password")))
        throw QueltError(QStringLiteral("The database location holds a password, where anyone "
                                        "who sees the command line or the settings could read "
                                        "it. Put it in ~/.pgpass, a service file or the "
                                        "environment variable PGPASSWORD instead."),
                         {}, {}, QStringLiteral("postgresql://") + name);
    if (!options.contains(QStringLiteral("connect_timeout")))
        options.insert(QStringLiteral("connect_timeout"), QString::number(kConnectTimeoutS));
    // The administrator's view of who holds a lock names the program.
    if (!options.contains(QStringLiteral("application_name"))) {
        const QString program = QCoreApplication::applicationName();
        options.insert(QStringLiteral("application_name"),
                       program.isEmpty() ? QStringLiteral("quelt") : program);
    }
    // Settings for the session, sent with the connection rather than as
    // statements of their own: no extra round trip. The search path is the
    // catalogue's alone, whatever the database or the login sets, so that no
    // function or operator of anyone else's takes the place of the
    // server's own; the program names the schema of every table.
    QString settings = options.value(QStringLiteral("options"));
    settings += QStringLiteral(" -c search_path=pg_catalog -c lock_timeout=%1").arg(lockTimeoutMs);
    if (readOnly)
        settings += QStringLiteral(" -c default_transaction_read_only=on");
    options.insert(QStringLiteral("options"), settings.trimmed());

    QStringList pairs;
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        // Qt's driver turns every semicolon of its connect options into a blank.
        if (it.value().contains(u';'))
            throw QueltError(
                QStringLiteral("The setting \"%1\" of the database location holds a semicolon, "
                               "which the database driver cannot pass on.")
                    .arg(it.key()),
                {}, {}, QStringLiteral("postgresql://") + name);
        pairs.append(it.key() + u'=' + quotedValue(it.value()));
    }

    const QString connectOptions = pairs.join(u';');
    const QString key = poolKey(connectOptions);
    auto connection =
        std::make_shared<PgConnection>(name, connectOptions, options, answerLimitMs, key);
    if (const std::optional<Session> kept = takeIdle(key))
        connection->Resume(*kept);
    else
        connection->Open();
    return connection;
}

void CloseIdleServerConnections()
{
    closeIdleSessions();
}

} // namespace dbengine_detail
