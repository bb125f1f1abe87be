#include "reliability/Reliability.h"

#include "common/TestDb.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTextStream>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Reliability {

int Count(const char* variable, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(variable, &ok);
    return ok && value > 0 ? value : fallback;
}

void Report(const QString& line)
{
    qInfo().noquote() << line;
    // The first report of a run starts the file afresh.
    static bool started = false;
    QFile file(QCoreApplication::applicationDirPath() +
               QStringLiteral("/reliability-summary.txt"));
    if (file.open(started ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream(&file) << line << '\n';
        started = true;
    }
}

QString IntegrityCheck(const TestDb& db)
{
    QStringList lines;
    for (const QVariantList& row : db.rows(QStringLiteral("PRAGMA integrity_check")))
        lines.append(row.value(0).toString());
    return lines.join(u'\n');
}

QStringList Snapshot(const TestDb& db)
{
    QStringList rows;
    const auto tables = db.rows(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    for (const QVariantList& table : tables) {
        const QString name = table.value(0).toString();
        for (const QVariantList& row : db.rows(
                 QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(name))) {
            QStringList values{name};
            for (const QVariant& v : row)
                values.append(v.isNull() ? QStringLiteral("NULL")
                                         : QString::fromLatin1(v.typeName()) + u':' + v.toString());
            rows.append(values.join(u'|'));
        }
    }
    return rows;
}

bool Keeps(const QStringList& before, const QStringList& after, QString* why)
{
    const auto table = [](const QString& row) { return row.section(u'|', 0, 0); };
    qsizetype at = 0;
    for (const QString& row : before) {
        while (at < after.size() && table(after[at]) < table(row))
            ++at;
        if (at == after.size() || after[at] != row) {
            *why = QStringLiteral("lost or changed: ") + row.left(200);
            return false;
        }
        ++at;
    }
    return true;
}

qint64 ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression vmRss(QStringLiteral("^VmRSS:\\s+(\\d+)\\s+kB"),
                                          QRegularExpression::MultilineOption);
    const auto match = vmRss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

void LeaveInterruptedWrite(const QString& path, bool wal)
{
    const QByteArray file = QFile::encodeName(path);
    const pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
            // A cache of two pages makes the update spill into the file
            // itself before it commits, as a large Submit would.
            sqlite3_exec(db,
                         wal ? "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; "
                               "INSERT INTO survey VALUES (77, 'Written', 'before the end')"
                             : "PRAGMA cache_size = 2; BEGIN IMMEDIATE; UPDATE question SET "
                               "question_text = question_text || printf('%.*c', 3000, 'x')",
                         nullptr, nullptr, nullptr);
        }
        _exit(0); // without closing: what a kill leaves
    }
    int status = 0;
    waitpid(child, &status, 0);
}

void PlantSuperJournal(const QString& path, const QByteArray& victim)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(100);
    const auto bigEndian = [](quint32 n) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[i] = char((n >> (24 - 8 * i)) & 0xff);
        return b;
    };
    const quint32 pageSize = (quint32(uchar(header.at(16))) << 8 | uchar(header.at(17))) == 1
                                 ? 65536
                                 : quint32(uchar(header.at(16))) << 8 | uchar(header.at(17));
    const QByteArray magic = QByteArray::fromHex("d9d505f920a163d7");
    // The header: no pages, the file's own size, 512-byte sectors.
    QByteArray journal = magic + bigEndian(0) + bigEndian(0) +
                         bigEndian(quint32(file.size() / pageSize)) + bigEndian(512) +
                         bigEndian(pageSize);
    journal.append(512 - journal.size(), '\0');
    quint32 sum = 0;
    for (const char c : victim)
        sum += quint32(qint32(c));
    journal += bigEndian(0x40000000 / pageSize + 1) + victim + bigEndian(quint32(victim.size())) +
               bigEndian(sum) + magic;
    QFile out(path + QStringLiteral("-journal"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(journal), journal.size());
}

QStringList FileAndCompanions(const QString& path)
{
    QStringList files;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        QFile f(path + QLatin1String(suffix));
        if (f.open(QIODevice::ReadOnly))
            files.append(
                f.fileName() + u' ' +
                QString::fromLatin1(
                    QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()));
    }
    return files;
}

ToolRun QueltDb(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUELT_DB_TOOL), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QList<QStringList> CommandsOnFile(const QString& path, const QString& folder)
{
    const QString csv = folder + QStringLiteral("/questions.csv");
    QFile questions(csv);
    if (questions.open(QIODevice::WriteOnly))
        questions.write("0,0,N,A question from a file\n");
    return {{QStringLiteral("check"), path},
            {QStringLiteral("report"), path, QStringLiteral("--survey"), QStringLiteral("1")},
            {QStringLiteral("report"), path, QStringLiteral("--all")},
            {QStringLiteral("export"), path},
            {QStringLiteral("index"), path},
            {QStringLiteral("import-questions"), path, csv},
            {QStringLiteral("copy"), path, folder + QStringLiteral("/copy.mdb")}};
}

} // namespace Reliability
