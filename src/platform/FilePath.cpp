#include "platform/FilePath.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

// Bytes that are not UTF-8 cannot pass through a QString unchanged; they are
// shown as \xNN, so the user still sees which folder is meant.
QString shownBytes(const QByteArray& bytes)
{
    QString shown;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // One character: a lead byte and the continuation bytes after it.
        qsizetype end = at + 1;
        while (end < bytes.size() && (uchar(bytes.at(end)) & 0xC0) == 0x80)
            ++end;
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString piece = decode(QByteArrayView(bytes).sliced(at, end - at));
        if (decode.hasError()) {
            for (qsizetype i = at; i < end; ++i)
                shown += QStringLiteral("\\x%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0'));
        } else {
            shown += piece;
        }
        at = end;
    }
    return shown;
}

} // namespace

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
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // Decoding happens when the result becomes a string; only then is an
    // error known.
    [[maybe_unused]] const QString decoded = decode(native);
    return {decode.hasError() ? shownBytes(native) : info.absoluteFilePath(), native};
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
