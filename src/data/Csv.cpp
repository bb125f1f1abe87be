#include "data/Csv.h"

#include "platform/TerminalText.h"

#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <type_traits>

namespace {

// The characters that matter here are ASCII, so the same reading serves
// texts and UTF-8 bytes.
template <class C>
bool digit(C c)
{
    return c >= C(u'0') && c <= C(u'9');
}

// A decimal number as a spreadsheet reads one: -3, +2.5, .5, 1e-7.
template <class View>
bool isPlainNumber(View t)
{
    using C = std::remove_cvref_t<decltype(t[0])>;
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == C(u'+') || t[i] == C(u'-')))
        ++i;
    qsizetype digits = 0;
    for (; i < n && digit(t[i]); ++i)
        ++digits;
    if (i < n && t[i] == C(u'.'))
        for (++i; i < n && digit(t[i]); ++i)
            ++digits;
    if (digits == 0)
        return false;
    if (i < n && (t[i] == C(u'e') || t[i] == C(u'E'))) {
        ++i;
        if (i < n && (t[i] == C(u'+') || t[i] == C(u'-')))
            ++i;
        const qsizetype exponent = i;
        while (i < n && digit(t[i]))
            ++i;
        if (i == exponent)
            return false;
    }
    return i == n;
}

template <class View>
bool looksLikeFormula(View text)
{
    using C = std::remove_cvref_t<decltype(text[0])>;
    if (text.isEmpty())
        return false;
    const C first = text[0];
    if (first == C(u'=') || first == C(u'@') || first == C(u'\t') || first == C(u'\r'))
        return true;
    return (first == C(u'+') || first == C(u'-')) && !isPlainNumber(text);
}

bool needsQuotes(QByteArrayView t)
{
    for (char c : t)
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    return false;
}

bool isUtf8(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return true;
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decode(bytes);
    return !decode.hasError();
}

} // namespace

bool LooksLikeFormula(QStringView text)
{
    return looksLikeFormula(text);
}

void AppendCsvRecord(QByteArray& out, const QList<QByteArrayView>& fields, CsvTexts texts,
                     CsvTarget target)
{
    QByteArray converted;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        const QByteArrayView stored = fields.at(i);
        QByteArrayView field = stored;
        if (target == CsvTarget::Terminal) {
            converted = VisibleBytes(stored).toUtf8();
            field = converted;
        } else if (texts == CsvTexts::Neutralised && !isUtf8(stored)) {
            converted = QString::fromUtf8(stored).toUtf8();
            field = converted;
        }
        const bool quoted = needsQuotes(field);
        if (quoted)
            out += '"';
        if (texts == CsvTexts::Neutralised && looksLikeFormula(stored))
            out += '\'';
        if (!quoted) {
            out += field;
            continue;
        }
        qsizetype from = 0;
        for (qsizetype q = field.indexOf('"'); q >= 0; q = field.indexOf('"', from)) {
            out += field.sliced(from, q - from);
            out += "\"\"";
            from = q + 1;
        }
        out += field.sliced(from);
        out += '"';
    }
    out += "\r\n";
}

QString CsvRecord(const QStringList& fields, CsvTexts texts, CsvTarget target)
{
    QList<QByteArray> bytes;
    QList<QByteArrayView> views;
    for (const QString& field : fields)
        bytes.append(field.toUtf8());
    for (const QByteArray& field : bytes)
        views.append(field);
    QByteArray record;
    AppendCsvRecord(record, views, texts, target);
    return QString::fromUtf8(record);
}

CsvText ParseCsv(const QString& text)
{
    CsvText result;
    CsvRow row;
    QString field;
    int line = 1;
    row.line = 1;
    bool inQuotes = false;
    bool wasQuoted = false; // the current field was a quoted one, now closed
    int quoteLine = 0;
    bool started = false; // anything read since the record began
    // A fault is named once a line, however often it recurs there.
    QSet<QString> named;
    auto problem = [&](int at, const QString& what) {
        const QString key = QString::number(at) + u' ' + what;
        if (!named.contains(key)) {
            named.insert(key);
            result.problems.append({at, what});
        }
    };
    auto endField = [&] {
        row.fields.append(field);
        field.clear();
        wasQuoted = false;
    };
    auto endRecord = [&] {
        endField();
        result.rows.append(row);
        row = CsvRow();
        row.line = line;
        started = false;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                    wasQuoted = true;
                }
            } else {
                // A line break kept in the field; CR LF counts once.
                if (c == u'\n' || (c == u'\r' && (i + 1 == n || text.at(i + 1) != u'\n')))
                    ++line;
                field += c;
            }
            continue;
        }
        const bool crlf = c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n';
        if (c == u'\n' || c == u'\r') {
            if (crlf)
                ++i;
            ++line;
            endRecord();
            continue;
        }
        started = true;
        if (c == u',') {
            endField();
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            inQuotes = true;
            quoteLine = line;
        } else if (wasQuoted) {
            problem(line, QStringLiteral("text after the closing quote of a field"));
            wasQuoted = false;
            field += c;
        } else {
            if (c == u'"')
                problem(line, QStringLiteral("a quote inside a field that does not begin "
                                             "with one"));
            field += c;
        }
    }
    if (inQuotes)
        problem(quoteLine, QStringLiteral("the quoted field that begins here is never closed"));
    // The last record needs no line end.
    if (started || inQuotes || wasQuoted || !field.isEmpty() || !row.fields.isEmpty())
        endRecord();
    return result;
}
