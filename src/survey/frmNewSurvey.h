#pragma once

#include "data/Surveys.h"
#include "platform/Form.h"

class QLabel;
class QPushButton;
class TextBox;

// Starts a survey: proposes the next survey number, takes who completed it
// and for which company, stores the header and moves on to the answers.
class frmNewSurvey : public Form
{
    Q_OBJECT
public:
    frmNewSurvey();

    QLabel* Label3 = nullptr;
    TextBox* txtSurveyID = nullptr;
    QLabel* Label1 = nullptr;
    TextBox* txtCompletedBy = nullptr;
    QLabel* Label2 = nullptr;
    TextBox* txtCompany = nullptr;
    QPushButton* butSubmit = nullptr;
    QPushButton* butCancel = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;

private:
    void SetNextSurveyID();
    bool AcceptEmptyBoxes(SurveyNumber surveyId);
    void butSubmit_Click();
    void butCancel_Click();
};
