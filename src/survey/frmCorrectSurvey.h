#pragma once

#include "data/Surveys.h"
#include "platform/Form.h"

class QComboBox;
class QLabel;
class QPushButton;
class TextBox;

// "Correct Survey Header": pick a survey, change who completed it or the
// company, Submit. What was stored before goes into the history.
class frmCorrectSurvey : public Form
{
    Q_OBJECT
public:
    frmCorrectSurvey();

    QLabel* Label3 = nullptr;
    QComboBox* cmbSurveyID = nullptr;
    QLabel* Label1 = nullptr;
    TextBox* txtCompletedBy = nullptr;
    QLabel* Label2 = nullptr;
    TextBox* txtCompany = nullptr;
    QPushButton* butSubmit = nullptr;
    QPushButton* butCancel = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;
    bool Form_QueryUnload() override;

private:
    void LoadSurveyIds();
    // Asks before typed corrections are lost; true when they may go.
    bool DiscardEdits();
    void cmbSurveyID_Click();
    void butSubmit_Click();
    void butCancel_Click();

    // The survey on show and its header as read, which the boxes are
    // compared with: only what the user changed is corrected.
    QString m_shownSurvey;
    SurveyHeader m_shown;
};
