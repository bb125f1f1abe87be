#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

// Conversions of engine values into what the windows hold. A number the
// windows keep in 16 bits must fit exactly: nothing is rounded or wrapped.

// Leading and trailing spaces removed; tabs and line breaks are kept, since
// they can be stored on purpose.
QString TrimBlanks(const QString& text);

// Display text of a value: null becomes empty text, blanks are removed.
QString CText(const QVariant& value);

// A signed 16-bit whole number. Throws QueltError naming `what` when the value
// is null, not a whole number, or outside -32768..32767.
qint16 CInt16(const QVariant& value, const QString& what);

// Whole number of any size; same rules, no 16-bit limit.
qint64 CInt64(const QVariant& value, const QString& what);

// Decimal text as the statements join it: no blanks, no leading zeros.
QString DecimalText(qint64 number);

// A count with its noun, singular for exactly one: "1 score", "3 scores".
// `many` defaults to the noun with an "s".
QString Counted(qint64 n, const QString& one, const QString& many = {});
