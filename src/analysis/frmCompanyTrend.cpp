#include "analysis/frmCompanyTrend.h"

#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

frmCompanyTrend::frmCompanyTrend()
    : ReportWindow("frmCompanyTrend", QStringLiteral("Company Trend"),
                   QStringLiteral("Every survey of one company, in number order"), "picTrend",
                   QStringLiteral("Trend"), 6735)
{
    Label2 = Caption("Label2", 240, 480, 1080, 375, QStringLiteral("Company"));
    cmbCompany = Control<QComboBox>("cmbCompany", 1320, 480, 3615, 315);
    butTrend = Control<QPushButton>("butTrend", 5040, 480, 1455, 375);
    butTrend->setText(QStringLiteral("Show Trend"));
    NameBy(cmbCompany, Label2);
    SetTabOrder({cmbCompany, butTrend, chkColorCoding, pictureArea});
    connect(butTrend, &QPushButton::clicked, this, Handler(this, &frmCompanyTrend::butTrend_Click));
}

void frmCompanyTrend::Form_Load()
{
    LoadCompanies();
}

void frmCompanyTrend::Form_Show()
{
    if (!IsFirstShow())
        LoadCompanies();
}

// The companies of the stored surveys, each once, in the order of their
// first survey.
void frmCompanyTrend::LoadCompanies()
{
    AddNewItems(cmbCompany,
                CompaniesOf(ReadSurveyEntries(OpenSurveyDatabase(DBEngine::SurveyDatabaseName()))));
}

void frmCompanyTrend::butTrend_Click()
{
    if (cmbCompany->currentIndex() < 0) {
        MessageBox::Show(QStringLiteral("Choose the company whose surveys to show."), this);
        return;
    }
    ReportRequest request;
    request.kind = ReportKind::Trend;
    request.company = cmbCompany->currentText();
    ShowReport(request, [](const Report& report) {
        return QStringLiteral("Showing %1 of %2: %3.")
            .arg(Counted(report.surveys.size(), QStringLiteral("survey")), report.company,
                 SurveyNumbers(report));
    });
}
