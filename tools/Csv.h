#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated values as RFC 4180 has them: a field that holds a comma, a
// quote or a line break is enclosed in quotes with its quotes doubled, and a
// record ends with CR LF. Statistics packages and spreadsheets read this.

QString CsvField(const QString& text);
// The fields joined into one record, line end included.
QString CsvRecord(const QStringList& fields);

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

// Reads records ending in LF or CR LF; a quoted field may span lines. Faults
// (a quote inside an unquoted field, text after a closing quote, a quote left
// open) are collected, not thrown, so a caller can name every one of them.
CsvText ParseCsv(const QString& text);
