#include "reliability/Actions.h"

#include "common/TestDb.h"
#include "common/Ui.h"

#include "analysis/PictureBox.h"
#include "analysis/frmModelTable.h"
#include "platform/TextBox.h"
#include "questions/frmQuestion.h"
#include "shell/frmMainMenu.h"
#include "survey/SurveyQuestionControl.h"
#include "survey/frmNewSurvey.h"
#include "survey/frmSurvey.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString tableOf(Action action)
{
    switch (action) {
    case Action::Question:
        return QStringLiteral("question");
    case Action::Header:
        return QStringLiteral("survey");
    case Action::Answers:
        return QStringLiteral("survey_results");
    case Action::Results:
        break;
    }
    return {};
}

void pickIfOffered(QComboBox* combo, const QString& text)
{
    if (combo->findText(text) >= 0)
        Ui::PickText(combo, text);
}

} // namespace

QString ActionName(Action action)
{
    switch (action) {
    case Action::Question:
        return QStringLiteral("store a question");
    case Action::Header:
        return QStringLiteral("store a survey header");
    case Action::Answers:
        return QStringLiteral("submit answers");
    case Action::Results:
        return QStringLiteral("show results");
    }
    return {};
}

qint64 CountIfThere(const TestDb& db, const QString& table)
{
    if (db.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                "name = '%1'")
                     .arg(table))
            .toInt() == 0)
        return -1;
    return db.count(table);
}

QImage ResultsPicture()
{
    frmModelTable* w = FormInstance<frmModelTable>();
    return w ? w->picTable->grab().toImage() : QImage();
}

void Actions::Prepare(Action action)
{
    frmMainMenu* menu = ShowForm<frmMainMenu>();
    switch (action) {
    case Action::Question:
        Ui::Trigger(menu->miAddQuestion);
        if (frmQuestion* w = FormInstance<frmQuestion>()) {
            if (w->cmbModelRow->count() > 0 && w->cmbModelCol->count() > 0) {
                Ui::Pick(w->cmbModelRow, 0);
                Ui::Pick(w->cmbModelCol, 0);
            }
            w->txtLabel->setText(QStringLiteral("N"));
            w->txtQuestion->setText(QStringLiteral("A question added under the fault"));
        }
        break;
    case Action::Header:
        Ui::Trigger(menu->miCompleteSurvey);
        if (frmNewSurvey* w = FormInstance<frmNewSurvey>()) {
            w->txtCompletedBy->setText(QStringLiteral("Under"));
            w->txtCompany->setText(QStringLiteral("Fault"));
        }
        break;
    case Action::Answers:
        Ui::Trigger(menu->miModifySurveyAnswers);
        if (frmSurvey* w = FormInstance<frmSurvey>()) {
            pickIfOffered(w->cmbSurveyID, QStringLiteral("1"));
            if (w->cmbModelRow->count() > 0 && w->cmbModelCol->count() > 0) {
                Ui::Pick(w->cmbModelRow, 0);
                Ui::Pick(w->cmbModelCol, 0);
            }
            QTest::mouseClick(w->SurveyQuestionControl1[0]->optChoice[2], Qt::LeftButton, {},
                              QPoint(6, 8));
        }
        break;
    case Action::Results:
        Ui::Trigger(menu->miQueltTable);
        if (frmModelTable* w = FormInstance<frmModelTable>())
            pickIfOffered(w->cmbSurvey, QStringLiteral("1"));
        break;
    }
}

void Actions::Mark(Action action)
{
    m_before = CountIfThere(m_db, tableOf(action));
    m_picture = ResultsPicture();
}

void Actions::Click(Action action)
{
    switch (action) {
    case Action::Question:
        if (frmQuestion* w = FormInstance<frmQuestion>())
            Ui::Click(w->butSubmit);
        break;
    case Action::Header:
        if (frmNewSurvey* w = FormInstance<frmNewSurvey>())
            Ui::Click(w->butSubmit);
        break;
    case Action::Answers:
        if (frmSurvey* w = FormInstance<frmSurvey>())
            Ui::Click(w->butSubmit);
        break;
    case Action::Results:
        if (frmModelTable* w = FormInstance<frmModelTable>())
            Ui::Click(w->butResults);
        break;
    }
}

bool Actions::Done(Action action) const
{
    if (action == Action::Results) {
        const QImage now = ResultsPicture();
        return !now.isNull() && now != m_picture;
    }
    const qint64 now = CountIfThere(m_db, tableOf(action));
    if (m_before < 0 || now != m_before + 1)
        return false;
    switch (action) {
    case Action::Question:
        return FormInstance<frmQuestion>()->txtQuestion->text().isEmpty();
    case Action::Header:
        return !FormInstance<frmNewSurvey>()->isVisible();
    default:
        return true;
    }
}
