#include "platform/FilePath.h"

#include "platform/TerminalText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <climits>
#include <cstring>
#include <unistd.h>

FileLocation LocateFile(const QString& name)
{
    const QFileInfo info(name);
    QByteArray native = QFile::encodeName(name);
    if (info.isRelative()) {
        QByteArray folder(PATH_MAX, '\0');
        if (::getcwd(folder.data(), size_t(folder.size())))
            native = folder.left(qsizetype(std::strlen(folder.constData()))) + '/' + native;
        else
            native = QFile::encodeName(info.absoluteFilePath());
    }
    // Bytes that are not UTF-8 cannot pass through a QString unchanged; they
    // are shown as \xNN, so the user still sees which folder is meant.
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // Decoding happens when the result becomes a string; only then is an
    // error known.
    [[maybe_unused]] const QString decoded = decode(native);
    return {decode.hasError() ? DecodedShowingOddBytes(native) : info.absoluteFilePath(), native};
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
