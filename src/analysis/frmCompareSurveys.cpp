#include "analysis/frmCompareSurveys.h"

#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBox.h"
#include "platform/TextSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

frmCompareSurveys::frmCompareSurveys()
    : ReportWindow("frmCompareSurveys", QStringLiteral("Compare Surveys"),
                   QStringLiteral("Two surveys of the model compared, cell by cell"), "picCompare",
                   QStringLiteral("Comparison"), 9495)
{
    Label2 = Caption("Label2", 240, 480, 1080, 375, QStringLiteral("First survey"));
    cmbFirstSurvey = Control<QComboBox>("cmbFirstSurvey", 1320, 480, 2415, 315);
    Label3 = Caption("Label3", 3840, 480, 1440, 375, QStringLiteral("Second survey"));
    cmbSecondSurvey = Control<QComboBox>("cmbSecondSurvey", 5280, 480, 2415, 315);
    butCompare = Control<QPushButton>("butCompare", 7800, 480, 1455, 375);
    butCompare->setText(QStringLiteral("Compare"));
    NameBy(cmbFirstSurvey, Label2);
    NameBy(cmbSecondSurvey, Label3);
    SetTabOrder({cmbFirstSurvey, cmbSecondSurvey, butCompare, chkColorCoding, pictureArea});
    connect(butCompare, &QPushButton::clicked, this,
            Handler(this, &frmCompareSurveys::butCompare_Click));
}

void frmCompareSurveys::Form_Load()
{
    LoadSurveyIds();
}

void frmCompareSurveys::Form_Show()
{
    if (!IsFirstShow())
        LoadSurveyIds();
}

void frmCompareSurveys::LoadSurveyIds()
{
    const QStringList choices =
        SurveyChoices(ReadSurveyEntries(OpenSurveyDatabase(DBEngine::SurveyDatabaseName())));
    AddNewItems(cmbFirstSurvey, choices);
    AddNewItems(cmbSecondSurvey, choices);
}

void frmCompareSurveys::butCompare_Click()
{
    if (cmbFirstSurvey->currentIndex() < 0 || cmbSecondSurvey->currentIndex() < 0) {
        MessageBox::Show(QStringLiteral("Choose the two surveys to compare."), this);
        return;
    }
    const SurveyNumber first = ChosenSurvey(cmbFirstSurvey->currentText());
    const SurveyNumber second = ChosenSurvey(cmbSecondSurvey->currentText());
    if (first == second) {
        MessageBox::Show(QStringLiteral("Choose two different surveys to compare."), this);
        return;
    }
    ReportRequest request;
    request.kind = ReportKind::Comparison;
    request.surveys = {first, second};
    ShowReport(request, [first, second](const Report&) {
        return QStringLiteral("Showing survey %1 compared with survey %2.").arg(first).arg(second);
    });
}
