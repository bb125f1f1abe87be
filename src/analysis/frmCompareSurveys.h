#pragma once

#include "analysis/ReportWindow.h"

class QComboBox;
class QPushButton;

// Two surveys side by side: in every cell the mean of each and the change
// from the first to the second, filled by improvement or decline.
class frmCompareSurveys : public ReportWindow
{
    Q_OBJECT
public:
    frmCompareSurveys();

    QLabel* Label2 = nullptr;
    QComboBox* cmbFirstSurvey = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cmbSecondSurvey = nullptr;
    QPushButton* butCompare = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;

private:
    void butCompare_Click();
    void LoadSurveyIds();
};
