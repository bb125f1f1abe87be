#include "survey/frmNewSurvey.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextBox.h"
#include "survey/frmSurvey.h"

#include <QLabel>
#include <QPushButton>
#include <limits>
#include <optional>

namespace {

const QString kNoFurtherNumber = QStringLiteral("No further survey number is available.");

// One more than the largest stored survey number (1 for none), or nothing
// once the largest stored leaves no 16-bit number above it: never wraps.
std::optional<qint16> NextSurveyNumber(Database& db)
{
    QueryDef qd = db.CreateQueryDef(Sql::SelectMaxSurveyId());
    Recordset rs = qd.OpenRecordset();
    qint64 next = 1;
    if (!rs.Eof() && !rs.Fields(QStringLiteral("iMax")).isNull())
        next = CInt64(rs.Fields(QStringLiteral("iMax")),
                      QStringLiteral("The largest stored survey number")) +
               1;
    rs.Close();
    qd.Close();
    if (next > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return CInt16(next, QStringLiteral("The next survey number"));
}

QLabel* caption(QLabel* label, const QString& text)
{
    label->setText(text);
    return label;
}

} // namespace

frmNewSurvey::frmNewSurvey()
    : Form("frmNewSurvey", QStringLiteral("Answer New Survey"), 5640, 3210)
{
    Label3 = caption(Control<QLabel>("Label3", 480, 240, 1215, 375), QStringLiteral("Survey"));
    txtSurveyID = Control<TextBox>("txtSurveyID", 1680, 240, 855, 375);
    txtSurveyID->SetLocked(true);
    Label1 = caption(Control<QLabel>("Label1", 480, 840, 1695, 255), QStringLiteral("Completed By"));
    txtCompletedBy = Control<TextBox>("txtCompletedBy", 2280, 840, 1935, 375);
    Label2 = caption(Control<QLabel>("Label2", 480, 1320, 1335, 375), QStringLiteral("Company"));
    txtCompany = Control<TextBox>("txtCompany", 2280, 1320, 1935, 375);
    butSubmit = Control<QPushButton>("butSubmit", 600, 2400, 1215, 375);
    butSubmit->setText(QStringLiteral("Submit"));
    butCancel = Control<QPushButton>("butCancel", 2040, 2400, 1095, 375);
    butCancel->setText(QStringLiteral("Cancel"));

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
    Database db = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
    const std::optional<qint16> next = NextSurveyNumber(db);
    db.Close();
    txtSurveyID->setText(next ? DecimalText(*next) : QString());
}

void frmNewSurvey::butSubmit_Click()
{
    Database db = DBEngine::OpenDatabase(DBEngine::SurveyDatabaseName());
    const QString surveyId = txtSurveyID->text();
    const QString completedBy = txtCompletedBy->text();
    const QString company = txtCompany->text();
    // Empty only when no number could be proposed.
    std::optional<qint16> proposed;
    if (!surveyId.isEmpty())
        proposed = CInt16(surveyId, QStringLiteral("The proposed survey number"));

    std::optional<qint16> next;
    bool stored = false;
    {
        // Another copy of the program may have stored a header since the
        // proposal: the check and the insert hold the write lock together.
        Transaction batch(db);
        next = NextSurveyNumber(db);
        if (next && proposed && *proposed >= *next) {
            QueryDef qd = db.CreateQueryDef(Sql::InsertSurvey(*proposed, completedBy, company));
            qd.Execute();
            qd.Close();
            batch.Commit();
            stored = true;
        }
    } // rolled back here unless stored, before any message waits for the user
    db.Close();

    if (stored) {
        // Emptied boxes make the next showing start a new survey (see Form_Show).
        txtSurveyID->setText(QString());
        txtCompletedBy->setText(QString());
        txtCompany->setText(QString());
        hide();
        ShowForm<frmSurvey>();
    } else if (!next) {
        txtSurveyID->setText(QString());
        MessageBox::Show(kNoFurtherNumber, this);
    } else if (!proposed) {
        // Only a number the user has seen is ever stored.
        txtSurveyID->setText(DecimalText(*next));
        MessageBox::Show(QStringLiteral("Survey number %1 is proposed.").arg(*next), this);
    } else {
        txtSurveyID->setText(DecimalText(*next));
        MessageBox::Show(
            QStringLiteral("Survey number %1 is already stored; number %2 is proposed instead.")
                .arg(*proposed)
                .arg(*next),
            this);
    }
}

void frmNewSurvey::butCancel_Click()
{
    hide();
}
