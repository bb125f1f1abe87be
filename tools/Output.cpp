#include "Output.h"

#include "Command.h"

#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QFileInfo>
#include <QSaveFile>

void RefuseOutputOverDatabase(const QString& output, const QString& database)
{
    if (output.isEmpty())
        return;
    const QFileInfo out(output);
    const QFileInfo db(database);
    const bool same = out.exists() && db.exists()
                          ? out.canonicalFilePath() == db.canonicalFilePath()
                          : out.absoluteFilePath() == db.absoluteFilePath();
    if (same)
        throw UsageError(QStringLiteral("--output must not name the database file"));
}

namespace {

void commit(QSaveFile& save, const QString& path)
{
    if (!save.commit())
        throw QueltError(QStringLiteral("The file %1 could not be written: %2")
                             .arg(QFileInfo(path).absoluteFilePath(), save.errorString()));
}

void open(QSaveFile& save, const QString& path)
{
    if (!save.open(QIODevice::WriteOnly))
        throw QueltError(QStringLiteral("The file %1 could not be made: %2")
                             .arg(QFileInfo(path).absoluteFilePath(), save.errorString()));
}

} // namespace

void WriteText(const QString& path, QTextStream& out,
               const std::function<void(QTextStream&)>& write)
{
    if (path.isEmpty()) {
        write(out);
        out.flush();
        return;
    }
    // Left uncommitted when `write` throws: the temporary file is removed.
    QSaveFile save(path);
    open(save, path);
    QTextStream stream(&save);
    write(stream);
    stream.flush();
    if (stream.status() != QTextStream::Ok)
        save.cancelWriting();
    commit(save, path);
}

void WriteFile(const QString& path, const std::function<void(QIODevice&)>& write)
{
    QSaveFile save(path);
    open(save, path);
    write(save);
    commit(save, path);
}
