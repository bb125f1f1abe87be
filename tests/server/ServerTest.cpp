#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"
#include "reliability/Reliability.h"

#include "platform/DbEngine.h"
#include "platform/QueltError.h"
#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <thread>

using Reliability::QueltDb;
using Reliability::ToolRun;

// What only a server has: its faults, its rights, its round trips. Every
// test works on a fixture database of the test server (QUELT_TEST_BACKEND is
// set for this area), through the windows.
namespace {

// A consultant of the test server: a login in the consultants' group that
// the server's start made, as its administrator would.
const QString kConsultant = QStringLiteral("anna");
const QString kPassword = QStringLiteral("consultant-secret");

// The window opened from the main menu with survey 1 and cell (0, 0) chosen,
// every question of the cell scored 3.
QWidget* scoredCell()
{
    Ui::MenuItem(QStringLiteral("miModifySurveyAnswers"));
    QWidget* w = Ui::FindWindow(QStringLiteral("frmSurvey"));
    Ui::PickText(w, QStringLiteral("cmbSurveyID"), QStringLiteral("1"));
    Ui::Pick(w, QStringLiteral("cmbModelRow"), 0);
    Ui::Pick(w, QStringLiteral("cmbModelCol"), 0);
    for (int row = 0; row < 3; ++row)
        Ui::Choose(Ui::Row(w, row), 3);
    return w;
}

QList<qint64> threeQuestions(const TestDb& db)
{
    db.addSurvey(1);
    QList<qint64> ids;
    for (int q = 0; q < 3; ++q)
        ids.append(
            db.addQuestion(0, 0, QStringLiteral("Q%1").arg(q), QStringLiteral("L%1").arg(q)));
    return ids;
}

// The windows work as the consultant from here on.
QString asConsultant(const TestDb& db)
{
    qputenv("PGPASSWORD", kPassword.toUtf8());
    const QString location =
        QString(db.location())
            .replace(QStringLiteral("user=quelt_admin"), QStringLiteral("user=") + kConsultant);
    DBEngine::SetSurveyDatabaseName(location);
    return location;
}

QString databaseOf(const TestDb& db)
{
    return db.value(QStringLiteral("SELECT current_database()")).toString();
}

// A statement run as `user` on the fixture's database, as in psql: the
// server's words when it refuses, empty when it runs.
QString refusal(const TestDb& db, const QString& user, const QString& sql)
{
    const QString name = QStringLiteral("as-") + user;
    QString said;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        QString options = TestServerKeywords() + QStringLiteral(";dbname=") + databaseOf(db);
        if (user != QLatin1String("quelt_admin"))
            options.replace(QStringLiteral("user=quelt_admin"),
                            QStringLiteral("user=%1;password=%2").arg(user, kPassword));
        c.setConnectOptions(options);
        if (!c.open())
            FailTest(c.lastError().text());
        QSqlQuery q(c);
        if (!q.exec(sql))
            said = q.lastError().databaseText();
    }
    QSqlDatabase::removeDatabase(name);
    return said;
}

QString serverLog()
{
    QFile state(qEnvironmentVariable("QUELT_TEST_SERVER_FILE"));
    if (!state.open(QIODevice::ReadOnly))
        return {};
    QFile log(QString::fromUtf8(state.readAll().trimmed()) + QStringLiteral("/server.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// The main thread's own connection to the fixture's database, that an
// administrator's psql stands for: it holds a lock while the windows work.
class AdminSession
{
public:
    explicit AdminSession(const TestDb& db)
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kName);
        c.setConnectOptions(TestServerKeywords() + QStringLiteral(";dbname=") + databaseOf(db) +
                            QStringLiteral(";application_name=psql"));
        if (!c.open())
            FailTest(c.lastError().text());
    }
    ~AdminSession() { QSqlDatabase::removeDatabase(kName); }
    void exec(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(kName));
        if (!q.exec(sql))
            FailTest(q.lastError().text());
    }

private:
    static inline const QString kName = QStringLiteral("admin-psql");
};

} // namespace

class ServerTest : public QObject
{
    Q_OBJECT

    std::optional<MessageCapture> m_messages;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("QUELT_TEST_BACKEND", "server");
        ServerAdmin(QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname "
                                   "= '%1') THEN CREATE ROLE %1 LOGIN PASSWORD '%2' IN ROLE "
                                   "quelt_consultant; END IF; END $$")
                        .arg(kConsultant, kPassword));
    }
    void init() { m_messages.emplace(); }
    void cleanup()
    {
        Ui::CloseAllWindows();
        m_messages.reset();
        qunsetenv("PGPASSWORD");
        qunsetenv("PGPASSFILE");
        DBEngine::SetStatementLimitMs(10000);
        DBEngine::SetBusyTimeoutMs(5000);
        DBEngine::CloseIdleConnections();
    }

    // What a consultant tried in psql, and what even the owner cannot store:
    // every desktop goes on showing what the program stored.
    void consultantCannotFalsify_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("said");
        const QString answers = QStringLiteral("SELECT public.quelt_store_answers(%1) ");
        QTest::newRow("answer inserted directly")
            << "anna"
            << "INSERT INTO public.survey_results VALUES (1, %Q, 3)"
            << "permission denied";
        QTest::newRow("answer 99")
            << "anna" << answers.arg("1, ARRAY[%Q], ARRAY[99]") << "survey_results_answer_check";
        QTest::newRow("answer -5")
            << "anna" << answers.arg("1, ARRAY[%Q], ARRAY[-5]") << "survey_results_answer_check";
        QTest::newRow("question 99999") << "anna" << answers.arg("1, ARRAY[99999], ARRAY[3]")
                                        << "survey_results_question_id_fkey";
        QTest::newRow("survey that does not exist")
            << "anna" << answers.arg("777, ARRAY[%Q], ARRAY[3]") << "survey_results_survey_id_fkey";
        QTest::newRow("new model row") << "anna"
                                       << "INSERT INTO public.model_row VALUES (9, 'x')"
                                       << "permission denied";
        QTest::newRow("header 40000") << "anna"
                                      << "INSERT INTO public.survey VALUES (40000, 'x', 'y')"
                                      << "permission denied";
        QTest::newRow("another login as who stored") << "anna"
                                                     << "UPDATE public.survey SET stored_by = 'bob'"
                                                     << "permission denied";
        // Corrections go only through the functions, which keep the history.
        QTest::newRow("answer changed directly") << "anna"
                                                 << "UPDATE public.survey_results SET answer = 4"
                                                 << "permission denied";
        QTest::newRow("answers deleted directly") << "anna"
                                                  << "DELETE FROM public.survey_results"
                                                  << "permission denied";
        QTest::newRow("header changed directly") << "anna"
                                                 << "UPDATE public.survey SET company = 'x'"
                                                 << "permission denied";
        QTest::newRow("a change as another login")
            << "anna"
            << "INSERT INTO public.history_change (made_at, made_by, action, answers) VALUES "
               "('2020-01-01T00:00:00Z', 'bob', 'company', 0)"
            << "permission denied";
        QTest::newRow("history emptied") << "anna"
                                         << "DELETE FROM public.history_answer"
                                         << "permission denied";
        QTest::newRow("question outside the model")
            << "anna"
            << "SELECT public.quelt_store_question('l', 't', 9, 0)"
            << "question_row_id_fkey";
        QTest::newRow("owner: header 40000") << "quelt_admin"
                                             << "INSERT INTO survey VALUES (40000, 'x', 'y')"
                                             << "survey_id_check";
        QTest::newRow("owner: answer 99") << "quelt_admin"
                                          << "INSERT INTO survey_results VALUES (1, %Q, 99)"
                                          << "survey_results_answer_check";
        QTest::newRow("owner: answer to no survey")
            << "quelt_admin"
            << "INSERT INTO survey_results VALUES (777, %Q, 3)"
            << "survey_results_survey_id_fkey";
    }
    void consultantCannotFalsify()
    {
        QFETCH(QString, user);
        QFETCH(QString, sql);
        QFETCH(QString, said);
        TestDb db;
        const qint64 question = threeQuestions(db).first();
        const QString refused =
            refusal(db, user, sql.replace(QStringLiteral("%Q"), QString::number(question)));
        QVERIFY2(refused.contains(said), qPrintable(refused));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
        QCOMPARE(db.count(QStringLiteral("model_row")), 3);
        QCOMPARE(db.value(QStringLiteral("SELECT string_agg(stored_by, ',') FROM survey")),
                 QVariant(QStringLiteral("quelt_admin")));
        asConsultant(db);
        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QCOMPARE(Ui::Find<TextBox>(Ui::FindWindow(QStringLiteral("frmNewSurvey")),
                                   QStringLiteral("txtSurveyID"))
                     ->text(),
                 QStringLiteral("2"));
        QVERIFY(m_messages->messages.isEmpty());
    }

    // Whatever would change what the program's statements do on the five
    // tables, put there between choosing a cell and Submit: refused, naming
    // it, with nothing stored, and listed by check; or, where the pinned
    // search path and the named schema make it harmless, stored and shown
    // as it should be.
    void hazardsOnTheTables_data()
    {
        QTest::addColumn<QStringList>("setUp");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QStringList>("cleanUp");
        QTest::newRow("trigger deleting the new row")
            << QStringList{"CREATE FUNCTION wipe() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                           "DELETE FROM survey_results WHERE entry = NEW.entry; RETURN NULL; END "
                           "$$",
                           "CREATE TRIGGER wipe AFTER INSERT ON survey_results FOR EACH ROW "
                           "EXECUTE FUNCTION wipe()"}
            << "the trigger \"wipe\" acts on survey_results" << QStringList{};
        QTest::newRow("trigger setting every answer to 4")
            << QStringList{"CREATE FUNCTION four() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                           "NEW.answer := 4; RETURN NEW; END $$",
                           "CREATE TRIGGER four BEFORE INSERT ON survey_results FOR EACH ROW "
                           "EXECUTE FUNCTION four()"}
            << "the trigger \"four\" acts on survey_results" << QStringList{};
        QTest::newRow("view in place of survey_results")
            << QStringList{"ALTER TABLE survey_results RENAME TO kept_results",
                           "CREATE VIEW survey_results AS SELECT * FROM kept_results WHERE false"}
            << "public.survey_results is a view" << QStringList{};
        QTest::newRow("rule adding an update")
            << QStringList{"CREATE RULE zero AS ON INSERT TO survey_results DO ALSO UPDATE "
                           "survey_results SET answer = 0"}
            << "the rule \"zero\" rewrites statements on survey_results" << QStringList{};
        QTest::newRow("row-level security hiding rows")
            << QStringList{"ALTER TABLE survey_results ENABLE ROW LEVEL SECURITY",
                           "CREATE POLICY hide ON survey_results USING (false)"}
            << "row-level security is enabled on survey_results" << QStringList{};
        QTest::newRow("table inheriting from survey_results")
            << QStringList{"CREATE TABLE more_results () INHERITS (survey_results)"}
            << "the table public.more_results inherits from survey_results" << QStringList{};
        QTest::newRow("writing function replaced")
            << QStringList{"CREATE OR REPLACE FUNCTION quelt_store_answers(p_survey integer, "
                           "p_questions integer[], p_answers integer[]) RETURNS integer LANGUAGE "
                           "sql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS "
                           "'SELECT 3'"}
            << "the function public.quelt_store_answers(integer,integer[],integer[]) is not the "
               "one the program made"
            << QStringList{};
        QTest::newRow("schema named like the consultant")
            << QStringList{"CREATE SCHEMA anna AUTHORIZATION anna",
                           "CREATE TABLE anna.survey_results (survey_id integer, question_id "
                           "integer, answer integer)"}
            << "" << QStringList{"DROP SCHEMA anna CASCADE"};
        QTest::newRow("sum() ahead of pg_catalog")
            << QStringList{"CREATE SCHEMA evil",
                           "CREATE FUNCTION evil.zero(bigint, integer) RETURNS bigint LANGUAGE sql "
                           "AS 'SELECT 0::bigint'",
                           "CREATE AGGREGATE evil.sum(integer) (SFUNC = evil.zero, STYPE = "
                           "bigint, INITCOND = '0')",
                           "DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET search_path = evil, "
                           "pg_catalog, public', current_database()); END $$"}
            << ""
            << QStringList{"DO $$ BEGIN EXECUTE format('ALTER DATABASE %I RESET search_path', "
                           "current_database()); END $$",
                           "DROP SCHEMA evil CASCADE"};
    }
    void hazardsOnTheTables()
    {
        QFETCH(QStringList, setUp);
        QFETCH(QString, refused);
        QFETCH(QStringList, cleanUp);
        TestDb db;
        threeQuestions(db);
        const QString location = asConsultant(db);
        QWidget* w = scoredCell();
        for (const QString& sql : setUp)
            db.exec(sql);
        // As at the next login: settings of the database apply to new ones.
        DBEngine::CloseIdleConnections();
        Ui::Click(w, QStringLiteral("butSubmit"));
        const ToolRun check = QueltDb({QStringLiteral("check"), db.location()});
        const ToolRun report =
            QueltDb({QStringLiteral("report"), location, QStringLiteral("--survey"),
                     QStringLiteral("1"), QStringLiteral("--format"), QStringLiteral("csv")});
        const qint64 stored =
            db.value(QStringLiteral("SELECT count(*) FROM public.") +
                     (setUp.first().contains(QLatin1String("RENAME")) ? "kept_results"
                                                                      : "survey_results"))
                .toLongLong();
        // Nothing went into the consultant's own schema.
        if (setUp.join(u' ').contains(QLatin1String("anna.")))
            QCOMPARE(db.count(QStringLiteral("anna.survey_results")), 0);
        for (const QString& sql : cleanUp)
            db.exec(sql);

        if (refused.isEmpty()) {
            QCOMPARE(m_messages->messages, QStringList{QStringLiteral("Survey Submitted")});
            QCOMPARE(stored, 3);
            QVERIFY2(report.out.contains(QLatin1String(",3,9,3.00")), qPrintable(report.out));
            QCOMPARE(check.status, 0);
            return;
        }
        QCOMPARE(m_messages->messages.size(), 1);
        QVERIFY2(m_messages->last().contains(refused) &&
                     m_messages->last().contains(QLatin1String("cannot be used safely")),
                 qPrintable(m_messages->last()));
        QCOMPARE(stored, 0);
        QCOMPARE(report.status, 1);
        QCOMPARE(check.status, 1);
        QVERIFY2(check.out.contains(QStringLiteral("problem: ") + refused) &&
                     check.out.contains(QLatin1String("cannot rely on this database")),
                 qPrintable(check.out));
    }

    // Faults that keep the program running, each reported over the window
    // with what happened in words of its own, and never a password.
    void faultsAreReported_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::newRow("server not running") << "port"
                                            << "The database server could not be reached.";
        QTest::newRow("wrong database") << "database"
                                        << "The database server has no database of that name.";
        QTest::newRow("wrong password")
            << "password"
            << "The database server refused the password given for the login anna.";
        QTest::newRow("no password given") << "nopassword"
                                           << "~/.pgpass";
        QTest::newRow("password file others may read")
            << "pgpass"
            << "is there, but it is ignored because others may read it (its mode "
               "is 0644). Make it the owner's alone with: chmod 600";
        QTest::newRow("key=value settings with a password")
            << "keywords"
            << "written as a server's settings (key=value)";
        QTest::newRow("missing tables") << "tables"
                                        << "relation \"public.survey\" does not exist";
    }
    void faultsAreReported()
    {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        TestDb db;
        QString location = asConsultant(db);
        if (fault == QLatin1String("password"))
            qputenv("PGPASSWORD", "wrong");
        if (fault == QLatin1String("port"))
            location.replace(QStringLiteral("port=5499"), QStringLiteral("port=5498"));
        else if (fault == QLatin1String("database"))
            location.replace(QStringLiteral("postgresql:///"), QStringLiteral("postgresql:///no_"));
        else if (fault == QLatin1String("nopassword") || fault == QLatin1String("pgpass")) {
            qunsetenv("PGPASSWORD");
            const QString file = QDir(db.dir()).filePath(QStringLiteral("pgpass"));
            qputenv("PGPASSFILE", file.toUtf8());
            if (fault == QLatin1String("pgpass")) {
                QFile pgpass(file);
                QVERIFY(pgpass.open(QIODevice::WriteOnly));
                pgpass.write(QStringLiteral("*:*:*:anna:%1\n").arg(kPassword).toUtf8());
                pgpass.close();
                QVERIFY(pgpass.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                                              QFile::ReadGroup | QFile::ReadOther));
            }
        } else if (fault == QLatin1String("keywords"))
            location =
                QStringLiteral("host=%1 dbname=x user=anna password=%2").arg(db.dir(), kPassword);
        else if (fault == QLatin1String("tables"))
            db.exec(QStringLiteral("DROP TABLE survey CASCADE"));
        DBEngine::SetSurveyDatabaseName(location);

        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QCOMPARE(m_messages->messages.size(), 1);
        const QString message = m_messages->last();
        QVERIFY2(message.contains(said), qPrintable(message));
        QVERIFY(!message.contains(kPassword));
        QCOMPARE(message.contains(QStringLiteral("Server: ")), fault != QLatin1String("keywords"));
        QVERIFY(fault == QLatin1String("port") || !message.contains(QLatin1String("reached")));
        // Over the main menu, whose item failed; the program goes on.
        QCOMPARE(m_messages->parents.last(), QStringLiteral("frmMainMenu"));
    }

    // An administrator's psql holds a lock on the answers while a Submit
    // comes: the Submit waits no longer than the lock timeout and names who
    // held it; or, where the server leaves it unanswered past the limit of a
    // round trip, the connection is given up and said so. Either way nothing
    // is stored, and the window's next Submit works.
    void heldLockIsReported_data()
    {
        QTest::addColumn<int>("lockTimeoutMs");
        QTest::addColumn<int>("answerLimitMs");
        QTest::addColumn<QString>("said");
        QTest::newRow("lock timeout") << 300 << 10000
                                      << "The survey database was held locked by psql (login "
                                         "quelt_admin) for longer than this program waits";
        QTest::newRow("no answer") << 30000 << 1500
                                   << "The database server gave no answer for 1.5 seconds, so "
                                      "the program gave up the connection; this step was not "
                                      "done and nothing of it was stored.";
    }
    void heldLockIsReported()
    {
        QFETCH(int, lockTimeoutMs);
        QFETCH(int, answerLimitMs);
        QFETCH(QString, said);
        TestDb db;
        threeQuestions(db);
        DBEngine::SetBusyTimeoutMs(lockTimeoutMs);
        DBEngine::SetStatementLimitMs(answerLimitMs);
        QWidget* w = scoredCell();
        {
            AdminSession psql(db);
            psql.exec(QStringLiteral("BEGIN"));
            psql.exec(QStringLiteral("LOCK TABLE survey_results IN EXCLUSIVE MODE"));
            Ui::Click(w, QStringLiteral("butSubmit"));
            psql.exec(QStringLiteral("ROLLBACK"));
        }
        QCOMPARE(m_messages->messages.size(), 1);
        QVERIFY2(m_messages->last().startsWith(said), qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
        m_messages->messages.clear();
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->messages, QStringList{QStringLiteral("Survey Submitted")});
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);
    }

    // The COMMIT of a Submit goes unanswered (the server waits for a standby
    // that is not there): past the limit the program gives up the
    // connection, asks the server afresh what became of the Submit, ends the
    // session that held it, and finds it stored.
    void unansweredCommitIsSettled()
    {
        TestDb db;
        threeQuestions(db);
        QWidget* w = scoredCell();
        ServerAdmin(QStringLiteral("ALTER SYSTEM SET synchronous_standby_names = 'nobody'"));
        ServerAdmin(QStringLiteral("SELECT pg_reload_conf()"));
        db.exec(QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET "
                               "synchronous_commit = on', current_database()); END $$"));
        QElapsedTimer applied;
        applied.start();
        while (db.value(QStringLiteral("SHOW synchronous_standby_names")).toString() !=
                   QLatin1String("nobody") &&
               applied.elapsed() < 10000)
            QThread::msleep(20);
        DBEngine::CloseIdleConnections();
        DBEngine::SetStatementLimitMs(1500);
        Ui::Click(w, QStringLiteral("butSubmit"));
        ServerAdmin(QStringLiteral("ALTER SYSTEM RESET synchronous_standby_names"));
        ServerAdmin(QStringLiteral("SELECT pg_reload_conf()"));
        db.exec(QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I RESET "
                               "synchronous_commit', current_database()); END $$"));

        QCOMPARE(m_messages->messages, QStringList{QStringLiteral("Survey Submitted")});
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);
        QVERIFY(serverLog().contains(QLatin1String("The transaction has already committed "
                                                   "locally")));
    }

    // The server stops taking connections between two Submits, later the
    // connection is cut in the middle of one, and then the server refuses
    // an answer to a question deleted meanwhile: none stores anything, and
    // each is reported.
    void lostServerStoresNothing()
    {
        TestDb db;
        const QList<qint64> questions = threeQuestions(db);
        QWidget* w = scoredCell();
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);

        const QString name = databaseOf(db);
        ServerAdmin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(name));
        DBEngine::CloseIdleConnections();
        Ui::Click(w, QStringLiteral("butSubmit"));
        ServerAdmin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(name));
        QVERIFY2(m_messages->last().contains(QStringLiteral("not currently accepting")),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);

        // Ended by the server while it waits for a lock in the middle.
        std::atomic<bool> locked = false;
        std::thread other([&] {
            {
                QSqlDatabase c =
                    QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("cutter"));
                c.setConnectOptions(TestServerKeywords() + QStringLiteral(";dbname=") + name);
                c.open();
                QSqlQuery q(c);
                q.exec(QStringLiteral("BEGIN"));
                q.exec(QStringLiteral("LOCK TABLE survey_results IN EXCLUSIVE MODE"));
                locked = true;
                for (int tries = 0; tries < 500; ++tries) {
                    q.exec(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
                    q.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                          "WHERE datname = current_database() AND "
                                          "wait_event_type = 'Lock'"));
                    if (q.next())
                        break;
                    QThread::msleep(10);
                }
                q.exec(QStringLiteral("ROLLBACK"));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("cutter"));
        });
        while (!locked)
            QThread::msleep(5);
        m_messages->choices << QStringLiteral("Add") << QStringLiteral("Add");
        Ui::Click(w, QStringLiteral("butSubmit"));
        other.join();
        QVERIFY2(m_messages->last().contains(QStringLiteral("connection to the database server "
                                                            "was lost, so this step was not done "
                                                            "and nothing of it was stored")),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);

        db.exec(
            QStringLiteral("DELETE FROM survey_results WHERE question_id = %1").arg(questions[1]));
        db.exec(QStringLiteral("DELETE FROM question WHERE id = %1").arg(questions[1]));
        Ui::Click(w, QStringLiteral("butSubmit"));
        QVERIFY2(m_messages->last().contains(QStringLiteral("survey_results_question_id_fkey")),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 2);
    }

    // A server that takes the connection but never answers is given up, and
    // said so, instead of freezing the window. (The location's own
    // connect_timeout wins over the program's 10 seconds.)
    void silentServerTimesOut()
    {
        TestDb db;
        QLocalServer silent;
        QVERIFY(silent.listen(QDir(db.dir()).filePath(QStringLiteral(".s.PGSQL.7777"))));
        DBEngine::SetSurveyDatabaseName(
            QStringLiteral("postgresql:///x?host=%1&port=7777&connect_timeout=2").arg(db.dir()));
        QElapsedTimer timer;
        timer.start();
        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QVERIFY(timer.elapsed() < 8000);
        QVERIFY2(m_messages->last().contains(QStringLiteral("timeout")),
                 qPrintable(m_messages->last()));
    }

    // What the commands that only read ask of the server when they log in,
    // as a server listening on a socket of the test's own sees it: a
    // session that cannot write, and the search path pinned. A command that
    // writes asks for a session that can.
    void readingCommandsAskForReadOnlySessions_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("check") << QStringList{"check"} << true;
        QTest::newRow("report") << QStringList{"report", "--survey", "1"} << true;
        QTest::newRow("export") << QStringList{"export"} << true;
        QTest::newRow("index, which writes") << QStringList{"index"} << false;
    }
    void readingCommandsAskForReadOnlySessions()
    {
        QFETCH(QStringList, command);
        QFETCH(bool, readOnly);
        QTemporaryDir dir;
        QLocalServer server;
        QVERIFY(server.listen(dir.filePath(QStringLiteral(".s.PGSQL.7778"))));
        QProcess tool;
        tool.start(
            QStringLiteral(QUELT_DB_TOOL),
            QStringList{command.first(),
                        QStringLiteral("postgresql:///x?host=%1&port=7778").arg(dir.path())} +
                command.mid(1));
        QVERIFY(server.waitForNewConnection(30000));
        QLocalSocket* login = server.nextPendingConnection();
        QByteArray startup;
        while (login->waitForReadyRead(5000)) {
            startup += login->readAll();
            if (startup.size() >= 4 && startup.size() >= qFromBigEndian<qint32>(startup.data()))
                break;
        }
        login->disconnectFromServer();
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY2(startup.contains("-c search_path=pg_catalog"), startup.constData());
        QCOMPARE(startup.contains("-c default_transaction_read_only=on"), readOnly);
    }

    // Another desktop is in the middle of storing the proposed number when
    // Submit is pressed: this desktop waits for it, then stores the header
    // under the next number and says so.
    void secondDesktopStoresUnderTheNextNumber()
    {
        TestDb db;
        const QString name = databaseOf(db);
        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QWidget* header = Ui::FindWindow(QStringLiteral("frmNewSurvey"));
        QCOMPARE(Ui::Find<TextBox>(header, QStringLiteral("txtSurveyID"))->text(),
                 QStringLiteral("1"));
        Ui::Find<TextBox>(header, QStringLiteral("txtCompletedBy"))->setText(QStringLiteral("A"));
        Ui::Find<TextBox>(header, QStringLiteral("txtCompany"))->setText(QStringLiteral("B"));

        std::atomic<bool> locked = false;
        std::thread other([&] {
            {
                QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"),
                                                           QStringLiteral("other-desktop"));
                c.setConnectOptions(TestServerKeywords() + QStringLiteral(";dbname=") + name);
                c.open();
                QSqlQuery q(c);
                q.exec(QStringLiteral("BEGIN"));
                q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7421, 1)"));
                locked = true;
                QThread::msleep(300);
                q.exec(QStringLiteral("INSERT INTO survey VALUES (1, 'Other', 'Desk')"));
                q.exec(QStringLiteral("COMMIT"));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other-desktop"));
        });
        while (!locked)
            QThread::msleep(5);
        Ui::Click(header, QStringLiteral("butSubmit"));
        other.join();
        QCOMPARE(m_messages->messages,
                 QStringList{QStringLiteral("Survey number 1 was taken in the meantime; this "
                                            "survey was stored as number 2.")});
        QCOMPARE(db.count(QStringLiteral("survey")), 2);
    }

    // Show Results costs the same statements whatever the model's size: the
    // check of what acts on the tables, and one grouped statement.
    void showResultsTakesTwoStatements_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("2 x 2") << 2;
        QTest::newRow("20 x 20") << 20;
    }
    void showResultsTakesTwoStatements()
    {
        QFETCH(int, size);
        QStringList names;
        for (int i = 0; i < size; ++i)
            names.append(QStringLiteral("N%1").arg(i));
        TestDb db(names, names);
        threeQuestions(db);
        db.addAnswer(1, db.addQuestion(size - 1, size - 1, QStringLiteral("Far")), 4);
        Ui::MenuItem(QStringLiteral("miQueltTable"));
        QWidget* w = Ui::FindWindow(QStringLiteral("frmModelTable"));
        Ui::PickText(w, QStringLiteral("cmbSurvey"), QStringLiteral("1"));
        const quint64 before = DBEngine::StatementsSent();
        Ui::Click(w, QStringLiteral("butResults"));
        QCOMPARE(DBEngine::StatementsSent() - before, quint64(2));
        QVERIFY(m_messages->messages.isEmpty());
    }

    // A database as the previous version made it, with the grants its
    // A database of the writing functions' version, before the history: the
    // windows store as before, a Replace is refused with what to do, and
    // once the owner has upgraded it the consultant corrects, recorded as
    // the consultant.
    void upgradeGivesTheHistory()
    {
        TestDb db;
        threeQuestions(db);
        db.exec(QStringLiteral(
            "DROP FUNCTION quelt_replace_answers(integer, integer[], integer[]), "
            "quelt_withdraw_cell(integer, integer, integer), quelt_correct_survey(integer, text, "
            "text), quelt_correct_question(integer, text, text)"));
        db.exec(QStringLiteral("DROP TABLE history_answer, history_change"));
        db.exec(QStringLiteral("CREATE OR REPLACE FUNCTION quelt_schema_version() RETURNS integer "
                               "LANGUAGE sql IMMUTABLE AS $$SELECT 2$$"));
        asConsultant(db);
        QWidget* w = scoredCell();
        Ui::Click(w, QStringLiteral("butSubmit"));
        m_messages->choices << QStringLiteral("Replace");
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->messages.mid(0, 2),
                 (QStringList{"Survey Submitted", "This cell already holds 3 answers for survey "
                                                  "1. Replace the stored answers of the questions "
                                                  "you scored, or Add these as another set?"}));
        QVERIFY2(m_messages->last().contains(QLatin1String("keeps no history of corrections "
                                                           "yet")),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);
        QVERIFY(QueltDb({QStringLiteral("check"), db.location()})
                    .out.contains(QLatin1String("keeps no history of corrections")));

        const ToolRun upgraded = QueltDb({QStringLiteral("upgrade"), db.location()});
        QCOMPARE(upgraded.status, 0);
        QVERIFY2(upgraded.out.contains(QLatin1String("made the history of corrections")) &&
                     !upgraded.out.contains(QLatin1String("writing functions")),
                 qPrintable(upgraded.out));
        DBEngine::CloseIdleConnections();
        m_messages->messages.clear();
        m_messages->choices << QStringLiteral("Replace");
        m_messages->answers << true;
        Ui::Choose(Ui::Row(w, 0), 4);
        Ui::Click(w, QStringLiteral("butSubmit"));
        Ui::Click(w, QStringLiteral("butWithdraw"));
        QCOMPARE(m_messages->last(),
                 QStringLiteral("Withdrew 3 answers of survey 1 from this cell."));
        QCOMPARE(HistoryOf(db),
                 (QStringList{"replaced by anna:  -> 4", "replaced by anna:  -> 3",
                              "replaced by anna:  -> 3", "withdrawn by anna:  -> "}));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 0);
        QCOMPARE(db.count(QStringLiteral("history_answer")), 6);
        QCOMPARE(QueltDb({QStringLiteral("check"), db.location()}).status, 0);
    }

    // README gave: the windows still work on it and check says to upgrade.
    // A row the new constraints refuse stops the upgrade, changing nothing;
    // once that is mended, upgrade makes it as init would, takes the direct
    // rights away, and the old rows are noted as having no record.
    void upgradeMakesAnEarlierDatabaseSafe()
    {
        TestDb db({QStringLiteral("Row A")}, {QStringLiteral("Col A")}, true);
        db.exec(QStringLiteral("DROP TABLE question, survey, survey_results, model_row, "
                               "model_column"));
        for (const char* sql :
             {"CREATE TABLE model_row (row_number integer NOT NULL PRIMARY KEY, name text NOT "
              "NULL)",
              "CREATE TABLE model_column (col_number integer NOT NULL PRIMARY KEY, name text "
              "NOT NULL)",
              "CREATE TABLE question (id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
              "label text NOT NULL, question_text text NOT NULL, row_id integer NOT NULL, "
              "col_id integer NOT NULL)",
              "CREATE TABLE survey (id integer NOT NULL PRIMARY KEY, completed_by text NOT "
              "NULL, company text NOT NULL)",
              "CREATE TABLE survey_results (survey_id integer NOT NULL, question_id integer "
              "NOT NULL, answer integer NOT NULL, entry bigint GENERATED ALWAYS AS IDENTITY)",
              "INSERT INTO model_row VALUES (0, 'Row A')",
              "INSERT INTO model_column VALUES (0, 'Col A')",
              "GRANT USAGE ON SCHEMA public TO quelt_consultant",
              "GRANT SELECT, INSERT ON model_row, model_column, question, survey, "
              "survey_results TO quelt_consultant",
              "GRANT USAGE ON SEQUENCE question_id_seq TO quelt_consultant"})
            db.exec(QString::fromLatin1(sql));
        threeQuestions(db);
        db.addAnswer(1, db.value(QStringLiteral("SELECT min(id) FROM question")).toInt(), 7);

        asConsultant(db);
        m_messages->choices << QStringLiteral("Add");
        Ui::Click(scoredCell(), QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->last(), QStringLiteral("Survey Submitted"));
        const ToolRun before = QueltDb({QStringLiteral("check"), db.location()});
        QCOMPARE(before.status, 1);
        QVERIFY2(before.out.contains(QLatin1String("made by an earlier version")) &&
                     before.out.contains(QLatin1String("problem: the role quelt_consultant may "
                                                       "INSERT on survey_results directly")),
                 qPrintable(before.out));

        const ToolRun refused = QueltDb({QStringLiteral("upgrade"), db.location()});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains(QLatin1String("survey_results_answer_check")),
                 qPrintable(refused.err));
        db.exec(QStringLiteral("DELETE FROM survey_results WHERE answer = 7"));
        const ToolRun upgraded = QueltDb({QStringLiteral("upgrade"), db.location()});
        QCOMPARE(upgraded.status, 0);
        QVERIFY2(upgraded.out.contains(QLatin1String("took INSERT on survey_results from "
                                                     "quelt_consultant")),
                 qPrintable(upgraded.out));
        const ToolRun after = QueltDb({QStringLiteral("check"), db.location()});
        QCOMPARE(after.status, 0);
        QVERIFY2(after.out.contains(QLatin1String("survey_results: 3 rows with no record")),
                 qPrintable(after.out));
        QVERIFY(refusal(db, kConsultant,
                        QStringLiteral("INSERT INTO public.survey_results VALUES (1, 1, 3)"))
                    .contains(QLatin1String("permission denied")));
        QVERIFY(QueltDb({QStringLiteral("upgrade"), db.location()})
                    .out.contains(QLatin1String("is up to date (version 3)")));

        m_messages->messages.clear();
        m_messages->choices << QStringLiteral("Replace");
        Ui::Click(Ui::FindWindow(QStringLiteral("frmSurvey")), QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->last(), QStringLiteral("Survey Submitted"));
        // The consultant's Replace took the answers stored before the
        // upgrade into the history, under the consultant's login.
        QCOMPARE(db.value(QStringLiteral("SELECT count(*) FROM survey_results WHERE stored_by = "
                                         "'anna'"))
                     .toInt(),
                 3);
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);
        QCOMPARE(HistoryOf(db), QStringList(3, QStringLiteral("replaced by anna:  -> 3")));
    }
};

QUELT_TEST(ServerTest);
#include "ServerTest.moc"
