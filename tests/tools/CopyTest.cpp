#include "ToolRun.h"
#include "common/TestDb.h"
#include "common/TestRegistry.h"

#include <QFile>
#include <QTest>

// quelt-db copy and init between files and the test server: what goes over
// comes back the same, and a target that holds data is never touched.
class CopyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileToServerAndBack()
    {
        QTemporaryDir dir;
        const QString demo = dir.filePath(QStringLiteral("demo.mdb"));
        const QString back = dir.filePath(QStringLiteral("back.mdb"));
        QCOMPARE(quelt_db({QStringLiteral("demo"), demo}).status, 0);
        const QString server = NewServerDatabase();

        const Run there = quelt_db({QStringLiteral("copy"), demo, server});
        QCOMPARE(there.status, 0);
        QVERIFY2(there.out.contains(QStringLiteral("120 question")), qPrintable(there.out));
        QCOMPARE(quelt_db({QStringLiteral("copy"), server, back}).status, 0);
        for (const QString& command : {QStringLiteral("export"), QStringLiteral("report")}) {
            QStringList args{command, demo};
            if (command == QLatin1String("report"))
                args << QStringLiteral("--all") << QStringLiteral("--format")
                     << QStringLiteral("csv");
            const Run file = quelt_db(args);
            args[1] = server;
            QCOMPARE(quelt_db(args).out, file.out);
            args[1] = back;
            QCOMPARE(quelt_db(args).out, file.out);
        }
        // The server hands out question numbers after the copied ones.
        QCOMPARE(quelt_db({QStringLiteral("check"), server}).status, 0);
        const QString csv = dir.filePath(QStringLiteral("q.csv"));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0,0,New,A new question\n");
        file.close();
        const Run added = quelt_db({QStringLiteral("import-questions"), server, csv});
        QVERIFY2(added.status == 0 && added.out.contains(QStringLiteral("121")),
                 qPrintable(added.out + added.err));
    }

    // Refused, and left as they were: a server database holding the tables
    // (init, demo), or holding data (copy); the same for an existing file.
    void occupiedTargetsAreRefused()
    {
        QTemporaryDir dir;
        const QString demo = dir.filePath(QStringLiteral("demo.mdb"));
        QCOMPARE(quelt_db({QStringLiteral("demo"), demo}).status, 0);
        const QString server = NewServerDatabase();
        QCOMPARE(quelt_db({QStringLiteral("init"), server, QStringLiteral("--rows"),
                           QStringLiteral("R"), QStringLiteral("--cols"), QStringLiteral("C")})
                     .status,
                 0);
        const QString before = quelt_db({QStringLiteral("export"), server}).out;
        for (const QStringList& args :
             {QStringList{QStringLiteral("demo"), server},
              QStringList{QStringLiteral("init"), server, QStringLiteral("--rows"),
                          QStringLiteral("X"), QStringLiteral("--cols"), QStringLiteral("Y")},
              QStringList{QStringLiteral("copy"), demo, server},
              QStringList{QStringLiteral("copy"), server, demo}}) {
            const Run refused = quelt_db(args);
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.err.contains(QStringLiteral("left as it was")),
                     qPrintable(refused.err));
        }
        QCOMPARE(quelt_db({QStringLiteral("export"), server}).out, before);
    }
};

QUELT_TEST(CopyTest);
#include "CopyTest.moc"
