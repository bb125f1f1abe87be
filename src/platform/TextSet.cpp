#include "platform/TextSet.h"

#include <QComboBox>

namespace {

// The value of a whole number written the one way QString::number writes it
// (no sign but a minus, no leading zeros, no blanks), so that equal values
// mean equal texts.
bool plainNumber(const QString& text, qint64& value)
{
    const qsizetype size = text.size();
    const bool negative = size > 0 && text.at(0) == u'-';
    const qsizetype first = negative ? 1 : 0;
    const qsizetype digits = size - first;
    // 18 digits always fit; longer texts are kept as texts.
    if (digits < 1 || digits > 18)
        return false;
    if (text.at(first) == u'0' && (digits > 1 || negative))
        return false;
    qint64 v = 0;
    for (qsizetype i = first; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    value = negative ? -v : v;
    return true;
}

constexpr qint64 kSmall = 65536;

} // namespace

bool TextSet::Insert(const QString& text)
{
    qint64 value = 0;
    if (!plainNumber(text, value))
        return m_texts.insert(text).second;
    if (value < 0 || value >= kSmall)
        return m_numbers.insert(value).second;
    if (m_small.empty())
        m_small.resize(std::size_t(kSmall));
    if (m_small[std::size_t(value)])
        return false;
    m_small[std::size_t(value)] = true;
    return true;
}

void AddNewItems(QComboBox* combo, const QStringList& texts)
{
    const int chosen = combo->currentIndex();
    TextSet listed;
    for (int i = 0; i < combo->count(); ++i)
        listed.Insert(combo->itemText(i));
    QStringList added;
    for (const QString& text : texts) {
        if (listed.Insert(text))
            added.append(text);
    }
    combo->addItems(added);
    combo->setCurrentIndex(chosen);
}
