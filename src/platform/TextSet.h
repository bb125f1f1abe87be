#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <unordered_set>
#include <vector>

// The texts seen so far, for picking out repeats in lists of tens of
// thousands. Plain whole numbers (the survey numbers) are kept by value: those
// from 0 to 65535 as one bit each, others in a hash set; any other text is
// kept as it is. Not QSet: with Qt's random seed its hash of short decimal
// texts collides so often that such lists take many times longer.
class TextSet
{
public:
    // True when `text` was not in the set yet; it is from now on.
    bool Insert(const QString& text);

private:
    std::vector<bool> m_small;
    std::unordered_set<qint64> m_numbers;
    std::unordered_set<QString> m_texts;
};

class QComboBox;

// Appends the texts a combo box does not hold yet, in their order, and keeps
// its current choice (adding the first item would select it). All in one
// call: item by item, the box updates itself for each of what may be
// thousands of surveys.
void AddNewItems(QComboBox* combo, const QStringList& texts);
