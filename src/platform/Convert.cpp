#include "platform/Convert.h"

#include "platform/QueltError.h"

#include <QMetaType>
#include <cmath>
#include <limits>

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

QString CText(const QVariant& value)
{
    if (value.isNull())
        return {};
    // Whole numbers, the bulk of what lists read, have no blanks to remove and
    // skip the variant's general conversion.
    if (value.typeId() == QMetaType::LongLong)
        return QString::number(value.toLongLong());
    return TrimBlanks(value.toString());
}

namespace {

[[noreturn]] void fail(const QString& what, const QString& problem)
{
    throw QueltError(QStringLiteral("%1 %2.").arg(what, problem));
}

QString shown(const QVariant& value)
{
    QString text = value.toString();
    return text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
}

} // namespace

qint64 CInt64(const QVariant& value, const QString& what)
{
    if (value.isNull())
        fail(what, QStringLiteral("is empty (null) where a whole number is needed"));

    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            fail(what, QStringLiteral("(%1) is too large").arg(shown(value)));
        return qint64(u);
    }
    default:
        break;
    }

    bool ok = false;
    QString text = TrimBlanks(value.toString());
    qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d != std::trunc(d))
        fail(what, QStringLiteral("(\"%1\") is not a whole number").arg(shown(value)));
    if (d < -9.2e18 || d > 9.2e18)
        fail(what, QStringLiteral("(%1) is too large").arg(shown(value)));
    return qint64(d);
}

qint16 CInt16(const QVariant& value, const QString& what)
{
    qint64 whole = CInt64(value, what);
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        fail(what, QStringLiteral("(%1) does not fit the range -32768 to 32767").arg(whole));
    return qint16(whole);
}

QString DecimalText(qint64 number)
{
    return QString::number(number);
}

QString Counted(qint64 n, const QString& one, const QString& many)
{
    const QString noun = n == 1 ? one : many.isEmpty() ? one + u's' : many;
    return DecimalText(n) + u' ' + noun;
}
