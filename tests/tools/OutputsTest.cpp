#include "ToolRun.h"
#include "common/Fail.h"
#include "common/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The demo file: its export is some 45 KB, more than one write.
struct DemoFolder
{
    QTemporaryDir dir;
    QString db = dir.filePath(QStringLiteral("quelt.mdb"));
    DemoFolder() { quelt_db({QStringLiteral("demo"), db}); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::System); }
};

struct stat statOf(const QString& path)
{
    struct stat st = {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        FailTest(QStringLiteral("%1 is gone").arg(path));
    return st;
}

} // namespace

class OutputsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Whatever --output names that is not a regular file is written to, and
    // stays what it was.
    void devicesAndPipesAreWrittenThrough_data()
    {
        QTest::addColumn<QString>("node"); // what --output names
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("named pipe") << "fifo" << QStringList{"export"} << 0;
        QTest::newRow("null device")
            << "null" << QStringList{"report", "--all", "--format", "png"} << 0;
        QTest::newRow("full device") << "full" << QStringList{"export"} << 1;
        QTest::newRow("standard output's file")
            << "/dev/stdout" << QStringList{"report", "--all", "--format", "csv"} << 0;
    }

    void devicesAndPipesAreWrittenThrough()
    {
        QFETCH(QString, node);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        DemoFolder demo;
        const QString captured = demo.path(QStringLiteral("captured"));
        QString target = demo.path(node);
        if (node == QStringLiteral("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        } else if (node == QStringLiteral("/dev/stdout")) {
            QFile(captured).open(QIODevice::WriteOnly);
            target = captured; // what the process's /dev/stdout stands for
        } else if (mknod(QFile::encodeName(target).constData(), S_IFCHR | 0600,
                         makedev(1, node == QStringLiteral("null") ? 3 : 7)) != 0) {
            QSKIP("making a device takes root");
        }
        const struct stat before = statOf(target);
        const QStringList plain = QStringList{args.first(), demo.db} + args.mid(1);
        const QStringList all =
            plain + QStringList{"--output", node.startsWith(u'/') ? node : target};

        // A pipe is read as the command writes; it must open it, not replace it.
        const int reader = node == QStringLiteral("fifo")
                               ? open(QFile::encodeName(target).constData(), O_RDONLY | O_NONBLOCK)
                               : -1;
        QProcess p;
        p.setStandardOutputFile(captured, QIODevice::Append);
        p.start(QStringLiteral(QUELT_DB_TOOL), all);
        QByteArray piped;
        char buffer[4096];
        for (bool running = true; running;) {
            running = !p.waitForFinished(10);
            ssize_t n;
            while (reader >= 0 && (n = read(reader, buffer, sizeof buffer)) > 0)
                piped.append(buffer, n);
        }
        if (reader >= 0)
            close(reader);
        QCOMPARE(p.exitCode(), status);
        if (status != 0)
            QVERIFY(p.readAllStandardError().contains("the disk is full"));

        const struct stat after = statOf(target);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        QCOMPARE(demo.files().size(), node.startsWith(u'/') ? 2 : 3); // nothing made beside it
        if (node == QStringLiteral("fifo"))
            QCOMPARE(piped, quelt_db(plain).out.toUtf8());
        if (node.startsWith(u'/'))
            QCOMPARE(fileBytes(captured), quelt_db(plain).out.toUtf8());
    }

    // A write that fails is a failure that says where, and leaves what was
    // there before.
    void failedWritesAreErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output"); // a file of 4 KB at most; none: a full disk
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("call"); // the last step that fails, after every write went well
        const QString full = "Standard output could not be written: the disk is full";
        const QString tooLarge = "could not be written: File too large";
        const QString failed = "could not be written: Input/output error";
        QTest::newRow("export to standard output") << QStringList{"export"} << "" << full << "";
        QTest::newRow("text report") << QStringList{"report", "--all"} << "" << full << "";
        QTest::newRow("csv report")
            << QStringList{"report", "--all", "--format", "csv"} << "" << full << "";
        QTest::newRow("export to a file") << QStringList{"export"} << "out.csv" << tooLarge << "";
        QTest::newRow("picture") << QStringList{"report", "--all"} << "out.png" << tooLarge << "";
        QTest::newRow("final sync") << QStringList{"export"} << "out.csv" << failed << "fdatasync";
        QTest::newRow("close") << QStringList{"report", "--all"} << "out.png" << failed << "close";
        QTest::newRow("rename") << QStringList{"export"} << "out.csv"
                                << "could not be put in place: Input/output error"
                                << "rename";
    }

    void failedWritesAreErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(QString, says);
        QFETCH(QString, call);
        DemoFolder demo;
        args.insert(1, demo.db);
        const QString file = demo.path(output);
        if (!output.isEmpty()) {
            args << "--output" << file;
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        const Run r = quelt_db(args, [&](QProcess& p) {
            if (output.isEmpty())
                p.setStandardOutputFile(QStringLiteral("/dev/full"));
            else if (!call.isEmpty())
                SetEnvironment(p, {"LD_PRELOAD=" QUELT_FAILING_CALLS, "QUELT_FAIL_CALL=" + call,
                                   "QUELT_FAIL_PATH=" + file,
                                   "ASAN_OPTIONS=" + qEnvironmentVariable("ASAN_OPTIONS") +
                                       ":verify_asan_link_order=0"});
            else
                p.setChildProcessModifier([] {
                    const struct rlimit limit = {4096, 4096};
                    setrlimit(RLIMIT_FSIZE, &limit);
                });
        });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1); // one message, no stray words of a library
        if (!output.isEmpty()) {
            QVERIFY(r.err.contains(QStringLiteral("The file ") + file));
            QCOMPARE(fileBytes(file), QByteArray("keep me"));
            QCOMPARE(demo.files().size(), 2);
        }
    }

    // Band colours where the user wants them, never where they would show as
    // garbage.
    void coloursFollowTheTerminalAndTheUser_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<bool>("colour");
        QTest::newRow("terminal") << true << QStringList{"TERM=xterm"} << true;
        QTest::newRow("dumb terminal") << true << QStringList{"TERM=dumb"} << false;
        QTest::newRow("NO_COLOR") << true << QStringList{"TERM=xterm", "NO_COLOR=1"} << false;
        QTest::newRow("pipe") << false << QStringList{} << false;
        QTest::newRow("CLICOLOR_FORCE into a pipe")
            << false << QStringList{"CLICOLOR_FORCE=1"} << true;
        QTest::newRow("FORCE_COLOR into a pipe") << false << QStringList{"FORCE_COLOR=1"} << true;
        QTest::newRow("NO_COLOR over FORCE_COLOR")
            << false << QStringList{"FORCE_COLOR=1", "NO_COLOR=1"} << false;
    }

    void coloursFollowTheTerminalAndTheUser()
    {
        QFETCH(bool, terminal);
        QFETCH(QStringList, environment);
        QFETCH(bool, colour);
        DemoFolder demo;
        const QStringList args = {"report", demo.db, "--survey", "1"};
        for (const char* name : {"NO_COLOR", "CLICOLOR_FORCE", "FORCE_COLOR"})
            environment.prepend(QString::fromLatin1(name) + u'='); // unset, whatever the run has
        std::optional<Run> r;
        if (terminal) {
            r = quelt_db_on_terminal(args, environment);
            if (!r)
                QSKIP("no pseudo-terminal to give the command");
        } else {
            r = quelt_db(args, [&](QProcess& p) { SetEnvironment(p, environment); });
        }
        QVERIFY2(r->out.contains("Leadership"), qPrintable(r->out));
        QCOMPARE(r->out.contains("\x1b[30;48;2;"), colour);
    }
};

QUELT_TEST(OutputsTest);
#include "OutputsTest.moc"
