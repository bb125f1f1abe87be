#include "survey/frmCorrectSurvey.h"

#include "data/Corrections.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "platform/TextSet.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <optional>

frmCorrectSurvey::frmCorrectSurvey()
    : Form("frmCorrectSurvey", QStringLiteral("Correct Survey Header"), 5640, 3210)
{
    Label3 = Caption("Label3", 480, 240, 1215, 375, QStringLiteral("Survey"));
    cmbSurveyID = Control<QComboBox>("cmbSurveyID", 1680, 240, 1095, 315);
    Label1 = Caption("Label1", 480, 840, 1695, 255, QStringLiteral("Completed By"));
    txtCompletedBy = Control<TextBox>("txtCompletedBy", 2280, 840, 1935, 375);
    Label2 = Caption("Label2", 480, 1320, 1335, 375, QStringLiteral("Company"));
    txtCompany = Control<TextBox>("txtCompany", 2280, 1320, 1935, 375);
    butSubmit = Control<QPushButton>("butSubmit", 600, 2400, 1215, 375);
    butSubmit->setText(QStringLiteral("Submit"));
    butCancel = Control<QPushButton>("butCancel", 2040, 2400, 1095, 375);
    butCancel->setText(QStringLiteral("Cancel"));

    // Open for typing once a survey is chosen.
    txtCompletedBy->SetLocked(true);
    txtCompany->SetLocked(true);
    NameBy(cmbSurveyID, Label3);
    NameBy(txtCompletedBy, Label1);
    NameBy(txtCompany, Label2);
    SetReturnButton(butSubmit);
    SetEscapeCloses(true);
    SetTabOrder({cmbSurveyID, txtCompletedBy, txtCompany, butSubmit, butCancel});
    cmbSurveyID->setFocus();

    connect(cmbSurveyID, &QComboBox::activated, this,
            Handler(this, &frmCorrectSurvey::cmbSurveyID_Click));
    connect(butSubmit, &QPushButton::clicked, this,
            Handler(this, &frmCorrectSurvey::butSubmit_Click));
    connect(butCancel, &QPushButton::clicked, this,
            Handler(this, &frmCorrectSurvey::butCancel_Click));
}

void frmCorrectSurvey::Form_Load()
{
    LoadSurveyIds();
}

void frmCorrectSurvey::Form_Show()
{
    WarnIfNothingCanBeStored();
    if (!IsFirstShow())
        LoadSurveyIds();
}

bool frmCorrectSurvey::Form_QueryUnload()
{
    return DiscardEdits();
}

void frmCorrectSurvey::LoadSurveyIds()
{
    AddNewItems(cmbSurveyID, ReadSurveyNumbers(OpenSurveyDatabase(DBEngine::SurveyDatabaseName())));
}

bool frmCorrectSurvey::DiscardEdits()
{
    if (txtCompletedBy->text() == m_shown.completedBy && txtCompany->text() == m_shown.company)
        return true;
    if (!MessageBox::Ask(QStringLiteral("The correction typed in Correct Survey Header is not "
                                        "stored. Discard it?"),
                         this))
        return false;
    txtCompletedBy->setText(m_shown.completedBy);
    txtCompany->setText(m_shown.company);
    return true;
}

void frmCorrectSurvey::cmbSurveyID_Click()
{
    const QString picked = cmbSurveyID->currentText();
    if (picked != m_shownSurvey && !DiscardEdits()) {
        cmbSurveyID->setCurrentIndex(cmbSurveyID->findText(m_shownSurvey));
        return;
    }
    const std::optional<SurveyHeader> header = ReadSurveyHeader(
        OpenSurveyDatabase(DBEngine::SurveyDatabaseName()), ParseSurveyNumber(picked));
    m_shownSurvey = picked;
    m_shown = header.value_or(SurveyHeader{});
    txtCompletedBy->setText(m_shown.completedBy);
    txtCompletedBy->setCursorPosition(0);
    txtCompany->setText(m_shown.company);
    txtCompany->setCursorPosition(0);
    txtCompletedBy->SetLocked(false);
    txtCompany->SetLocked(false);
    txtCompletedBy->setFocus();
}

void frmCorrectSurvey::butSubmit_Click()
{
    if (m_shownSurvey.isEmpty()) {
        MessageBox::Show(QStringLiteral("Choose a survey first."), this);
        return;
    }
    const SurveyNumber surveyId = ParseSurveyNumber(m_shownSurvey);
    const auto changed = [](const TextBox* box, const QString& shown) {
        return box->text() == shown ? std::nullopt : std::optional<QString>(box->text());
    };
    QList<TextCorrection> corrected;
    {
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        corrected = CorrectSurveyHeader(db, surveyId, changed(txtCompletedBy, m_shown.completedBy),
                                        changed(txtCompany, m_shown.company));
    }
    m_shown = {txtCompletedBy->text(), txtCompany->text()};
    MessageBox::Show(corrected.isEmpty()
                         ? QStringLiteral("Nothing was changed: survey %1's header is stored as "
                                          "shown.")
                               .arg(surveyId)
                         : QStringLiteral("Survey %1's header was corrected; the history keeps "
                                          "what it was.")
                               .arg(surveyId),
                     this);
}

void frmCorrectSurvey::butCancel_Click()
{
    hide();
}
