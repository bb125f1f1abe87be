#include "common/TestDb.h"

#include "data/Schema.h"
#include "platform/DbEngine.h"
#include "platform/FileAccess.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>
#include <QWidget>

void OnExistingFile(QSqlDatabase& db, const QString& path)
{
    db.setDatabaseName(QStringLiteral("file:") +
                       QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
                       QStringLiteral("?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
}

QSqlDatabase OpenExisting(const QString& name, const QString& path, std::source_location where)
{
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        OnExistingFile(db, path);
        if (db.open())
            return db;
        error = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    FailTest(QStringLiteral("cannot open %1: %2").arg(path, error), where);
}

namespace {

int g_fixturesAlive = 0;

void check(const QSqlQuery& q, bool ok, const QString& sql)
{
    if (!ok)
        FailTest(q.lastError().text() + QStringLiteral(" in: ") + sql.left(200));
}

QSqlQuery run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    check(q, q.exec(sql), sql);
    return q;
}

// A database of the test server through Qt's driver, opened once and kept
// for the process: a connection per statement would cost a login each.
QSqlDatabase serverConnection(const QString& database)
{
    const QString name = QStringLiteral("testdb-server-") + database;
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    // The server's notices (a schema dropped with all it held) are for a
    // person at a console.
    db.setConnectOptions(TestServerKeywords() + QStringLiteral(";dbname=") + database +
                         QStringLiteral(";options='-c client_min_messages=warning'"));
    if (!db.open())
        FailTest(QStringLiteral("cannot reach the test server: ") + db.lastError().text());
    return db;
}

void runOnServer(const QString& database, const QString& sql)
{
    QSqlDatabase db = serverConnection(database);
    run(db, sql);
}

// One database per fixture alive at once, made when first needed and
// emptied for every fixture after: making a database costs a tenth of a
// second, emptying one far less.
QString fixtureDatabase(int depth)
{
    static QSet<int> made;
    const QString name =
        QStringLiteral("quelt_%1_%2").arg(QCoreApplication::applicationPid()).arg(depth);
    if (!made.contains(depth)) {
        runOnServer(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE ") + name);
        made.insert(depth);
    } else {
        runOnServer(name, QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE"));
        runOnServer(name, QStringLiteral("CREATE SCHEMA public"));
    }
    return name;
}

} // namespace

QString TestServerKeywords()
{
    static const QString keywords = [] {
        const QString stateFile = qEnvironmentVariable("QUELT_TEST_SERVER_FILE");
        if (stateFile.isEmpty())
            return QString();
        QFile file(stateFile + QStringLiteral(".location"));
        if (!file.open(QIODevice::ReadOnly))
            FailTest(QStringLiteral("no test server: %1 cannot be read").arg(file.fileName()));
        const QUrlQuery query(QUrl(QString::fromUtf8(file.readAll().trimmed())));
        return QStringLiteral("host=%1;port=%2;user=%3")
            .arg(query.queryItemValue(QStringLiteral("host")),
                 query.queryItemValue(QStringLiteral("port")),
                 query.queryItemValue(QStringLiteral("user")));
    }();
    return keywords;
}

QString ServerLocation(const QString& database, const QString& user)
{
    QString location = QStringLiteral("postgresql:///") + database + u'?';
    for (const QString& pair : TestServerKeywords().split(u';'))
        if (!pair.startsWith(QLatin1String("user=")))
            location += pair + u'&';
    return location + QStringLiteral("user=") + user;
}

void ServerAdmin(const QString& sql)
{
    runOnServer(QStringLiteral("postgres"), sql);
}

QString NewServerDatabase(const QString& user)
{
    if (TestServerKeywords().isEmpty())
        FailTest(QStringLiteral("this test needs the test server (QUELT_TEST_SERVER_FILE)"));
    static int made = 0;
    const QString name =
        QStringLiteral("quelt_%1_new%2").arg(QCoreApplication::applicationPid()).arg(++made);
    runOnServer(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE ") + name);
    return ServerLocation(name, user);
}

bool TestDb::OnServer()
{
    return qEnvironmentVariable("QUELT_TEST_BACKEND") == QLatin1String("server");
}

TestDb::TestDb(const QStringList& rows, const QStringList& cols, bool bare)
    : m_previousDir(QDir::currentPath())
{
    if (OnServer()) {
        if (TestServerKeywords().isEmpty())
            FailTest(QStringLiteral("QUELT_TEST_BACKEND=server needs QUELT_TEST_SERVER_FILE"));
        m_server = fixtureDatabase(g_fixturesAlive);
        ++g_fixturesAlive;
        if (!bare) {
            Schema::CreateSurveyDatabase(location(), rows, cols);
        } else {
            // Typed, as a server's columns are, but without keys or NOT NULL.
            exec(QStringLiteral("CREATE TABLE model_row (row_number integer, name text)"));
            exec(QStringLiteral("CREATE TABLE model_column (col_number integer, name text)"));
            exec(QStringLiteral("CREATE TABLE question (id integer GENERATED BY DEFAULT AS "
                                "IDENTITY, label text, question_text text, row_id integer, "
                                "col_id integer)"));
            exec(QStringLiteral(
                "CREATE TABLE survey (id integer, completed_by text, company text)"));
            exec(QStringLiteral("CREATE TABLE survey_results (survey_id integer, question_id "
                                "integer, answer integer, entry bigint GENERATED ALWAYS AS "
                                "IDENTITY)"));
            for (int i = 0; i < rows.size(); ++i)
                exec(QStringLiteral("INSERT INTO model_row VALUES (%1, '%2')").arg(i).arg(rows[i]));
            for (int i = 0; i < cols.size(); ++i)
                exec(QStringLiteral("INSERT INTO model_column VALUES (%1, '%2')")
                         .arg(i)
                         .arg(cols[i]));
        }
        DBEngine::SetSurveyDatabaseName(location());
        QDir::setCurrent(m_dir.path());
        return;
    }
    if (!bare) {
        Schema::CreateSurveyDatabase(path(), rows, cols);
    } else {
        // Any empty file is an empty database.
        QFile file(path());
        if (!file.open(QIODevice::WriteOnly))
            FailTest(QStringLiteral("cannot make ") + path());
        file.close();
        exec(QStringLiteral("CREATE TABLE model_row (row_number, name)"));
        exec(QStringLiteral("CREATE TABLE model_column (col_number, name)"));
        exec(QStringLiteral("CREATE TABLE question (id INTEGER PRIMARY KEY, label, "
                            "question_text, row_id, col_id)"));
        exec(QStringLiteral("CREATE TABLE survey (id, completed_by, company)"));
        exec(QStringLiteral("CREATE TABLE survey_results (survey_id, question_id, answer)"));
        for (int i = 0; i < rows.size(); ++i)
            exec(QStringLiteral("INSERT INTO model_row VALUES (%1, '%2')").arg(i).arg(rows[i]));
        for (int i = 0; i < cols.size(); ++i)
            exec(QStringLiteral("INSERT INTO model_column VALUES (%1, '%2')").arg(i).arg(cols[i]));
    }
    QDir::setCurrent(m_dir.path());
}

TestDb::~TestDb()
{
    QDir::setCurrent(m_previousDir);
    if (!m_server.isEmpty()) {
        --g_fixturesAlive;
        DBEngine::SetSurveyDatabaseName(QStringLiteral("quelt.mdb"));
        // The next test logs in afresh, whatever this one changed.
        DBEngine::CloseIdleConnections();
    }
}

QString TestDb::path() const
{
    return m_server.isEmpty() ? m_dir.filePath(QStringLiteral("quelt.mdb")) : location();
}

QString TestDb::location() const
{
    return m_server.isEmpty() ? QStringLiteral("quelt.mdb") : ServerLocation(m_server);
}

// The fixture's own connection: a new one on the file each time, the kept
// one on the server.
template <class F>
auto TestDb::with(F fn) const
{
    if (m_server.isEmpty())
        return WithExistingFile(path(), fn);
    QSqlDatabase db = serverConnection(m_server);
    return fn(db);
}

void TestDb::exec(const QString& sql) const
{
    with([&](QSqlDatabase& db) {
        run(db, sql);
        return 0;
    });
}

QList<QVariantList> TestDb::rows(const QString& sql) const
{
    return with([&](QSqlDatabase& db) {
        QList<QVariantList> result;
        QSqlQuery q = run(db, sql);
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
        return result;
    });
}

QVariant TestDb::value(const QString& sql) const
{
    const auto all = rows(sql);
    return all.isEmpty() || all.first().isEmpty() ? QVariant() : all.first().first();
}

qint64 TestDb::count(const QString& table) const
{
    return value(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong();
}

qint64 TestDb::addQuestion(int row, int col, const QString& text, const QString& label) const
{
    return with([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        // The server tells the number it gave in the statement's own result.
        q.prepare(QStringLiteral(
                      "INSERT INTO question (label, question_text, row_id, col_id) VALUES (?, ?, "
                      "?, ?)") +
                  (m_server.isEmpty() ? QString() : QStringLiteral(" RETURNING id")));
        // A null QString would be bound as SQL NULL.
        q.addBindValue(label.isNull() ? QStringLiteral("") : label);
        q.addBindValue(text.isNull() ? QStringLiteral("") : text);
        q.addBindValue(row);
        q.addBindValue(col);
        check(q, q.exec(), q.lastQuery());
        if (!m_server.isEmpty())
            return q.next() ? q.value(0).toLongLong() : qint64(-1);
        return q.lastInsertId().toLongLong();
    });
}

void TestDb::addSurvey(int id, const QString& completedBy, const QString& company) const
{
    with([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO survey (id, completed_by, company) VALUES (?, ?, ?)"));
        q.addBindValue(id);
        q.addBindValue(completedBy);
        q.addBindValue(company);
        check(q, q.exec(), q.lastQuery());
        return 0;
    });
}

void TestDb::addAnswer(int survey, qint64 question, int answer) const
{
    exec(QStringLiteral("INSERT INTO survey_results (survey_id, question_id, answer) "
                        "VALUES (%1, %2, %3)")
             .arg(survey)
             .arg(question)
             .arg(answer));
}

QStringList HistoryOf(const TestDb& db)
{
    QStringList changes;
    for (const QVariantList& r : db.rows(QStringLiteral(
             "SELECT action, made_by, old_value, new_value FROM history_change ORDER BY id")))
        changes.append(
            QStringLiteral("%1 by %2: %3 -> %4")
                .arg(r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString()));
    return changes;
}

QString Changer()
{
    return TestDb::OnServer() ? QStringLiteral("quelt_admin") : OperatingSystemUser();
}

MessageCapture::MessageCapture()
{
    m_previous = MessageBox::SetHandler([this](const QString& text, QWidget* parent) {
        messages.append(text);
        parents.append(parent ? parent->objectName() : QString());
    });
    m_previousQuestion =
        MessageBox::SetQuestionHandler([this](const QString& text, QWidget* parent) {
            messages.append(text);
            parents.append(parent ? parent->objectName() : QString());
            return !answers.isEmpty() && answers.takeFirst();
        });
    m_previousChoice = MessageBox::SetChoiceHandler(
        [this](const QString& text, const QStringList& buttons, QWidget* parent) {
            messages.append(text);
            parents.append(parent ? parent->objectName() : QString());
            if (choices.isEmpty())
                return int(buttons.size() - 1);
            const QString wanted = choices.takeFirst();
            if (!buttons.contains(wanted))
                FailTest(QStringLiteral("no button %1 in: %2").arg(wanted, text));
            return int(buttons.indexOf(wanted));
        });
}

MessageCapture::~MessageCapture()
{
    MessageBox::SetHandler(std::move(m_previous));
    MessageBox::SetQuestionHandler(std::move(m_previousQuestion));
    MessageBox::SetChoiceHandler(std::move(m_previousChoice));
}
