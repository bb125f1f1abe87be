#include "platform/FileAccess.h"

#include "platform/FilePath.h"

#include <QFileInfo>
#include <pwd.h>
#include <unistd.h>

QString WriteRefusal(const QString& path)
{
    const FileLocation file = LocateFile(path);
    if (::access(file.native.constData(), F_OK) != 0)
        return {};
    // access(2) rather than the permission bits: it also knows what the
    // process may do beyond them (its user, an immutable file, a read-only
    // mount), as the engine will find when it writes.
    if (::access(file.native.constData(), W_OK) != 0)
        return QStringLiteral("The database file %1 is read-only, so nothing can be stored in it.")
            .arg(file.shown);
    const qsizetype slash = file.native.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : file.native.left(slash);
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("The folder %1 does not let the database engine write its journal "
                              "there, so nothing can be stored in %2.")
            .arg(FolderOf(file.shown), file.shown);
    return {};
}

// The password database rather than $USER, which any caller can set.
QString OperatingSystemUser()
{
    const uid_t uid = ::geteuid();
    if (const passwd* entry = ::getpwuid(uid); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(uid);
}
