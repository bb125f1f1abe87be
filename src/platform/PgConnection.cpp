#include "platform/PgConnection.h"

#include "platform/QueltError.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <algorithm>
#include <dlfcn.h>
#include <libpq-fe.h>

namespace dbengine_detail {

namespace {

QAtomicInteger<quint64> g_serverConnectionCounter;

// libpq is loaded with the first server location, not with the program:
// linked in, it and the libraries it brings (TLS, Kerberos, LDAP, some 25 in
// all) cost every start of either program 2.7 ms, file or server. Qt's
// driver loads the same library when it connects.
#define QUELT_LIBPQ_FUNCTIONS(X)                                                                   \
    X(PQclear)                                                                                     \
    X(PQcmdTuples)                                                                                 \
    X(PQconninfoFree)                                                                              \
    X(PQconninfoParse)                                                                             \
    X(PQdb)                                                                                        \
    X(PQenterPipelineMode)                                                                         \
    X(PQerrorMessage)                                                                              \
    X(PQexecParams)                                                                                \
    X(PQexitPipelineMode)                                                                          \
    X(PQfname)                                                                                     \
    X(PQfreemem)                                                                                   \
    X(PQftype)                                                                                     \
    X(PQgetResult)                                                                                 \
    X(PQgetisnull)                                                                                 \
    X(PQgetlength)                                                                                 \
    X(PQgetvalue)                                                                                  \
    X(PQhost)                                                                                      \
    X(PQnfields)                                                                                   \
    X(PQntuples)                                                                                   \
    X(PQpipelineSync)                                                                              \
    X(PQport)                                                                                      \
    X(PQresultErrorField)                                                                          \
    X(PQresultErrorMessage)                                                                        \
    X(PQresultStatus)                                                                              \
    X(PQsendQueryParams)                                                                           \
    X(PQsetNoticeProcessor)                                                                        \
    X(PQstatus)

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

class PgConnection final : public Connection
{
public:
    explicit PgConnection(const QString& name)
        : Connection(QStringLiteral("postgresql://") + name),
          m_qtName(QStringLiteral("quelt-server-%1")
                       .arg(g_serverConnectionCounter.fetchAndAddRelaxed(1) + 1))
    {
    }

    ~PgConnection() override
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_qtName, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_qtName);
    }

    void Open(const QString& connectOptions)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_qtName);
        if (!db.isValid())
            throw QueltError(QStringLiteral("This installation has no driver for database "
                                            "servers (Debian package libqt6sql6-psql)."),
                             {}, {}, Location());
        db.setConnectOptions(connectOptions);
        if (!db.open()) {
            QString said = db.lastError().databaseText().trimmed();
            if (said.isEmpty())
                said = db.lastError().driverText();
            if (said.contains(QLatin1String("no password supplied")))
                throw QueltError(kPasswordHelp, said, {}, Location());
            throw QueltError(QStringLiteral("The database server could not be reached, or it "
                                            "refused the connection."),
                             said, {}, Location());
        }
        const QVariant handle = db.driver()->handle();
        // libpq's PGconn is its struct pg_conn, and Qt names the handle so.
        if (qstrcmp(handle.typeName(), "pg_conn*") != 0 || !handle.data())
            throw QueltError(QStringLiteral("The database driver gives no server handle."), {}, {},
                             Location());
        m_conn = *static_cast<PGconn* const*>(handle.data());
        Pq().PQsetNoticeProcessor(m_conn, dropNotice, nullptr);
        // The server's own words for where it is, now that they are known.
        SetLocation(QStringLiteral("postgresql://%1:%2/%3")
                        .arg(QString::fromUtf8(Pq().PQhost(m_conn)),
                             QString::fromUtf8(Pq().PQport(m_conn)),
                             QString::fromUtf8(Pq().PQdb(m_conn))));
    }

    std::unique_ptr<Cursor> Prepare(const QString& sql) override;

    qint64 Execute(const QString& sql) override { return rowsChanged(Run(sql).get()); }

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
        const QByteArray text = sql.toUtf8();
        ResultHandle result(Pq().PQexecParams(m_conn, text.constData(), int(values.size()), nullptr,
                                              pointers.constData(), lengths.constData(),
                                              formats.constData(), 0));
        const ExecStatusType status =
            result ? Pq().PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            Rejected(sql, result.get());
        return rowsChanged(result.get());
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

    QString BeginWrite() const override { return QStringLiteral("BEGIN"); }
    // One state of the database for several reads, which read committed
    // would not give.
    QString BeginRead() const override
    {
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
    bool IsServer() const override { return true; }

    // One statement, sent in the extended protocol: the server refuses a
    // text that holds more than one.
    ResultHandle Run(const QString& sql)
    {
        const QByteArray text = sql.toUtf8();
        ResultHandle result(
            Pq().PQexecParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0));
        const ExecStatusType status =
            result ? Pq().PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            Rejected(sql, result.get());
        return result;
    }

private:
    // Statements [from, to) in libpq's pipeline: sent without waiting, then
    // one result each. After a failed one the server runs none of the rest
    // (they come back aborted), and the first failure is reported.
    void RunTogether(const QStringList& statements, qsizetype from, qsizetype to,
                     QList<qint64>& changed)
    {
        if (Pq().PQenterPipelineMode(m_conn) != 1)
            Rejected(statements.at(from), nullptr);
        for (qsizetype i = from; i < to; ++i) {
            const QByteArray text = statements.at(i).toUtf8();
            if (Pq().PQsendQueryParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr,
                                       nullptr, 0) != 1) {
                // Out of the pipeline first, or the ROLLBACK that follows
                // could not be sent either.
                Pq().PQpipelineSync(m_conn);
                LeavePipeline();
                Rejected(statements.at(i), nullptr);
            }
        }
        if (Pq().PQpipelineSync(m_conn) != 1) {
            LeavePipeline();
            Rejected(statements.at(to - 1), nullptr);
        }
        const qsizetype before = changed.size();
        qsizetype failedAt = -1;
        ResultHandle failure;
        for (qsizetype i = from; i < to && Pq().PQstatus(m_conn) == CONNECTION_OK; ++i) {
            ResultHandle result(Pq().PQgetResult(m_conn));
            if (!result) {
                if (failedAt < 0)
                    failedAt = i;
                break;
            }
            const ExecStatusType status = Pq().PQresultStatus(result.get());
            if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
                changed.append(rowsChanged(result.get()));
            } else if (status != PGRES_PIPELINE_ABORTED && failedAt < 0) {
                failedAt = i;
                failure = std::move(result);
            }
            // A statement's results end with a null; anything else means
            // the results are out of step with the statements.
            if (ResultHandle more(Pq().PQgetResult(m_conn)); more) {
                if (failedAt < 0)
                    failedAt = i;
                break;
            }
        }
        LeavePipeline();
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
    void LeavePipeline()
    {
        int nulls = 0;
        while (Pq().PQstatus(m_conn) == CONNECTION_OK && nulls < 2) {
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

    [[noreturn]] void Rejected(const QString& sql, const PGresult* result,
                               const QString& why = {}) const
    {
        QString said =
            words(result ? Pq().PQresultErrorMessage(result) : Pq().PQerrorMessage(m_conn));
        if (!why.isEmpty())
            said = why;
        const QByteArray state =
            result ? QByteArray(Pq().PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
        QString action = QStringLiteral("The database server rejected a statement.");
        if (Pq().PQstatus(m_conn) == CONNECTION_BAD)
            action = QStringLiteral("The connection to the database server was lost, so this "
                                    "step was not done; nothing of it was stored unless the "
                                    "server had already confirmed it.");
        else if (state == "55P03")
            action = QStringLiteral("Another desktop held a lock on the survey database for "
                                    "longer than this program waits, so this step was not "
                                    "done. Try again in a moment.");
        throw QueltError(action, said, sql, Location());
    }

    QString m_qtName;
    // libpq's handle of the open connection; it lives as long as Qt's.
    PGconn* m_conn = nullptr;
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
                                               int lockTimeoutMs)
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
    if (!options.contains(QStringLiteral("application_name")))
        options.insert(QStringLiteral("application_name"), QStringLiteral("quelt"));
    // Settings for the session, sent with the connection rather than as
    // statements of their own: no extra round trip.
    QString settings = options.value(QStringLiteral("options"));
    settings += QStringLiteral(" -c lock_timeout=%1").arg(lockTimeoutMs);
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

    auto connection = std::make_shared<PgConnection>(name);
    connection->Open(pairs.join(u';'));
    return connection;
}

} // namespace dbengine_detail
