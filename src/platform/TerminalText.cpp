#include "platform/TerminalText.h"

#include <QStringDecoder>

namespace {

bool actsOnTerminal(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0xfffe ||
           c == 0xffff;
}

QString hexByte(uchar byte)
{
    return QStringLiteral("\\x%1").arg(uint(byte), 2, 16, QLatin1Char('0'));
}

} // namespace

QString Visible(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && !actsOnTerminal(text.at(i).unicode()))
        ++i;
    if (i == text.size())
        return text.toString();
    QString shown = text.left(i).toString();
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (!actsOnTerminal(c)) {
            shown += QChar(c);
            continue;
        }
        switch (c) {
        case 0x1b:
            shown += QStringLiteral("\\e");
            break;
        case u'\n':
            shown += QStringLiteral("\\n");
            break;
        case u'\r':
            shown += QStringLiteral("\\r");
            break;
        case u'\t':
            shown += QStringLiteral("\\t");
            break;
        default:
            shown += c < 0x80 ? hexByte(uchar(c))
                              : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        }
    }
    return shown;
}

QString DecodedShowingOddBytes(QByteArrayView bytes)
{
    {
        QStringDecoder whole(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = whole(bytes);
        if (!whole.hasError())
            return text;
    }
    QString shown;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // One character: a lead byte and the continuation bytes after it.
        qsizetype end = at + 1;
        while (end < bytes.size() && (uchar(bytes.at(end)) & 0xC0) == 0x80)
            ++end;
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString piece = decode(bytes.sliced(at, end - at));
        if (decode.hasError()) {
            for (qsizetype i = at; i < end; ++i)
                shown += hexByte(uchar(bytes.at(i)));
        } else {
            shown += piece;
        }
        at = end;
    }
    return shown;
}

QString VisibleBytes(QByteArrayView bytes)
{
    return Visible(DecodedShowingOddBytes(bytes));
}
