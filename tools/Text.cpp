#include "Text.h"

#include <QList>
#include <algorithm>

namespace {

// East Asian Wide and Fullwidth, as terminals lay them out.
bool wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115f) || c == 0x2329 || c == 0x232a ||
           (c >= 0x2e80 && c <= 0xa4cf && c != 0x303f) || (c >= 0xac00 && c <= 0xd7a3) ||
           (c >= 0xf900 && c <= 0xfaff) || (c >= 0xfe10 && c <= 0xfe19) ||
           (c >= 0xfe30 && c <= 0xfe6f) || (c >= 0xff00 && c <= 0xff60) ||
           (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x1f300 && c <= 0x1f64f) ||
           (c >= 0x1f900 && c <= 0x1f9ff) || (c >= 0x20000 && c <= 0x2fffd) ||
           (c >= 0x30000 && c <= 0x3fffd);
}

bool zeroWidth(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return true;
    default:
        return c >= 0x1160 && c <= 0x11ff; // the vowels and finals of composed Hangul
    }
}

} // namespace

namespace {

int columns(char32_t c)
{
    return wide(c) ? 2 : zeroWidth(c) ? 0 : 1;
}

} // namespace

int DisplayWidth(const QString& text)
{
    int width = 0;
    for (char32_t c : text.toUcs4())
        width += columns(c);
    return width;
}

QString CutToWidth(const QString& text, int width)
{
    if (DisplayWidth(text) <= width)
        return text;
    QString cut;
    int used = 0;
    // Room is kept for the ellipsis, which takes one column.
    for (char32_t c : text.toUcs4()) {
        const int w = columns(c);
        if (used + w > width - 1)
            break;
        cut += QString::fromUcs4(&c, 1);
        used += w;
    }
    return width > 0 ? cut + QChar(0x2026) : QString();
}

QString PadRight(const QString& text, int width)
{
    return text + QString(std::max(0, width - DisplayWidth(text)), u' ');
}

QString PadLeft(const QString& text, int width)
{
    return QString(std::max(0, width - DisplayWidth(text)), u' ') + text;
}

QString Quoted(const QString& text, qsizetype longest)
{
    if (text.size() <= longest)
        return u'"' + Visible(text) + u'"';
    if (longest > 0 && text.at(longest - 1).isHighSurrogate())
        --longest;
    return u'"' + Visible(text.left(longest)) + QStringLiteral("...\"");
}

QString XmlEscaped(const QString& text)
{
    QString escaped = text.toHtmlEscaped(); // & < > "
    escaped.replace(u'\'', QStringLiteral("&#39;"));
    return escaped;
}
