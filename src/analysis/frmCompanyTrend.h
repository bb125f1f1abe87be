#pragma once

#include "analysis/ReportWindow.h"

class QComboBox;
class QPushButton;

// Every survey of one company in number order: in every cell a line through
// their means, over the latest survey's mean.
class frmCompanyTrend : public ReportWindow
{
    Q_OBJECT
public:
    frmCompanyTrend();

    QLabel* Label2 = nullptr;
    QComboBox* cmbCompany = nullptr;
    QPushButton* butTrend = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;

private:
    void butTrend_Click();
    void LoadCompanies();
};
