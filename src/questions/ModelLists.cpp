#include "questions/ModelLists.h"

#include "data/Model.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/MessageBox.h"
#include "platform/QueltError.h"
#include "platform/TextBox.h"

#include <QComboBox>
#include <QListWidget>

namespace {

void fillPair(const QList<ModelLine>& lines, QComboBox* names, QListWidget* numbers)
{
    for (const ModelLine& line : lines) {
        names->addItem(line.name);
        numbers->addItem(line.number);
    }
    // Adding the first item selects it; the user has chosen nothing yet.
    names->setCurrentIndex(-1);
}

} // namespace

void LoadModelLists(QComboBox* cmbModelRow, QListWidget* lstModelRow, QComboBox* cmbModelCol,
                    QListWidget* lstModelCol)
{
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    fillPair(ReadModelRows(db), cmbModelRow, lstModelRow);
    fillPair(ReadModelColumns(db), cmbModelCol, lstModelCol);
}

void HideModelNumbers(QListWidget* lstModelRow, QListWidget* lstModelCol)
{
    for (QListWidget* numbers : {lstModelRow, lstModelCol}) {
        numbers->setFocusPolicy(Qt::NoFocus);
        numbers->hide();
    }
    lstModelRow->setAccessibleName(QStringLiteral("Row numbers"));
    lstModelCol->setAccessibleName(QStringLiteral("Column numbers"));
}

std::optional<qint16> PickedNumber(const QComboBox* names, const QListWidget* numbers)
{
    const int index = names->currentIndex();
    if (index < 0)
        return std::nullopt;
    const QListWidgetItem* item = numbers->item(index);
    if (!item)
        throw QueltError(QStringLiteral("The list of numbers has no entry for \"%1\".")
                             .arg(names->currentText()));
    return CInt16(item->text(), QStringLiteral("The number of \"%1\"").arg(names->currentText()));
}

bool QuestionTextGiven(MultiLineTextBox* text, QWidget* window)
{
    if (!text->text().trimmed().isEmpty())
        return true;
    MessageBox::Show(QStringLiteral("Type the question's text first; nothing was stored."), window);
    text->setFocus();
    return false;
}
