#include "questions/frmQuestion.h"

#include "data/Questions.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "questions/ModelLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

frmQuestion::frmQuestion() : Form("frmQuestion", QStringLiteral("Form1"), 7440, 6720)
{
    Label1 = Caption("Label1", 360, 240, 3495, 375, QStringLiteral("Add Question"));
    Label4 = Caption("Label4", 240, 720, 975, 255, QStringLiteral("Row"));
    cmbModelRow = Control<QComboBox>("cmbModelRow", 1320, 720, 2535, 315);
    lstModelRow = Control<QListWidget>("lstModelRow", 4080, 840, 1095, 255);
    Label5 = Caption("Label5", 240, 1080, 975, 255, QStringLiteral("Column"));
    cmbModelCol = Control<QComboBox>("cmbModelCol", 1320, 1080, 2535, 315);
    lstModelCol = Control<QListWidget>("lstModelCol", 4080, 1200, 1215, 255);
    Label2 = Caption("Label2", 240, 1680, 1455, 255, QStringLiteral("Number"));
    txtLabel = Control<TextBox>("txtLabel", 1920, 1680, 1575, 375);
    Label3 = Caption("Label3", 240, 2160, 1455, 375, QStringLiteral("Question"));
    txtQuestion = Control<MultiLineTextBox>("txtQuestion", 1920, 2160, 4215, 3135);
    Check1 = Control<QCheckBox>("Check1", 480, 5400, 2295, 495);
    Check1->setText(QStringLiteral("Question Header"));
    butSubmit = Control<QPushButton>("butSubmit", 480, 6000, 1455, 375);
    butSubmit->setText(QStringLiteral("Submit"));
    butCancel = Control<QPushButton>("butCancel", 2160, 6000, 1455, 375);
    butCancel->setText(QStringLiteral("Cancel"));

    HideModelNumbers(lstModelRow, lstModelCol);
    NameBy(cmbModelRow, Label4);
    NameBy(cmbModelCol, Label5);
    NameBy(txtLabel, Label2);
    NameBy(txtQuestion, Label3);
    // Return in the label box moves on to the question box, where it is a
    // line break.
    SetReturnButton(butSubmit);
    SetEscapeCloses(true);

    SetTabOrder({txtLabel, txtQuestion, butSubmit, butCancel, Check1, cmbModelRow, cmbModelCol});
    txtLabel->setFocus();

    connect(butSubmit, &QPushButton::clicked, this, Handler(this, &frmQuestion::butSubmit_Click));
    connect(butCancel, &QPushButton::clicked, this, Handler(this, &frmQuestion::butCancel_Click));
}

void frmQuestion::Form_Load()
{
    LoadModelLists();
}

void frmQuestion::Form_Show()
{
    WarnIfNothingCanBeStored();
    // Shown again after Cancel, typing goes on where a question starts.
    txtLabel->setFocus();
}

// Typed text is the user's work: Cancel keeps it, and closing the window
// (or the program) loses it only after a Yes.
bool frmQuestion::Form_QueryUnload()
{
    if (txtLabel->text().isEmpty() && txtQuestion->text().isEmpty())
        return true;
    if (!MessageBox::Ask(
            QStringLiteral("The question typed in Add Question is not stored. Discard it?"), this))
        return false;
    // Gone once the user said so, so that closing goes on without asking again.
    txtLabel->setText(QString());
    txtQuestion->setText(QString());
    return true;
}

void frmQuestion::LoadModelLists()
{
    ::LoadModelLists(cmbModelRow, lstModelRow, cmbModelCol, lstModelCol);
}

void frmQuestion::InsertQuestion()
{
    const QString label = txtLabel->text();
    const QString questionText = txtQuestion->text();
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    // A question outside any cell could never be asked or counted.
    if (!rowNumber || !colNumber) {
        MessageBox::Show(QStringLiteral("Choose a model row and a model column first."), this);
        return;
    }
    if (!QuestionTextGiven(txtQuestion, this))
        return;

    bool stored = false;
    {
        // Closed before a message waits for the user.
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        stored = StoreQuestionWithinNumbers(db, {label, questionText, *rowNumber, *colNumber});
    }
    if (!stored) {
        MessageBox::Show(
            QStringLiteral("No further question number is available; nothing was stored."), this);
        return;
    }

    // Emptied only once stored, so a failed insert leaves the typing in place.
    txtLabel->setText(QString());
    txtQuestion->setText(QString());
    txtLabel->setFocus();
}

void frmQuestion::butSubmit_Click()
{
    InsertQuestion();
}

void frmQuestion::butCancel_Click()
{
    hide();
}
