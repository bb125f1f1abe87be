#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <unordered_set>

// The texts seen so far, for picking out repeats in lists of tens of
// thousands. Plain whole numbers (the survey numbers) are kept by value,
// several times cheaper than hashing their texts; any other text is kept as
// it is. Not QSet: with Qt's random seed its hash of short decimal texts
// collides so often that such lists take many times longer.
class TextSet
{
public:
    void Reserve(std::size_t count);
    // True when `text` was not in the set yet; it is from now on.
    bool Insert(const QString& text);

private:
    std::unordered_set<qint64> m_numbers;
    std::unordered_set<QString> m_texts;
};
