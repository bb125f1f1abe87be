#include "Csv.h"

QString CsvField(const QString& text)
{
    const bool quoted =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quoted)
        return text;
    QString field = text;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QString CsvRecord(const QStringList& fields)
{
    QString record;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += u',';
        record += CsvField(fields.at(i));
    }
    return record + QStringLiteral("\r\n");
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
    auto problem = [&](int at, const QString& what) { result.problems.append({at, what}); };
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
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        const bool crlf = c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n';
        if (c == u'\n' || crlf) {
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
