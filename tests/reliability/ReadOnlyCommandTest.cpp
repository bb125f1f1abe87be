#include "common/TestDb.h"
#include "common/TestRegistry.h"
#include "reliability/Reliability.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Reliability;

namespace {

// The commands that only read, each on survey 1 where it needs one.
QList<QStringList> readingCommands(const QString& path)
{
    return {{QStringLiteral("check"), path},
            {QStringLiteral("report"), path, QStringLiteral("--survey"), QStringLiteral("1")},
            {QStringLiteral("export"), path}};
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A survey with answers, and enough questions that an update of them all
// cannot stay in the engine's cache.
void fill(const TestDb& db)
{
    db.addSurvey(1, QStringLiteral("Ann"), QStringLiteral("Acme"));
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 300) INSERT INTO question (label, question_text, row_id, "
                           "col_id) SELECT i, printf('%.*c', 500, 'q'), i % 3, i % 2 FROM n"));
    db.exec(QStringLiteral("INSERT INTO survey_results SELECT 1, id, id % 5 FROM question"));
}

} // namespace

class ReadOnlyCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A Submit killed mid-write leaves quelt.mdb-journal; the user then puts
    // yesterday's copy in place of the file. Every command that only reads
    // reports the journal and changes no byte. Before: check rolled the
    // journal into the copy and found a hundred integrity errors. Deleting
    // the journal, as README says, gives the copy back whole.
    void restoredCopyWithAJournalLeft()
    {
        TestDb db;
        fill(db);
        const QByteArray copy = bytesOf(db.path());
        const QStringList copied = Snapshot(db);
        db.exec(QStringLiteral("INSERT INTO question (label, question_text, row_id, col_id) "
                               "SELECT label, question_text, col_id, row_id FROM question"));
        LeaveInterruptedWrite(db.path(), false);
        const QString journal = db.path() + QStringLiteral("-journal");
        QVERIFY(bytesOf(journal).startsWith(QByteArray::fromHex("d9d505f920a163d7")));
        writeBytes(db.path(), copy);

        const QStringList before = FileAndCompanions(db.path());
        for (const QStringList& command : readingCommands(db.path())) {
            const ToolRun run = QueltDb(command);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains(QStringLiteral(
                         "a write was interrupted; open the file in Quelt once to recover it, or, "
                         "if you restored this file from a copy, delete quelt.mdb-journal first")),
                     qPrintable(run.err));
            QCOMPARE(FileAndCompanions(db.path()), before);
        }

        QVERIFY(QFile::remove(journal));
        const ToolRun check = QueltDb({QStringLiteral("check"), db.path()});
        QCOMPARE(check.status, 0);
        QCOMPARE(Snapshot(db), copied);
    }

    // A WAL file as a program killed in mid-write leaves it, and as it stands
    // once its changes are folded in. Reading commands leave the file, its
    // -wal and its -shm byte for byte and see the -wal's rows; where that
    // would take writing a -shm they say so. Before: the -wal was folded in
    // and both deleted.
    void walFileLeftAsItWas_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("status");
        QTest::newRow("-wal and -shm left") << "both" << 0;
        QTest::newRow("only -wal left") << "wal" << 1;
        QTest::newRow("changes folded in") << "folded" << 0;
        // The engine reads WAL mode from the read version alone. Before: the
        // commands missed it and made a -wal and a -shm.
        QTest::newRow("folded in, write version 1") << "version" << 0;
    }

    void walFileLeftAsItWas()
    {
        QFETCH(QString, state);
        QFETCH(int, status);
        TestDb db;
        fill(db);
        LeaveInterruptedWrite(db.path(), true);
        QVERIFY(QFile::exists(db.path() + QStringLiteral("-wal")));
        if (state == QLatin1String("wal"))
            QVERIFY(QFile::remove(db.path() + QStringLiteral("-shm")));
        if (state != QLatin1String("both") && state != QLatin1String("wal"))
            QCOMPARE(db.count(QStringLiteral("survey")), 2); // the last connection folds it in
        if (state == QLatin1String("version")) {
            QByteArray bytes = bytesOf(db.path());
            QCOMPARE(bytes.mid(18, 2), QByteArray("\x02\x02"));
            bytes[18] = 1;
            writeBytes(db.path(), bytes);
        }
        const QStringList before = FileAndCompanions(db.path());
        const QStringList listing = QDir(db.dir()).entryList(QDir::Files);

        for (const QStringList& command : readingCommands(db.path())) {
            const ToolRun run = QueltDb(command);
            QCOMPARE(run.status, status);
            if (status == 1)
                QVERIFY2(run.err.contains(QLatin1String("holds changes in quelt.mdb-wal")),
                         qPrintable(run.err));
            QCOMPARE(FileAndCompanions(db.path()), before);
            QCOMPARE(QDir(db.dir()).entryList(QDir::Files), listing);
        }
        if (status == 0) {
            const ToolRun report = QueltDb({QStringLiteral("report"), db.path(),
                                            QStringLiteral("--survey"), QStringLiteral("77")});
            QVERIFY2(report.out.contains(QLatin1String("Survey 77: Written, before the end")),
                     qPrintable(report.out + report.err));
        }
    }

    // Every file quelt-db makes passes its own check.
    void madeFilesPassTheCheck()
    {
        QTemporaryDir dir;
        const QString demo = dir.filePath(QStringLiteral("demo.mdb"));
        const QString largest = dir.filePath(QStringLiteral("largest.mdb"));
        const QString beyond = dir.filePath(QStringLiteral("beyond.mdb"));
        QStringList names;
        for (int i = 0; i < 100; ++i)
            names.append(QStringLiteral("N%1").arg(i));
        QCOMPARE(QueltDb({QStringLiteral("demo"), demo}).status, 0);
        QCOMPARE(QueltDb({QStringLiteral("init"), largest, QStringLiteral("--rows"),
                          names.join(u';'), QStringLiteral("--cols"), names.join(u';')})
                     .status,
                 0);
        for (const QString& file : {demo, largest}) {
            const ToolRun check = QueltDb({QStringLiteral("check"), file});
            QCOMPARE(check.status, 0);
            QVERIFY2(!check.out.contains(QLatin1String("note:")), qPrintable(check.out));
        }
        // One more is refused, and no file is left.
        const ToolRun refused =
            QueltDb({QStringLiteral("init"), beyond, QStringLiteral("--rows"), QStringLiteral("a"),
                     QStringLiteral("--cols"), names.join(u';') + QStringLiteral(";N100")});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains(QLatin1String("at most 100 rows and 100 columns")),
                 qPrintable(refused.err));
        QVERIFY(!QFile::exists(beyond));
    }
};

QUELT_TEST(ReadOnlyCommandTest);
#include "ReadOnlyCommandTest.moc"
