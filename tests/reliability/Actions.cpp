#include "reliability/Actions.h"

#include "common/TestDb.h"
#include "common/Ui.h"

#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "survey/SurveyQuestionControl.h"

#include <QComboBox>

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

// Where each action is done: the menu item that opens its window, the
// window, and the button of its one click.
struct Place
{
    const char* menuItem;
    const char* window;
    const char* button;
};

Place placeOf(Action action)
{
    switch (action) {
    case Action::Question:
        return {"miAddQuestion", "frmQuestion", "butSubmit"};
    case Action::Header:
        return {"miCompleteSurvey", "frmNewSurvey", "butSubmit"};
    case Action::Answers:
        return {"miModifySurveyAnswers", "frmSurvey", "butSubmit"};
    case Action::Results:
        break;
    }
    return {"miQueltTable", "frmModelTable", "butResults"};
}

void pickIfOffered(const QWidget* window, const QString& combo, const QString& text)
{
    if (Ui::Find<QComboBox>(window, combo)->findText(text) >= 0)
        Ui::PickText(window, combo, text);
}

// The model's first row and column, when the model has any.
void pickFirstCell(const QWidget* window)
{
    auto* row = Ui::Find<QComboBox>(window, QStringLiteral("cmbModelRow"));
    auto* col = Ui::Find<QComboBox>(window, QStringLiteral("cmbModelCol"));
    if (row->count() > 0 && col->count() > 0) {
        Ui::Pick(row, 0);
        Ui::Pick(col, 0);
    }
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
    const QWidget* w = Ui::Window(QStringLiteral("frmModelTable"));
    return w ? Ui::Find(w, QStringLiteral("picTable"))->grab().toImage() : QImage();
}

void Actions::Prepare(Action action)
{
    Ui::MenuItem(placeOf(action).menuItem);
    const QWidget* w = Ui::Window(placeOf(action).window);
    if (!w)
        return;
    switch (action) {
    case Action::Question:
        pickFirstCell(w);
        Ui::Find<TextBox>(w, QStringLiteral("txtLabel"))->setText(QStringLiteral("N"));
        Ui::Find<MultiLineTextBox>(w, QStringLiteral("txtQuestion"))
            ->setText(QStringLiteral("A question added under the fault"));
        break;
    case Action::Header:
        Ui::Find<TextBox>(w, QStringLiteral("txtCompletedBy"))->setText(QStringLiteral("Under"));
        Ui::Find<TextBox>(w, QStringLiteral("txtCompany"))->setText(QStringLiteral("Fault"));
        break;
    case Action::Answers:
        pickIfOffered(w, QStringLiteral("cmbSurveyID"), QStringLiteral("1"));
        pickFirstCell(w);
        Ui::Choose(Ui::Row(w, 0), 2);
        break;
    case Action::Results:
        pickIfOffered(w, QStringLiteral("cmbSurvey"), QStringLiteral("1"));
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
    // A cell that holds answers already asks what to do with the new ones:
    // the user adds them, as every Submit did before it asked.
    auto previous =
        MessageBox::SetChoiceHandler([](const QString&, const QStringList& buttons, QWidget*) {
            return int(buttons.indexOf(QStringLiteral("Add")));
        });
    if (const QWidget* w = Ui::Window(placeOf(action).window))
        Ui::Click(w, placeOf(action).button);
    MessageBox::SetChoiceHandler(std::move(previous));
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
    case Action::Question: {
        const QWidget* w = Ui::FindWindow(placeOf(action).window);
        return Ui::Find<MultiLineTextBox>(w, QStringLiteral("txtQuestion"))->text().isEmpty();
    }
    case Action::Header:
        return !Ui::FindWindow(placeOf(action).window)->isVisible();
    default:
        return true;
    }
}

void FillOneAnswer(const TestDb& db)
{
    db.addSurvey(1, QStringLiteral("Ann"), QStringLiteral("Acme"));
    db.addAnswer(1, db.addQuestion(0, 0, QStringLiteral("Kept?"), QStringLiteral("K")), 3);
}
