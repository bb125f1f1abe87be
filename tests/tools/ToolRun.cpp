#include "ToolRun.h"

#include "common/TestDb.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

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

void SetEnvironment(QProcess& p, const QStringList& settings)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : settings)
        env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    p.setProcessEnvironment(env);
}

std::optional<Run> quelt_db_on_terminal(const QStringList& args, const QStringList& environment)
{
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0)
        return std::nullopt;
    const auto closeTerminal = qScopeGuard([&] { ::close(terminal); });
    const char* name =
        grantpt(terminal) == 0 && unlockpt(terminal) == 0 ? ptsname(terminal) : nullptr;
    const int screen = name ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (screen < 0)
        return std::nullopt;
    const auto closeScreen = qScopeGuard([&] { ::close(screen); });
    struct termios raw;
    if (tcgetattr(screen, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(screen, TCSANOW, &raw);
    }
    fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);

    QProcess p;
    SetEnvironment(p, environment);
    p.setChildProcessModifier([screen] {
        dup2(screen, STDOUT_FILENO);
        dup2(screen, STDERR_FILENO);
    });
    p.start(QStringLiteral(QUELT_DB_TOOL), args);
    QByteArray shown;
    const auto drain = [&] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(terminal, buffer, sizeof buffer)) > 0)
            shown.append(buffer, n);
    };
    while (!p.waitForFinished(10))
        drain();
    drain();
    return Run{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(shown),
               QString()};
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
