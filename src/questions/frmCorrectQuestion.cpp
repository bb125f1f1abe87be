#include "questions/frmCorrectQuestion.h"

#include "data/Corrections.h"
#include "data/Questions.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "questions/ModelLists.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

// A question as the picker lists it: its number and its text's first line,
// cut where it would run far beyond the box.
QString pickerText(qint16 id, const QString& text)
{
    const QString line = text.section(u'\n', 0, 0);
    return QStringLiteral("%1: %2").arg(id).arg(line.size() > 80 ? line.left(80) + u'…' : line);
}

} // namespace

frmCorrectQuestion::frmCorrectQuestion()
    : Form("frmCorrectQuestion", QStringLiteral("Correct Question"), 7440, 6720)
{
    Label1 = Caption("Label1", 360, 240, 3495, 375, QStringLiteral("Correct Question"));
    Label4 = Caption("Label4", 240, 720, 975, 255, QStringLiteral("Row"));
    cmbModelRow = Control<QComboBox>("cmbModelRow", 1320, 720, 2535, 315);
    lstModelRow = Control<QListWidget>("lstModelRow", 4080, 840, 1095, 255);
    Label5 = Caption("Label5", 240, 1080, 975, 255, QStringLiteral("Column"));
    cmbModelCol = Control<QComboBox>("cmbModelCol", 1320, 1080, 2535, 315);
    lstModelCol = Control<QListWidget>("lstModelCol", 4080, 1200, 1215, 255);
    Label6 = Caption("Label6", 240, 1440, 975, 255, QStringLiteral("Question"));
    cmbQuestion = Control<QComboBox>("cmbQuestion", 1320, 1440, 4815, 315);
    Label2 = Caption("Label2", 240, 1920, 1455, 255, QStringLiteral("Number"));
    txtLabel = Control<TextBox>("txtLabel", 1920, 1920, 1575, 375);
    Label3 = Caption("Label3", 240, 2400, 1455, 375, QStringLiteral("Text"));
    txtQuestion = Control<MultiLineTextBox>("txtQuestion", 1920, 2400, 4215, 2895);
    butSubmit = Control<QPushButton>("butSubmit", 480, 6000, 1455, 375);
    butSubmit->setText(QStringLiteral("Submit"));
    butCancel = Control<QPushButton>("butCancel", 2160, 6000, 1455, 375);
    butCancel->setText(QStringLiteral("Cancel"));

    // Open for typing once a question is chosen.
    txtLabel->SetLocked(true);
    txtQuestion->setReadOnly(true);
    HideModelNumbers(lstModelRow, lstModelCol);
    NameBy(cmbModelRow, Label4);
    NameBy(cmbModelCol, Label5);
    NameBy(cmbQuestion, Label6);
    NameBy(txtLabel, Label2);
    NameBy(txtQuestion, Label3);
    SetReturnButton(butSubmit);
    SetEscapeCloses(true);
    SetTabOrder(
        {cmbModelRow, cmbModelCol, cmbQuestion, txtLabel, txtQuestion, butSubmit, butCancel});
    cmbModelRow->setFocus();

    connect(cmbModelRow, &QComboBox::activated, this,
            Handler(this, &frmCorrectQuestion::cmbModelRow_Click));
    connect(cmbModelCol, &QComboBox::activated, this,
            Handler(this, &frmCorrectQuestion::cmbModelCol_Click));
    connect(cmbQuestion, &QComboBox::activated, this,
            Handler(this, &frmCorrectQuestion::cmbQuestion_Click));
    connect(butSubmit, &QPushButton::clicked, this,
            Handler(this, &frmCorrectQuestion::butSubmit_Click));
    connect(butCancel, &QPushButton::clicked, this,
            Handler(this, &frmCorrectQuestion::butCancel_Click));
}

void frmCorrectQuestion::Form_Load()
{
    LoadModelLists();
}

void frmCorrectQuestion::Form_Show()
{
    WarnIfNothingCanBeStored();
}

bool frmCorrectQuestion::Form_QueryUnload()
{
    return DiscardEdits();
}

void frmCorrectQuestion::LoadModelLists()
{
    ::LoadModelLists(cmbModelRow, lstModelRow, cmbModelCol, lstModelCol);
}

bool frmCorrectQuestion::DiscardEdits()
{
    if (txtLabel->text() == m_shownLabel && txtQuestion->text() == m_shownText)
        return true;
    if (!MessageBox::Ask(
            QStringLiteral("The correction typed in Correct Question is not stored. Discard it?"),
            this))
        return false;
    ShowQuestion(m_shownLabel, m_shownText);
    return true;
}

void frmCorrectQuestion::ShowQuestion(const QString& label, const QString& text)
{
    m_shownLabel = label;
    m_shownText = text;
    txtLabel->setText(label);
    txtQuestion->setText(text);
}

void frmCorrectQuestion::LoadCellQuestions()
{
    cmbQuestion->clear();
    m_shownQuestion = -1;
    ShowQuestion({}, {});
    txtLabel->SetLocked(true);
    txtQuestion->setReadOnly(true);
    m_shownRow = cmbModelRow->currentIndex();
    m_shownCol = cmbModelCol->currentIndex();
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    if (!rowNumber || !colNumber)
        return;
    const QList<CellQuestion> questions = ReadCellQuestions(
        OpenSurveyDatabase(DBEngine::SurveyDatabaseName()), *rowNumber, *colNumber);
    for (const CellQuestion& question : questions)
        cmbQuestion->addItem(pickerText(question.id, question.text), question.id);
    cmbQuestion->setCurrentIndex(-1);
}

bool frmCorrectQuestion::Repicked(QComboBox* picker, int shown)
{
    if (picker->currentIndex() == shown)
        return false;
    if (!DiscardEdits()) {
        picker->setCurrentIndex(shown);
        return false;
    }
    return true;
}

void frmCorrectQuestion::cmbModelRow_Click()
{
    if (Repicked(cmbModelRow, m_shownRow))
        LoadCellQuestions();
}

void frmCorrectQuestion::cmbModelCol_Click()
{
    if (Repicked(cmbModelCol, m_shownCol))
        LoadCellQuestions();
}

// The texts are read afresh: another desktop may have corrected them since
// the cell was chosen.
void frmCorrectQuestion::cmbQuestion_Click()
{
    if (!Repicked(cmbQuestion, m_shownQuestion))
        return;
    const qint16 id = qint16(cmbQuestion->currentData().toInt());
    const std::optional<qint16> rowNumber = PickedNumber(cmbModelRow, lstModelRow);
    const std::optional<qint16> colNumber = PickedNumber(cmbModelCol, lstModelCol);
    ShowQuestion({}, {});
    m_shownQuestion = cmbQuestion->currentIndex();
    for (const CellQuestion& question : ReadCellQuestions(
             OpenSurveyDatabase(DBEngine::SurveyDatabaseName()), *rowNumber, *colNumber)) {
        if (question.id == id)
            ShowQuestion(question.label, question.text);
    }
    txtLabel->SetLocked(false);
    txtQuestion->setReadOnly(false);
    txtLabel->setFocus();
}

void frmCorrectQuestion::butSubmit_Click()
{
    if (m_shownQuestion < 0) {
        MessageBox::Show(QStringLiteral("Choose a question first."), this);
        return;
    }
    if (!QuestionTextGiven(txtQuestion, this))
        return;
    const qint16 id = qint16(cmbQuestion->itemData(m_shownQuestion).toInt());
    const auto changed = [](const QString& now, const QString& shown) {
        return now == shown ? std::nullopt : std::optional<QString>(now);
    };
    QList<TextCorrection> corrected;
    {
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        corrected = CorrectQuestion(db, id, changed(txtLabel->text(), m_shownLabel),
                                    changed(txtQuestion->text(), m_shownText));
    }
    ShowQuestion(txtLabel->text(), txtQuestion->text());
    cmbQuestion->setItemText(m_shownQuestion, pickerText(id, m_shownText));
    MessageBox::Show(
        corrected.isEmpty()
            ? QStringLiteral("Nothing was changed: question %1 is stored as shown.").arg(id)
            : QStringLiteral("Question %1 was corrected; the history keeps what it "
                             "was.")
                  .arg(id),
        this);
}

void frmCorrectQuestion::butCancel_Click()
{
    hide();
}
