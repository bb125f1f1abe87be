#include "questions/ModelLists.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QComboBox>
#include <QListWidget>

namespace {

void fillPair(Database& db, const QString& sql, const QString& numberField, QComboBox* names,
              QListWidget* numbers)
{
    QueryDef qd = db.CreateQueryDef(sql);
    Recordset rs = qd.OpenRecordset();
    while (!rs.Eof()) {
        // Null or blank, a number cannot address the row: list neither half.
        const QString number = CText(rs.Fields(numberField));
        if (!number.isEmpty()) {
            names->addItem(rs.FieldText(QStringLiteral("name")));
            numbers->addItem(number);
        }
        rs.MoveNext();
    }
    qd.Close();
    // Adding the first item selects it; the user has chosen nothing yet.
    names->setCurrentIndex(-1);
}

} // namespace

void LoadModelLists(QComboBox* cmbModelRow, QListWidget* lstModelRow, QComboBox* cmbModelCol,
                    QListWidget* lstModelCol)
{
    Database db = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
    fillPair(db, Sql::SelectModelRows(), QStringLiteral("row_number"), cmbModelRow, lstModelRow);
    fillPair(db, Sql::SelectModelColumns(), QStringLiteral("col_number"), cmbModelCol, lstModelCol);
    db.Close();
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
