#include "ToolRun.h"

#include "common/TestDb.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

namespace {

Run runProcess(QProcess& p, const QString& program, const QStringList& args,
               const QByteArray& input = {})
{
    p.start(program, args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

Run quelt_db(const QStringList& args, const std::function<void(QProcess&)>& prepare)
{
    QProcess p;
    if (prepare)
        prepare(p);
    return runProcess(p, QStringLiteral(QUELT_DB_TOOL), args);
}

Run consumer(const QString& program, const QStringList& args, const QByteArray& input)
{
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        FailTest(program + QStringLiteral(" is not installed; make deps installs it"));
    QProcess p;
    return runProcess(p, found, args, input);
}

QList<QVariantList> query(const QString& path, const QString& sql)
{
    return WithExistingFile(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            FailTest(q.lastError().text() + QStringLiteral(" in: ") + sql);
        QList<QVariantList> rows;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
        return rows;
    });
}

void execute(const QString& path, const QStringList& statements)
{
    WithExistingFile(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        for (const QString& sql : statements) {
            if (!q.exec(sql))
                FailTest(q.lastError().text() + QStringLiteral(" in: ") + sql);
        }
        return 0;
    });
}

QString refusal(const QString& path, const QString& sql)
{
    return WithExistingFile(path, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (q.exec(sql))
            FailTest(QStringLiteral("the engine ran: ") + sql);
        return q.lastError().text();
    });
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
