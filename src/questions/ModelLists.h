#pragma once

#include <QtGlobal>
#include <optional>

class MultiLineTextBox;
class QComboBox;
class QListWidget;
class QWidget;

// Fills the two pairs of model lists, names in the combo boxes and numbers in
// the hidden list boxes at the same positions, in the order the engine gives
// the rows. A row or column without a number (null or blank) cannot be
// addressed and is left out of both boxes of its pair; one without a name is
// listed with an empty name. Nothing is chosen afterwards. Appends: the boxes
// start empty.
void LoadModelLists(QComboBox* cmbModelRow, QListWidget* lstModelRow, QComboBox* cmbModelCol,
                    QListWidget* lstModelCol);

// The number lists only pair each name with its number: the user never
// sees them, and a screen reader names them.
void HideModelNumbers(QListWidget* lstModelRow, QListWidget* lstModelCol);

// The number beside the picked name, or nothing while no name is picked.
// A stored number that is not a 16-bit whole number is an error.
std::optional<qint16> PickedNumber(const QComboBox* names, const QListWidget* numbers);

// A question without text shows as five buttons with nothing to answer: false,
// after saying so in `window` and putting the focus on the text, when `text`
// holds nothing but blanks.
bool QuestionTextGiven(MultiLineTextBox* text, QWidget* window);
