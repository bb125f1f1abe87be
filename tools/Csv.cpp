#include "Csv.h"

#include <QSet>

#include <QStringEncoder>

namespace {

bool digit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A decimal number as a spreadsheet reads one: -3, +2.5, .5, 1e-7.
bool isPlainNumber(QStringView t)
{
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    for (; i < n && digit(t[i]); ++i)
        ++digits;
    if (i < n && t[i] == u'.')
        for (++i; i < n && digit(t[i]); ++i)
            ++digits;
    if (digits == 0)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        const qsizetype exponent = i;
        while (i < n && digit(t[i]))
            ++i;
        if (i == exponent)
            return false;
    }
    return i == n;
}

bool needsQuotes(QStringView t)
{
    for (QChar c : t)
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r')
            return true;
    return false;
}

} // namespace

bool LooksLikeFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case u'=':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    case u'+':
    case u'-':
        return !isPlainNumber(text);
    default:
        return false;
    }
}

void AppendCsvRecord(QByteArray& out, const QList<QStringView>& fields, CsvTexts texts)
{
    QStringEncoder utf8(QStringEncoder::Utf8);
    auto append = [&](QStringView text) {
        const qsizetype at = out.size();
        out.resize(at + utf8.requiredSpace(text.size()));
        const char* end = utf8.appendToBuffer(out.data() + at, text);
        out.resize(end - out.constData());
    };
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        const QStringView field = fields.at(i);
        const bool quoted = needsQuotes(field);
        if (quoted)
            out += '"';
        if (texts == CsvTexts::Neutralised && LooksLikeFormula(field))
            out += '\'';
        if (!quoted) {
            append(field);
            continue;
        }
        qsizetype from = 0;
        for (qsizetype q = field.indexOf(u'"'); q >= 0; q = field.indexOf(u'"', from)) {
            append(field.sliced(from, q - from));
            out += "\"\"";
            from = q + 1;
        }
        append(field.sliced(from));
        out += '"';
    }
    out += "\r\n";
}

QString CsvRecord(const QStringList& fields, CsvTexts texts)
{
    QList<QStringView> views;
    for (const QString& field : fields)
        views.append(field);
    QByteArray record;
    AppendCsvRecord(record, views, texts);
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
