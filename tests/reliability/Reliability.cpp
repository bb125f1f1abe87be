#include "reliability/Reliability.h"

#include "common/TestDb.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

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

} // namespace Reliability
