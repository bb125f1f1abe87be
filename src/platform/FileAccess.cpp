#include "platform/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

QString WriteRefusal(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return {};
    const QString absolute = QDir::toNativeSeparators(file.absoluteFilePath());
    // access(2) rather than the permission bits: it also knows what the
    // process may do beyond them (its user, an immutable file, a read-only
    // mount), as the engine will find when it writes.
    if (::access(QFile::encodeName(file.absoluteFilePath()).constData(), W_OK) != 0)
        return QStringLiteral("The database file %1 is read-only, so nothing can be stored in it.")
            .arg(absolute);
    const QString folder = file.absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("The folder %1 does not let the database engine write its journal "
                              "there, so nothing can be stored in %2.")
            .arg(QDir::toNativeSeparators(folder), absolute);
    return {};
}
