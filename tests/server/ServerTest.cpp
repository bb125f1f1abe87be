#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "common/Ui.h"

#include "platform/DbEngine.h"
#include "platform/QueltError.h"
#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

// What only a server has: its faults, its rights, its round trips. Every
// test works on a fixture database of the test server (QUELT_TEST_BACKEND is
// set for this area), through the windows.
namespace {

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

void threeQuestions(const TestDb& db)
{
    db.addSurvey(1);
    for (int q = 0; q < 3; ++q)
        db.addQuestion(0, 0, QStringLiteral("Q%1").arg(q), QStringLiteral("L%1").arg(q));
}

// A role of the test server with exactly the rights README grants a
// consultant, and its password.
const QString kConsultant = QStringLiteral("quelt_consultant");
const QString kPassword = QStringLiteral("consultant-secret");

void grantConsultant(const TestDb& db)
{
    db.exec(QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                           "'%1') THEN CREATE ROLE %1 LOGIN PASSWORD '%2'; END IF; END $$")
                .arg(kConsultant, kPassword));
    db.exec(QStringLiteral("GRANT USAGE ON SCHEMA public TO ") + kConsultant);
    db.exec(QStringLiteral("GRANT SELECT, INSERT ON model_row, model_column, question, survey, "
                           "survey_results TO ") +
            kConsultant);
    db.exec(QStringLiteral("GRANT USAGE ON SEQUENCE question_id_seq TO ") + kConsultant);
}

QString asConsultant(const TestDb& db)
{
    return QString(db.location())
        .replace(QStringLiteral("user=quelt_admin"), QStringLiteral("user=") + kConsultant);
}

} // namespace

class ServerTest : public QObject
{
    Q_OBJECT

    std::optional<MessageCapture> m_messages;

private Q_SLOTS:
    void initTestCase() { qputenv("QUELT_TEST_BACKEND", "server"); }
    void init() { m_messages.emplace(); }
    void cleanup()
    {
        Ui::CloseAllWindows();
        m_messages.reset();
        qunsetenv("PGPASSWORD");
        qunsetenv("PGPASSFILE");
    }

    // Every window's work as a role that may only read and add rows, as a
    // consultant's: questions, a survey header, answers and the results.
    void consultantRightsSuffice()
    {
        TestDb db;
        grantConsultant(db);
        qputenv("PGPASSWORD", kPassword.toUtf8());
        DBEngine::SetSurveyDatabaseName(asConsultant(db));

        Ui::MenuItem(QStringLiteral("miAddQuestion"));
        QWidget* question = Ui::FindWindow(QStringLiteral("frmQuestion"));
        Ui::Pick(question, QStringLiteral("cmbModelRow"), 0);
        Ui::Pick(question, QStringLiteral("cmbModelCol"), 0);
        for (int q = 0; q < 3; ++q) {
            Ui::Find<TextBox>(question, QStringLiteral("txtLabel"))->setText(QStringLiteral("L"));
            Ui::Find<MultiLineTextBox>(question, QStringLiteral("txtQuestion"))
                ->setText(QStringLiteral("Q"));
            Ui::Click(question, QStringLiteral("butSubmit"));
        }
        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QWidget* header = Ui::FindWindow(QStringLiteral("frmNewSurvey"));
        QCOMPARE(Ui::Find<TextBox>(header, QStringLiteral("txtSurveyID"))->text(),
                 QStringLiteral("1"));
        Ui::Find<TextBox>(header, QStringLiteral("txtCompletedBy"))->setText(QStringLiteral("A"));
        Ui::Find<TextBox>(header, QStringLiteral("txtCompany"))->setText(QStringLiteral("B"));
        Ui::Click(header, QStringLiteral("butSubmit"));
        Ui::Click(scoredCell(), QStringLiteral("butSubmit"));
        Ui::MenuItem(QStringLiteral("miQueltTable"));
        QWidget* results = Ui::FindWindow(QStringLiteral("frmModelTable"));
        Ui::PickText(results, QStringLiteral("cmbSurvey"), QStringLiteral("1"));
        Ui::Click(results, QStringLiteral("butResults"));

        QCOMPARE(m_messages->messages, QStringList{QStringLiteral("Survey Submitted")});
        QCOMPARE(db.count(QStringLiteral("question")), 3);
        QCOMPARE(db.count(QStringLiteral("survey")), 1);
        QCOMPARE(db.value(QStringLiteral("SELECT sum(answer) FROM survey_results")).toInt(), 9);
    }

    // Faults that keep the program running, each reported over the window
    // with the server named and no password anywhere in the message.
    void faultsAreReported_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::newRow("server not running") << "port"
                                            << "could not be reached";
        QTest::newRow("wrong database") << "database"
                                        << "does not exist";
        QTest::newRow("login refused") << "password"
                                       << "password authentication failed";
        QTest::newRow("no password given") << "nopassword"
                                           << "~/.pgpass";
        QTest::newRow("missing tables") << "tables"
                                        << "relation \"survey\" does not exist";
    }
    void faultsAreReported()
    {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        TestDb db;
        grantConsultant(db);
        QString location = asConsultant(db);
        qputenv("PGPASSWORD", fault == QLatin1String("password") ? "wrong" : kPassword.toUtf8());
        if (fault == QLatin1String("port"))
            location.replace(QStringLiteral("port=5499"), QStringLiteral("port=5498"));
        else if (fault == QLatin1String("database"))
            location.replace(QStringLiteral("postgresql:///"), QStringLiteral("postgresql:///no_"));
        else if (fault == QLatin1String("nopassword")) {
            qunsetenv("PGPASSWORD");
            qputenv("PGPASSFILE", QDir(db.dir()).filePath(QStringLiteral("none")).toUtf8());
        } else if (fault == QLatin1String("tables"))
            db.exec(QStringLiteral("DROP TABLE survey"));
        DBEngine::SetSurveyDatabaseName(location);

        Ui::MenuItem(QStringLiteral("miCompleteSurvey"));
        QCOMPARE(m_messages->messages.size(), 1);
        const QString message = m_messages->last();
        QVERIFY2(message.contains(said), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Server: ")), qPrintable(message));
        QVERIFY(!message.contains(kPassword));
        // Over the main menu, whose item failed; the program goes on.
        QCOMPARE(m_messages->parents.last(), QStringLiteral("frmMainMenu"));
    }

    // The server stops taking connections between two Submits, later the
    // connection is cut in the middle of one (its backend ended after the
    // second answer), and then it refuses an answer: none stores anything,
    // and each is reported.
    void lostServerStoresNothing()
    {
        TestDb db;
        threeQuestions(db);
        QWidget* w = scoredCell();
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);

        const QString name = db.value(QStringLiteral("SELECT current_database()")).toString();
        ServerAdmin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(name));
        Ui::Click(w, QStringLiteral("butSubmit"));
        ServerAdmin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(name));
        QVERIFY2(m_messages->last().contains(QStringLiteral("not currently accepting")),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);

        db.exec(QStringLiteral(
            "CREATE FUNCTION cut() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "IF (SELECT count(*) FROM survey_results) >= 5 THEN "
            "PERFORM pg_terminate_backend(pg_backend_pid()); END IF; RETURN NEW; END $$"));
        db.exec(QStringLiteral("CREATE TRIGGER cut BEFORE INSERT ON survey_results FOR EACH ROW "
                               "EXECUTE FUNCTION cut()"));
        Ui::Click(w, QStringLiteral("butSubmit"));
        QVERIFY2(m_messages->last().contains(QStringLiteral("connection to the database server "
                                                            "was lost")),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);

        db.exec(QStringLiteral("DROP TRIGGER cut ON survey_results"));

        // Refused by the server at the second of the cell's answers, which
        // reach it together: its words and the refused statement are told.
        db.exec(
            QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                           "IF (SELECT count(*) FROM survey_results) >= 4 THEN "
                           "RAISE EXCEPTION 'second answer refused'; END IF; RETURN NEW; END $$"));
        db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON survey_results FOR EACH "
                               "ROW EXECUTE FUNCTION refuse()"));
        Ui::Click(w, QStringLiteral("butSubmit"));
        const QString second =
            db.value(QStringLiteral("SELECT id FROM question ORDER BY id OFFSET 1")).toString();
        QVERIFY2(m_messages->last().contains(QStringLiteral("second answer refused")) &&
                     m_messages->last().contains(QStringLiteral("VALUES (1, %1, 3)").arg(second)),
                 qPrintable(m_messages->last()));
        QCOMPARE(db.count(QStringLiteral("survey_results")), 3);
        db.exec(QStringLiteral("DROP TRIGGER refuse ON survey_results"));

        m_messages->messages.clear();
        Ui::Click(w, QStringLiteral("butSubmit"));
        QCOMPARE(m_messages->messages, QStringList{QStringLiteral("Survey Submitted")});
        QCOMPARE(db.count(QStringLiteral("survey_results")), 6);
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

    // Another desktop is in the middle of storing the proposed number when
    // Submit is pressed: this desktop waits for it, then proposes the next
    // number as with a file, rather than failing on the duplicate.
    void secondDesktopWaitsForTheFirst()
    {
        TestDb db;
        const QString name = db.value(QStringLiteral("SELECT current_database()")).toString();
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
                 QStringList{QStringLiteral(
                     "Survey number 1 is already stored; number 2 is proposed instead.")});
        QCOMPARE(db.count(QStringLiteral("survey")), 1);
    }

    // Show Results costs the same statements whatever the model's size: one.
    void showResultsIsOneStatement_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("2 x 2") << 2;
        QTest::newRow("20 x 20") << 20;
    }
    void showResultsIsOneStatement()
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
        QCOMPARE(DBEngine::StatementsSent() - before, quint64(1));
        QVERIFY(m_messages->messages.isEmpty());
    }
};

QUELT_TEST(ServerTest);
#include "ServerTest.moc"
