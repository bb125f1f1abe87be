#include "survey/frmNewSurvey.h"

#include "data/SurveyFile.h"
#include "data/Surveys.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "survey/frmSurvey.h"

#include <QLabel>
#include <QPushButton>
#include <optional>

namespace {

const QString kNoFurtherNumber = QStringLiteral("No further survey number is available.");

} // namespace

frmNewSurvey::frmNewSurvey()
    : Form("frmNewSurvey", QStringLiteral("Answer New Survey"), 5640, 3210)
{
    Label3 = Caption("Label3", 480, 240, 1215, 375, QStringLiteral("Survey"));
    txtSurveyID = Control<TextBox>("txtSurveyID", 1680, 240, 855, 375);
    txtSurveyID->SetLocked(true);
    Label1 = Caption("Label1", 480, 840, 1695, 255, QStringLiteral("Completed By"));
    txtCompletedBy = Control<TextBox>("txtCompletedBy", 2280, 840, 1935, 375);
    Label2 = Caption("Label2", 480, 1320, 1335, 375, QStringLiteral("Company"));
    txtCompany = Control<TextBox>("txtCompany", 2280, 1320, 1935, 375);
    butSubmit = Control<QPushButton>("butSubmit", 600, 2400, 1215, 375);
    butSubmit->setText(QStringLiteral("Submit"));
    butCancel = Control<QPushButton>("butCancel", 2040, 2400, 1095, 375);
    butCancel->setText(QStringLiteral("Cancel"));

    NameBy(txtSurveyID, Label3);
    NameBy(txtCompletedBy, Label1);
    NameBy(txtCompany, Label2);
    SetReturnButton(butSubmit);
    SetEscapeCloses(true);

    SetTabOrder({txtSurveyID, txtCompletedBy, txtCompany, butSubmit, butCancel});
    txtSurveyID->setFocus();

    connect(butSubmit, &QPushButton::clicked, this, Handler(this, &frmNewSurvey::butSubmit_Click));
    connect(butCancel, &QPushButton::clicked, this, Handler(this, &frmNewSurvey::butCancel_Click));
}

void frmNewSurvey::Form_Load()
{
    SetNextSurveyID();
}

void frmNewSurvey::Form_Show()
{
    WarnIfNothingCanBeStored();
    // A successful Submit empties the number box, so showing the window again
    // proposes afresh; after Cancel the proposal and the texts stay.
    if (txtSurveyID->text().isEmpty())
        SetNextSurveyID();
    if (txtSurveyID->text().isEmpty())
        MessageBox::Show(kNoFurtherNumber, this);
}

// Puts the next free survey number into txtSurveyID; empties it when none is left.
void frmNewSurvey::SetNextSurveyID()
{
    const Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
    const std::optional<SurveyNumber> next = ReadNextSurveyNumber(db);
    txtSurveyID->setText(next ? DecimalText(*next) : QString());
}

void frmNewSurvey::butSubmit_Click()
{
    const QString surveyId = txtSurveyID->text();
    // Empty only when no number could be proposed.
    std::optional<SurveyNumber> proposed;
    if (!surveyId.isEmpty())
        proposed = CInt16(surveyId, QStringLiteral("The proposed survey number"));
    if (proposed && !AcceptEmptyBoxes(*proposed))
        return;

    NewSurveyOutcome outcome;
    {
        // Closed, and any unfinished batch rolled back, before a message
        // waits for the user.
        Database db = OpenSurveyDatabase(DBEngine::SurveyDatabaseName());
        outcome = StoreNewSurvey(db, proposed, {txtCompletedBy->text(), txtCompany->text()});
    }

    if (outcome.stored) {
        // Another desktop took the proposed number meanwhile: the survey is
        // stored under the next one rather than making the user submit again.
        if (outcome.stored != proposed)
            MessageBox::Show(QStringLiteral("Survey number %1 was taken in the meantime; this "
                                            "survey was stored as number %2.")
                                 .arg(*proposed)
                                 .arg(*outcome.stored),
                             this);
        // Emptied boxes make the next showing start a new survey (see Form_Show).
        txtSurveyID->setText(QString());
        txtCompletedBy->setText(QString());
        txtCompany->setText(QString());
        hide();
        // The survey just started is the one to answer.
        ShowForm<frmSurvey>()->ChooseSurvey(*proposed);
    } else if (!outcome.next) {
        txtSurveyID->setText(QString());
        MessageBox::Show(kNoFurtherNumber, this);
    } else if (!proposed) {
        txtSurveyID->setText(DecimalText(*outcome.next));
        MessageBox::Show(QStringLiteral("Survey number %1 is proposed.").arg(*outcome.next), this);
    } else {
        txtSurveyID->setText(DecimalText(*outcome.next));
        MessageBox::Show(
            QStringLiteral("Survey number %1 is already stored; number %2 is proposed instead.")
                .arg(*proposed)
                .arg(*outcome.next),
            this);
    }
}

// A header without who completed the survey, or for which company, cannot
// be told apart later: stored only after a Yes. No puts the cursor there.
bool frmNewSurvey::AcceptEmptyBoxes(SurveyNumber surveyId)
{
    QStringList empty;
    for (const auto& [box, caption] : {std::pair{txtCompletedBy, Label1}, {txtCompany, Label2}}) {
        if (box->text().trimmed().isEmpty())
            empty.append(caption->text());
    }
    if (empty.isEmpty())
        return true;
    const QString question =
        empty.size() == 1
            ? QStringLiteral("%1 is empty. Store survey %2 without it?").arg(empty.first())
            : QStringLiteral("%1 and %2 are empty. Store survey %3 without them?")
                  .arg(empty.at(0), empty.at(1));
    if (MessageBox::Ask(question.arg(surveyId), this))
        return true;
    (txtCompletedBy->text().trimmed().isEmpty() ? txtCompletedBy : txtCompany)->setFocus();
    return false;
}

void frmNewSurvey::butCancel_Click()
{
    hide();
}
