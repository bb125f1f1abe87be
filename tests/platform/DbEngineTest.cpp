#include "common/TestDb.h"
#include "common/TestRegistry.h"

#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <thread>

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Runs fn and gives the error it threw; fails and ends the test when it
// threw none.
template <class F>
QueltError expectError(F fn, std::source_location where = std::source_location::current())
{
    try {
        fn();
    } catch (const QueltError& e) {
        return e;
    }
    FailTest(QStringLiteral("no error was raised"), where);
}

// Holds a lock on a file through a connection of its own, as another
// program would.
class OtherProgram
{
public:
    explicit OtherProgram(const QString& path) : m_name(QStringLiteral("other-program"))
    {
        OpenExisting(m_name, path);
    }
    ~OtherProgram()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name);
        return QSqlQuery(db).exec(sql);
    }

private:
    QString m_name;
};

} // namespace

class DbEngineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { DBEngine::SetBusyTimeoutMs(5000); }

    void cleanup()
    {
        DBEngine::SetBusyTimeoutMs(5000);
        DBEngine::SetStatementLimitMs(10000);
        // Every engine object let go of its connection, whatever happened.
        QVERIFY2(QSqlDatabase::connectionNames().isEmpty(),
                 qPrintable(QSqlDatabase::connectionNames().join(u',')));
    }

    void readsRowsFieldsAndNulls()
    {
        TestDb fixture;
        fixture.addSurvey(4, QStringLiteral("  Ann  "), QStringLiteral("X"));
        fixture.exec(QStringLiteral("INSERT INTO model_row VALUES (7, ' Padded ')"));

        Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
        QCOMPARE(db.FileName(), QDir::current().absoluteFilePath(QStringLiteral("quelt.mdb")));

        Recordset rows =
            db.CreateQueryDef(QStringLiteral("SELECT row_number, name FROM model_row ORDER BY 1"))
                .OpenRecordset();
        QStringList seen;
        while (!rows.Eof()) {
            seen << rows.FieldText(QStringLiteral("name")) +
                        QString::number(rows.FieldInt16(QStringLiteral("row_number")));
            rows.MoveNext();
        }
        QCOMPARE(seen, (QStringList{"Row A0", "Row B1", "Row C2", "Padded7"}));

        // Aggregates give exactly one row; MAX and SUM of nothing are null.
        Recordset agg = db.CreateQueryDef(QStringLiteral(
                              "SELECT MAX(id) as iMax, COUNT(id) as iCount FROM survey WHERE id > 9"))
                            .OpenRecordset();
        QVERIFY(!agg.Eof());
        QVERIFY(agg.Fields(QStringLiteral("iMax")).isNull());
        QCOMPARE(agg.FieldInt16(QStringLiteral("iCount")), qint16(0));
        QCOMPARE(agg.FieldText(QStringLiteral("iMax")), QString());
        agg.MoveNext();
        QVERIFY(agg.Eof());
        // Past the end stays at the end; the query does not start over.
        agg.MoveNext();
        QVERIFY(agg.Eof());

        Recordset none =
            db.CreateQueryDef(QStringLiteral("SELECT id FROM survey WHERE id = 99")).OpenRecordset();
        QVERIFY(none.Eof());
        const QueltError noRow = expectError([&] { none.Fields(QStringLiteral("id")); });
        QVERIFY(noRow.action().contains(QStringLiteral("no current row")));
    }

    void executeWritesAndTransactions()
    {
        TestDb fixture;
        {
            Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
            QCOMPARE(db.Execute(QStringLiteral("INSERT INTO survey VALUES (1, 'a', 'b')")), 1);
            {
                Transaction t(db);
                db.Execute(QStringLiteral("INSERT INTO survey VALUES (2, 'a', 'b')"));
                // No Commit: leaving the scope stores none of the batch.
            }
            {
                Transaction t(db);
                db.Execute(QStringLiteral("INSERT INTO survey VALUES (3, 'a', 'b')"));
                t.Commit();
            }
        }
        QCOMPARE(fixture.rows(QStringLiteral("SELECT id FROM survey ORDER BY id")),
                 (QList<QVariantList>{{1}, {3}}));
    }

    // Every way an operation can fail gives a clear error that names the
    // file, and leaves no file created or changed.
    void failuresNameTheFileAndChangeNothing()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString path = dir.filePath(QStringLiteral("quelt.mdb"));

        QueltError missing = expectError([] { DBEngine::OpenDatabase(QStringLiteral("quelt.mdb")); });
        QVERIFY(missing.message().contains(dir.path()));
        QCOMPARE(missing.file(), path);
        QVERIFY(!QFile::exists(path));

        // Not a database: refused at once, left byte for byte.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray junk("This is a letter, not a survey database.\n");
            f.write(junk.repeated(200));
        }
        const QByteArray before = fileHash(path);
        QueltError junk = expectError([] { DBEngine::OpenDatabase(QStringLiteral("quelt.mdb")); });
        QVERIFY2(junk.engineText().contains(QStringLiteral("not a database")),
                 qPrintable(junk.message()));
        QCOMPARE(junk.file(), path);
        QCOMPARE(fileHash(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));

        // An empty file is an empty database: the tables are missing.
        QFile::remove(path);
        { QFile f(path); QVERIFY(f.open(QIODevice::WriteOnly)); }
        Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
        QueltError noTable = expectError(
            [&] { db.CreateQueryDef(QStringLiteral("SELECT id FROM survey")).OpenRecordset(); });
        QVERIFY(noTable.engineText().contains(QStringLiteral("no such table: survey")));
        QCOMPARE(noTable.statement(), QStringLiteral("SELECT id FROM survey"));
        QVERIFY(noTable.message().contains(path));
        db.Close();
        QCOMPARE(QFileInfo(path).size(), 0);

        QDir::setCurrent(previous);
    }

    void rejectedStatementsGiveTheEngineWords_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("words");
        QTest::addColumn<bool>("read");
        QTest::newRow("missing column") << "SELECT missing FROM survey" << "no such column: missing" << true;
        QTest::newRow("missing table") << "INSERT INTO nowhere VALUES (1)" << "no such table: nowhere" << false;
        QTest::newRow("syntax") << "SELEKT 1" << "syntax error" << true;
        QTest::newRow("duplicate key") << "INSERT INTO survey VALUES (1, 'a', 'b')" << "UNIQUE" << false;
        // Whatever follows the first statement would otherwise run unseen.
        // Refused before it runs: nothing is written.
        QTest::newRow("a write read as a query") << "INSERT INTO survey VALUES (2, 'a', 'b')"
                                                 << "" << true;
        QTest::newRow("two statements")
            << "INSERT INTO survey VALUES (2, 'a', 'b'); DELETE FROM survey" << "one statement"
            << false;
    }

    void rejectedStatementsGiveTheEngineWords()
    {
        QFETCH(QString, sql);
        QFETCH(QString, words);
        QFETCH(bool, read);
        TestDb fixture;
        fixture.addSurvey(1);
        Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
        QueltError e = expectError([&] {
            QueryDef qd = db.CreateQueryDef(sql);
            if (read)
                qd.OpenRecordset();
            else
                qd.Execute();
        });
        QVERIFY2(e.engineText().contains(words), qPrintable(e.message()));
        QCOMPARE(e.statement(), sql);
        QCOMPARE(e.file(), fixture.path());
        QCOMPARE(fixture.count(QStringLiteral("survey")), 1);
    }

    void unusualFolderNames()
    {
        // The file name travels as a URI: these characters must not cut it.
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("O'Brien's #1 ?100% ü"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/quelt.mdb");
        { Database created = DBEngine::CreateDatabase(path); created.Execute(QStringLiteral("CREATE TABLE t (x)")); }
        Database db = DBEngine::OpenDatabase(path);
        QCOMPARE(db.FileName(), path);
        db.Execute(QStringLiteral("INSERT INTO t VALUES (1)"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("quelt.mdb")});
    }

    // What a file holds never acts on the program's connection: its
    // triggers do not fire, its views are not read, a value longer than the
    // program reads is refused, and a statement that runs past the limit is
    // stopped, after which the connection goes on.
    void fileCannotActOnTheConnection()
    {
        TestDb fixture;
        fixture.addSurvey(1);
        fixture.exec(QStringLiteral("CREATE TRIGGER wipe AFTER INSERT ON survey BEGIN "
                                    "DELETE FROM survey; END"));
        fixture.exec(QStringLiteral("CREATE VIEW fours AS SELECT 4 AS answer"));
        fixture.exec(QStringLiteral(
            "UPDATE survey SET company = printf('%.*c', 1000001, 'x') WHERE id = 1"));
        DBEngine::SetStatementLimitMs(200);
        Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
        QCOMPARE(db.Execute(QStringLiteral("INSERT INTO survey VALUES (2, 'a', 'b')")), 1);
        QCOMPARE(fixture.count(QStringLiteral("survey")), 2);

        const auto read = [&](const char* sql) {
            return expectError(
                [&] { db.CreateQueryDef(QString::fromLatin1(sql)).OpenRecordset(); });
        };
        QVERIFY(read("SELECT answer FROM fours").engineText().contains(QLatin1String("view")));
        QVERIFY(read("SELECT company FROM survey")
                    .action()
                    .contains(QLatin1String("longer than the 1,000,000 bytes")));
        const QueltError stopped =
            read("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
                 "SELECT count(*) AS c FROM n");
        QVERIFY2(stopped.action().contains(QLatin1String(
                     "the file made a statement run for more than 0.2 s; run quelt-db check")),
                 qPrintable(stopped.message()));
        QCOMPARE(db.Execute(QStringLiteral("INSERT INTO survey VALUES (3, 'a', 'b')")), 1);

        // Rows that each come well within the limit, but not all of them
        // together: the limit is the statement's, not a row's.
        const auto slowRows = [](int rows) {
            return QStringLiteral(
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                       "WHERE i < %1) SELECT (WITH RECURSIVE m(j) AS (SELECT 1 UNION "
                       "ALL SELECT j + 1 FROM m WHERE j < 20000 + i % 1) SELECT count(*) "
                       "FROM m) AS c FROM n")
                .arg(rows);
        };
        const QueltError rowByRow = expectError([&] {
            for (Recordset rs = db.CreateQueryDef(slowRows(200)).OpenRecordset(); !rs.Eof();)
                rs.MoveNext();
        });
        QVERIFY2(rowByRow.action().contains(QLatin1String("more than 0.2 s")),
                 qPrintable(rowByRow.message()));

        // Statements that each come within the limit, but not together,
        // within one action: the action is stopped.
        const QueltError action = expectError([&] {
            const EngineAction click;
            for (int i = 0; i < 1000; ++i)
                db.CreateQueryDef(slowRows(5)).OpenRecordset().Close();
        });
        QVERIFY2(action.action().contains(QLatin1String(
                     "the file kept the database engine busy for more than 0.2 s in all")),
                 qPrintable(action.message()));
    }

    void createRefusesAnExistingFile()
    {
        TestDb fixture;
        const QByteArray before = fileHash(fixture.path());
        expectError([&] { DBEngine::CreateDatabase(fixture.path()); });
        QCOMPARE(fileHash(fixture.path()), before);
    }

    // Another program holds the file: reading waits through the busy timeout
    // and then fails; with a write lock only, reading still works and writing
    // fails; once the lock is gone the same action succeeds.
    void lockedFile()
    {
        TestDb fixture;
        DBEngine::SetBusyTimeoutMs(200);
        {
            OtherProgram other(fixture.path());
            QVERIFY(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
            QVERIFY(other.exec(QStringLiteral("INSERT INTO survey VALUES (9, 'x', 'y')")));
            Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
            Recordset rs = db.CreateQueryDef(QStringLiteral("SELECT count(*) AS n FROM survey"))
                               .OpenRecordset();
            QCOMPARE(rs.FieldInt16(QStringLiteral("n")), qint16(0));
            rs.Close();
            QueltError locked = expectError(
                [&] { db.Execute(QStringLiteral("INSERT INTO survey VALUES (1, 'a', 'b')")); });
            QVERIFY2(locked.engineText().contains(QStringLiteral("locked")), qPrintable(locked.message()));
            QCOMPARE(locked.file(), fixture.path());
        }
        {
            OtherProgram other(fixture.path());
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QueltError locked =
                expectError([] { DBEngine::OpenDatabase(QStringLiteral("quelt.mdb")); });
            QVERIFY2(locked.engineText().contains(QStringLiteral("locked")), qPrintable(locked.message()));
        }
        Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
        db.Execute(QStringLiteral("INSERT INTO survey VALUES (1, 'a', 'b')"));
        db.Close();
        QCOMPARE(fixture.count(QStringLiteral("survey")), 1);
    }

    // A transaction that reads before it writes waits for another writer
    // instead of failing at once.
    void beginImmediateWaitsForAnotherWriter()
    {
        TestDb fixture;
        std::atomic<bool> locked = false;
        // (A test can only fail on its own thread: the writer reports back.)
        bool wrote = false;
        std::thread other([&] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                            QStringLiteral("writer-thread"));
                OnExistingFile(db, fixture.path());
                wrote = db.open();
                QSqlQuery q(db);
                wrote = wrote && q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                        q.exec(QStringLiteral("INSERT INTO survey VALUES (1, 'other', 'copy')"));
                locked = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                wrote = wrote && q.exec(QStringLiteral("COMMIT"));
                q.finish();
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("writer-thread"));
        });
        while (!locked)
            std::this_thread::yield();
        {
            Database db = DBEngine::OpenDatabase(QStringLiteral("quelt.mdb"));
            Transaction t(db);
            Recordset rs = db.CreateQueryDef(QStringLiteral("SELECT MAX(id) as iMax from survey "))
                               .OpenRecordset();
            const qint16 next = rs.FieldInt16(QStringLiteral("iMax")) + 1;
            rs.Close();
            db.Execute(QStringLiteral("INSERT INTO survey VALUES (%1, 'me', 'here')").arg(next));
            t.Commit();
        }
        other.join();
        QVERIFY(wrote);
        QCOMPARE(fixture.rows(QStringLiteral("SELECT id, completed_by FROM survey ORDER BY id")),
                 (QList<QVariantList>{{1, "other"}, {2, "me"}}));
    }
};

QUELT_TEST(DbEngineTest);
#include "DbEngineTest.moc"
