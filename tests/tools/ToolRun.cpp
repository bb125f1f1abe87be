#include "ToolRun.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

Run quelt_db(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUELT_DB_TOOL), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QList<QVariantList> query(const QString& path, const QString& sql)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(sql);
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

bool execute(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("exec"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        for (qsizetype i = 0; ok && i < statements.size(); ++i) {
            ok = q.exec(statements.at(i));
            if (!ok)
                qWarning("%s: %s", qPrintable(statements.at(i)), qPrintable(q.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("exec"));
    return ok;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
