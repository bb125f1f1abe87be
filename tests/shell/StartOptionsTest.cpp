#include "common/TestRegistry.h"

#include "shell/frmMain.h"

#include <QProcess>
#include <QTest>

// The program's command line: which database every window works on.
class StartOptionsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chooseTheDatabase_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("error");
        const QString uri = QStringLiteral("postgresql://anna@db:5432/quelt?sslmode=verify-full");
        QTest::newRow("nothing") << QStringList() << QString() << "quelt.mdb" << QString();
        QTest::newRow("environment") << QStringList() << uri << uri << QString();
        QTest::newRow("option wins")
            << QStringList{"--database", "team.mdb"} << uri << "team.mdb" << QString();
        QTest::newRow("option with =")
            << QStringList{"--database=" + uri} << QString() << uri << QString();
        QTest::newRow("no value") << QStringList{"--database"} << QString() << "quelt.mdb"
                                  << "--database needs a LOCATION";
        QTest::newRow("empty value") << QStringList{"--database="} << QString() << QString()
                                     << "--database needs a LOCATION";
        QTest::newRow("twice") << QStringList{"--database", "a", "--database", "b"} << QString()
                               << "b"
                               << "--database is given more than once";
        QTest::newRow("unknown") << QStringList{"--data", "a"} << QString() << "quelt.mdb"
                                 << "unknown argument '--data'";
    }
    void chooseTheDatabase()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, environment);
        const StartOptions options = ParseStartOptions(args, environment);
        QTEST(options.error, "error");
        if (options.error.isEmpty())
            QTEST(options.database, "database");
    }

    // Help and version come without a display, even beside a wrong argument;
    // a wrong argument alone is refused.
    void helpAndVersion()
    {
        QProcess quelt;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none"));
        quelt.setProcessEnvironment(environment);
        quelt.start(QStringLiteral(QUELT_PROGRAM), {QStringLiteral("--version")});
        QVERIFY(quelt.waitForFinished(10000));
        QCOMPARE(quelt.exitCode(), 0);
        QCOMPARE(quelt.readAllStandardOutput(), QByteArray("quelt " QUELT_VERSION "\n"));
        quelt.start(QStringLiteral(QUELT_PROGRAM),
                    {QStringLiteral("--bogus"), QStringLiteral("--help")});
        QVERIFY(quelt.waitForFinished(10000));
        QCOMPARE(quelt.exitCode(), 0);
        const QString help = QString::fromUtf8(quelt.readAllStandardOutput());
        QVERIFY(help.contains(QStringLiteral("--database LOCATION")));
        QVERIFY(help.contains(QStringLiteral("QUELT_DATABASE")));

        // A wrong argument is repeated as the terminal must show it.
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        quelt.setProcessEnvironment(environment);
        quelt.start(QStringLiteral(QUELT_PROGRAM), {QStringLiteral("--bogus\x1b]0;x\x07")});
        QVERIFY(quelt.waitForFinished(10000));
        QCOMPARE(quelt.exitCode(), 2);
        QVERIFY2(quelt.readAllStandardError().contains("unknown argument '--bogus\\e]0;x\\x07'"),
                 "the argument is not shown visibly");
    }
};

QUELT_TEST(StartOptionsTest);
#include "StartOptionsTest.moc"
