#include "analysis/PdfText.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace {

struct Edit
{
    qsizetype from = 0;
    qsizetype to = 0; // the bytes [from, to) give way to `with`
    QByteArray with;
};

// A text string as PDF takes any text: UTF-16 with its byte order mark, in
// hexadecimal, so no character of it is syntax.
QByteArray hexText(const QString& text)
{
    QByteArray utf16("\xfe\xff", 2);
    for (QChar c : text) {
        utf16.append(char(c.unicode() >> 8));
        utf16.append(char(c.unicode() & 0xff));
    }
    return '<' + utf16.toHex().toUpper() + '>';
}

// The character a glyph's map entry should name: itself when drawn, else a
// drawn character of the same compatibility form.
class Remap
{
public:
    explicit Remap(const QSet<char32_t>& drawn) : m_drawn(drawn)
    {
        for (char32_t c : drawn) {
            const QString key = form(c);
            // The character that is its own form wins over its variants.
            if (!m_byForm.contains(key) || key == QString::fromUcs4(&c, 1))
                m_byForm.insert(key, c);
        }
    }

    char32_t operator()(char32_t c) const
    {
        if (m_drawn.contains(c))
            return c;
        return m_byForm.value(form(c), c);
    }

private:
    static QString form(char32_t c)
    {
        return QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KC);
    }

    const QSet<char32_t>& m_drawn;
    QHash<QString, char32_t> m_byForm;
};

QByteArray hex4(uint value)
{
    return '<' + QByteArray::number(value, 16).toUpper().rightJustified(4, '0') + '>';
}

// A ToUnicode map with its single code units remapped; ranges that would
// change are written out glyph by glyph.
QByteArray remapCMap(const QByteArray& cmap, const Remap& remap)
{
    static const QRegularExpression entry(QStringLiteral(
        R"(^<([0-9A-Fa-f]{4})>\s*<([0-9A-Fa-f]{4})>\s*(\[[^\]]*\]|<[0-9A-Fa-f]+>)\s*$)"));
    static const QRegularExpression single(QStringLiteral(R"(<([0-9A-Fa-f]{4})>)"));
    QList<QByteArray> lines = cmap.split('\n');
    bool inRange = false;
    bool inChar = false;
    for (QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.endsWith("beginbfrange"))
            inRange = true;
        else if (trimmed.endsWith("beginbfchar"))
            inChar = true;
        else if (trimmed == "endbfrange")
            inRange = false;
        else if (trimmed == "endbfchar")
            inChar = false;
        else if (inChar) {
            // <glyph> <text>
            const QList<QByteArray> parts = trimmed.split(' ');
            if (parts.size() == 2 && parts.at(1).size() == 6) {
                const uint target = parts.at(1).mid(1, 4).toUInt(nullptr, 16);
                line = parts.at(0) + ' ' + hex4(remap(target));
            }
        } else if (inRange) {
            const QRegularExpressionMatch m = entry.match(QString::fromLatin1(trimmed));
            if (!m.hasMatch())
                continue;
            const uint first = m.captured(1).toUInt(nullptr, 16);
            const uint last = m.captured(2).toUInt(nullptr, 16);
            const QString targets = m.captured(3);
            QList<uint> texts;
            if (targets.startsWith(u'[')) {
                QRegularExpressionMatchIterator it = single.globalMatch(targets);
                while (it.hasNext())
                    texts.append(it.next().captured(1).toUInt(nullptr, 16));
            } else if (targets.size() == 6) {
                const uint start = targets.mid(1, 4).toUInt(nullptr, 16);
                for (uint g = first; g <= last; ++g)
                    texts.append(start + (g - first));
            } else {
                continue; // a text of several code units: left as it is
            }
            QList<uint> mapped;
            for (uint text : texts)
                mapped.append(remap(text));
            if (mapped == texts)
                continue;
            QByteArray out = hex4(first) + ' ' + hex4(last) + " [";
            for (uint text : mapped)
                out += hex4(text) + ' ';
            line = out + ']';
        }
    }
    return lines.join('\n');
}

} // namespace

QByteArray FinishPdf(const QByteArray& pdf, const PdfInfo& info, const QSet<char32_t>& drawn)
{
    QList<Edit> edits;

    // The document information is the first object written, before any
    // stream.
    const qsizetype infoAt = pdf.indexOf("/Creator ");
    if (infoAt > 0) {
        QByteArray fields;
        if (!info.author.isEmpty())
            fields += "/Author " + hexText(info.author) + '\n';
        if (!info.subject.isEmpty())
            fields += "/Subject " + hexText(info.subject) + '\n';
        edits.append({infoAt, infoAt, fields});
    }

    const Remap remap(drawn);
    static const QByteArray kMapStart = "/CIDInit /ProcSet findresource begin";
    static const QByteArray kStreamHead = "<< /Length ";
    for (qsizetype at = pdf.indexOf(kMapStart); at >= 0; at = pdf.indexOf(kMapStart, at + 1)) {
        const qsizetype head = pdf.lastIndexOf(kStreamHead, at);
        const qsizetype digits = head + kStreamHead.size();
        const qsizetype digitsEnd = pdf.indexOf(' ', digits);
        if (head < 0 || digitsEnd < 0 || pdf.mid(digitsEnd, 11) != " >>\nstream\n" ||
            digitsEnd + 11 != at)
            continue;
        bool ok = false;
        const qsizetype length = pdf.mid(digits, digitsEnd - digits).toLongLong(&ok);
        if (!ok || at + length > pdf.size())
            continue;
        const QByteArray cmap = pdf.mid(at, length);
        const QByteArray mapped = remapCMap(cmap, remap);
        if (mapped == cmap)
            continue;
        edits.append({digits, digitsEnd, QByteArray::number(mapped.size())});
        edits.append({at, at + length, mapped});
    }
    if (edits.isEmpty())
        return pdf;

    // Where a byte of the old file stands in the new one.
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.from < b.from; });
    const auto moved = [&edits](qsizetype offset) {
        qsizetype shift = 0;
        for (const Edit& edit : edits)
            if (edit.to <= offset && edit.from < offset)
                shift += edit.with.size() - (edit.to - edit.from);
            else if (edit.from == edit.to && edit.from <= offset)
                shift += edit.with.size();
        return offset + shift;
    };

    // The cross-reference table and where it begins name byte offsets.
    const qsizetype startXref = pdf.lastIndexOf("startxref\n");
    if (startXref < 0)
        return pdf;
    const qsizetype xrefValueAt = startXref + 10;
    const qsizetype xrefValueEnd = pdf.indexOf('\n', xrefValueAt);
    const qsizetype xref = pdf.mid(xrefValueAt, xrefValueEnd - xrefValueAt).trimmed().toLongLong();
    if (pdf.mid(xref, 5) != "xref\n")
        return pdf;
    const qsizetype countLine = xref + 5;
    const qsizetype countEnd = pdf.indexOf('\n', countLine);
    const QList<QByteArray> range = pdf.mid(countLine, countEnd - countLine).trimmed().split(' ');
    const qsizetype entries = range.size() == 2 ? range.at(1).toLongLong() : 0;
    for (qsizetype i = 0; i < entries; ++i) {
        const qsizetype line = countEnd + 1 + i * 20;
        if (pdf.at(line + 17) != 'n')
            continue;
        const qsizetype offset = pdf.mid(line, 10).toLongLong();
        edits.append({line, line + 10, QByteArray::number(moved(offset)).rightJustified(10, '0')});
    }
    edits.append({xrefValueAt, xrefValueEnd, QByteArray::number(moved(xref)) + ' '});
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.from < b.from; });

    QByteArray out;
    out.reserve(pdf.size() + 4096);
    qsizetype at = 0;
    for (const Edit& edit : edits) {
        out.append(pdf.constData() + at, edit.from - at);
        out.append(edit.with);
        at = edit.to;
    }
    out.append(pdf.constData() + at, pdf.size() - at);
    return out;
}
