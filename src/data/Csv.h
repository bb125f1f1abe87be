#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Comma-separated values as RFC 4180 has them: a field that holds a comma, a
// quote or a line break is enclosed in quotes with its quotes doubled, and a
// record ends with CR LF. Statistics packages and spreadsheets read this.

// What a field holds when written. A spreadsheet runs a cell that begins with
// = + - @, a tab or a carriage return as a formula; Neutralised writes such a
// text with a leading ' (a number such as -3 or +2.5 is left as it is).
// AsStored writes every text exactly, for statistics packages.
enum class CsvTexts { AsStored, Neutralised };

// Whether a text would be taken for a formula.
bool LooksLikeFormula(QStringView text);

// Where the record goes. A file or a pipe takes every text as given; a
// terminal is shown each one through Visible(), so that no stored control
// character acts on it (the record stays one line).
enum class CsvTarget { File, Terminal };

// The fields joined into one record, line end included.
QString CsvRecord(const QStringList& fields, CsvTexts texts = CsvTexts::AsStored,
                  CsvTarget target = CsvTarget::File);
// The same record appended to `out`, each field given as its bytes as stored
// (meant as UTF-8, which they need not be). AsStored writes them unchanged;
// Neutralised writes bytes that are not UTF-8 as U+FFFD, so that the file is
// UTF-8 throughout.
void AppendCsvRecord(QByteArray& out, const QList<QByteArrayView>& fields, CsvTexts texts,
                     CsvTarget target);

struct CsvRow
{
    int line = 0; // where the record begins, counted from 1
    QStringList fields;
};

struct CsvProblem
{
    int line = 0;
    QString what;
};

struct CsvText
{
    QList<CsvRow> rows;
    QList<CsvProblem> problems;
};

// Reads records ending in LF, CR LF or CR alone; a quoted field may span
// lines. Faults (a quote inside an unquoted field, text after a closing quote,
// a quote left open) are collected, not thrown, so a caller can name every one
// of them, each kind once a line.
CsvText ParseCsv(const QString& text);
