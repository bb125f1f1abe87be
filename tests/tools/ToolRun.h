#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Runs the built quelt-db and reads files with connections of the test's own.
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run quelt_db(const QStringList& args);

// Every row of one statement; a statement that returns none (a write) gives
// an empty list.
QList<QVariantList> query(const QString& path, const QString& sql);

// Runs statements in order over one connection (a pragma holds for the rest);
// false, with a warning, at the first that fails.
bool execute(const QString& path, const QStringList& statements);

// The whole file, to show that a command left it as it was.
QByteArray fileBytes(const QString& path);
