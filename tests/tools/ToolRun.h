#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

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
