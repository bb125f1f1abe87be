#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

// Runs the built quelt-db and reads files with connections of the test's own.
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// `prepare` may set the process's environment, folder or standard output
// before it starts.
Run quelt_db(const QStringList& args, const std::function<void(QProcess&)>& prepare = {});

// The system's environment with these NAME=VALUE settings (an empty value
// counts as unset), for a process about to start.
void SetEnvironment(QProcess& p, const QStringList& settings);

// The same with standard output and standard error on a pseudo-terminal of
// their own (raw, so that what is written arrives as written), both read as
// the one screen `out`. Nothing when no pseudo-terminal can be had here (a
// build container without /dev/pts): the caller skips.
std::optional<Run> quelt_db_on_terminal(const QStringList& args,
                                        const QStringList& environment = {});

// A program a user reads our output with (xmllint, python3), run on `input`
// as its standard input; one that is not installed fails the test.
Run consumer(const QString& program, const QStringList& args, const QByteArray& input = {});

// Every row of one statement on an existing file; a statement that returns
// none (a write) gives an empty list. A file that will not open or a
// statement that fails fails the test.
QList<QVariantList> query(const QString& path, const QString& sql);

// Runs statements in order over one connection (a pragma holds for the
// rest); the first that fails fails the test.
void execute(const QString& path, const QStringList& statements);

// The engine's words for a statement it must refuse; a statement it runs
// fails the test.
QString refusal(const QString& path, const QString& sql);

// The whole file, to show that a command left it as it was.
QByteArray fileBytes(const QString& path);
