#include "ToolRun.h"
#include "common/TestDb.h"
#include "common/TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
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

    // What the other end would store differently is refused before anything
    // is copied, named by table and row, never by what it holds; every other
    // byte arrives as stored, and export --raw gives it back byte for byte.
    void oddValuesArriveExactlyOrAreNamed_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QStringList>("odd"); // made from the demo file
        QTest::addColumn<QString>("refusal"); // none: copied
        QTest::addColumn<QString>("note");    // what check says of the file, if anything
        const QStringList nul = {"UPDATE survey SET company = 'Sec' || char(0) || 'ret' || "
                                 "char(27) || '[2J' WHERE id = 2"};
        const QStringList latin1 = {
            "UPDATE survey SET company = CAST(x'5365637265741b5b324ae9' AS TEXT) WHERE id = 2"};
        // A typeless column keeps the text.
        const QStringList asText = {"CREATE TABLE r (survey_id, question_id, answer)",
                                    "INSERT INTO r SELECT * FROM survey_results",
                                    "DROP TABLE survey_results",
                                    "ALTER TABLE r RENAME TO survey_results",
                                    "UPDATE survey_results SET survey_id = '2' WHERE rowid = 5"};
        const QString nulNote = "note: survey.company holds a NUL character";
        const QString latin1Note = "note: survey.company holds bytes that are not UTF-8";
        QTest::newRow("NUL, to a file") << false << nul << "" << nulNote;
        QTest::newRow("not UTF-8, to a file") << false << latin1 << "" << latin1Note;
        QTest::newRow("NUL, to a server")
            << true << nul << "survey, row 2: company holds a NUL character" << nulNote;
        QTest::newRow("not UTF-8, to a server")
            << true << latin1 << "survey, row 2: company holds bytes that are not UTF-8"
            << latin1Note;
        const QString asTextRefused = "survey_results, row 5: survey_id is a text, not a number";
        QTest::newRow("survey number as text, to a file") << false << asText << asTextRefused << "";
        QTest::newRow("survey number as text, to a server")
            << true << asText << asTextRefused << "";
        const QStringList twice = {"CREATE TABLE q AS SELECT * FROM question",
                                   "DROP TABLE question", "ALTER TABLE q RENAME TO question",
                                   "INSERT INTO question SELECT * FROM question WHERE id = 5"};
        QTest::newRow("question number twice, to a file")
            << false << twice << "Row 121 of the table question"
            << "";
        QTest::newRow("question number twice, to a server")
            << true << twice << "Row 121 of the table question"
            << "";
    }

    void oddValuesArriveExactlyOrAreNamed()
    {
        QFETCH(bool, server);
        QFETCH(QStringList, odd);
        QFETCH(QString, refusal);
        QFETCH(QString, note);
        QTemporaryDir dir;
        const QString demo = dir.filePath(QStringLiteral("demo.mdb"));
        QCOMPARE(quelt_db({QStringLiteral("demo"), demo}).status, 0);
        execute(demo, QStringList{"UPDATE question SET label = 'Secret' WHERE id = 5"} + odd);
        const QString target = server ? NewServerDatabase() : dir.filePath(QStringLiteral("c.mdb"));

        QVERIFY(quelt_db({QStringLiteral("check"), demo}).out.contains(note));
        const Run copy = quelt_db({QStringLiteral("copy"), demo, target});
        const QString csv = dir.filePath(QStringLiteral("raw.csv"));
        const auto raw = [&](const QString& location) {
            const Run r = quelt_db({QStringLiteral("export"), location, QStringLiteral("--raw"),
                                    QStringLiteral("--output"), csv});
            return r.status == 0 ? fileBytes(csv) : QByteArray();
        };
        if (refusal.isEmpty()) {
            QCOMPARE(copy.status, 0);
            const QString hex = QStringLiteral("SELECT hex(company) FROM survey WHERE id = 2");
            QCOMPARE(query(target, hex), query(demo, hex));
            const QByteArray company = QByteArray::fromHex(query(demo, hex)[0][0].toByteArray());
            QVERIFY(raw(demo).contains(company));
            QCOMPARE(raw(target), raw(demo));
            return;
        }
        QCOMPARE(copy.status, 1);
        QVERIFY2(copy.err.contains(refusal), qPrintable(copy.err));
        QVERIFY2(!copy.err.contains(QStringLiteral("Secret")) && !copy.err.contains(u'\x1b'),
                 qPrintable(copy.err));
        QCOMPARE(server ? raw(target).isEmpty() : QFile::exists(target), server);
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
