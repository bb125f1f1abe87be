#pragma once

#include "platform/DbEngine.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

// What the engine layer needs of one back end: a connection that prepares
// statements, and a cursor that steps through one statement's rows. Only the
// engine layer sees this; everything above it sees Database and Recordset.
namespace dbengine_detail {

class Cursor
{
public:
    virtual ~Cursor() = default;

    // Runs the statement on to its next row; false once past the last.
    // A failure throws QueltError naming the statement and the database.
    virtual bool Step() = 0;

    // The statement's column names, as the engine gives them.
    virtual const QStringList& ColumnNames() const = 0;

    // A column of the current row: whole numbers as 64-bit integers, text as
    // text, null as a null text.
    virtual QVariant Value(int column) const = 0;
    // The same when the engine holds it as a whole number; nothing otherwise.
    virtual std::optional<qint64> WholeNumber(int column) const = 0;
    // The same exactly as the engine holds it.
    virtual StoredValue Stored(int column) const = 0;
};

class Connection
{
public:
    virtual ~Connection() = default;

    // What the user knows the database by: a file's absolute path, or
    // postgresql://host:port/database for a server (never a password).
    const QString& Location() const { return m_location; }

    // A statement ready to step; a statement the engine rejects throws.
    virtual std::unique_ptr<Cursor> Prepare(const QString& sql) = 0;
    // Runs a statement that returns no rows; gives the number of rows changed.
    virtual qint64 Execute(const QString& sql) = 0;
    // The same with values bound to its parameters in order.
    virtual qint64 Execute(const QString& sql, const QList<StoredValue>& values) = 0;
    // Runs statements that return no rows, in order, and gives the number of
    // rows each changed. The first that fails throws, and those after it
    // are not run.
    virtual QList<qint64> ExecuteBatch(const QStringList& statements)
    {
        QList<qint64> changed;
        changed.reserve(statements.size());
        for (const QString& sql : statements)
            changed.append(Execute(sql));
        return changed;
    }

    // Begins a batch of writes, and commits it.
    virtual void BeginWrite() { Execute(QStringLiteral("BEGIN IMMEDIATE")); }
    virtual void Commit() { Execute(QStringLiteral("COMMIT")); }
    // What begins a read of one state of the database.
    virtual QString BeginRead() const { return QStringLiteral("BEGIN"); }
    virtual bool IsServer() const { return false; }

    // The version of the program's own objects in the database, as the
    // layer above found it when it opened the database; 0 until then.
    int SchemaVersion() const { return m_schemaVersion; }
    void SetSchemaVersion(int version) { m_schemaVersion = version; }

    // The statement as it goes to the engine, through the filter the layer
    // above set, if any.
    QString Statement(const QString& sql) const { return m_filter ? m_filter(sql) : sql; }
    void SetStatementFilter(std::function<QString(const QString&)> filter)
    {
        m_filter = std::move(filter);
    }

protected:
    explicit Connection(QString location) : m_location(std::move(location)) {}
    void SetLocation(QString location) { m_location = std::move(location); }

private:
    QString m_location;
    int m_schemaVersion = 0;
    std::function<QString(const QString&)> m_filter;
};

} // namespace dbengine_detail
