#pragma once

#include "platform/Form.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;

class frmMainMenu : public Form
{
    Q_OBJECT
public:
    frmMainMenu();

    QMenuBar* menuBar = nullptr;
    QMenu* menuQuestion = nullptr;
    QAction* miAddQuestion = nullptr;
    QAction* miCorrectQuestion = nullptr;
    QMenu* menuSurvey = nullptr;
    QAction* miCompleteSurvey = nullptr;
    QAction* miModifySurveyAnswers = nullptr;
    QAction* miCorrectSurvey = nullptr;
    QMenu* menuAnalysis = nullptr;
    QAction* miQueltTable = nullptr;
    QAction* miCompareSurveys = nullptr;
    QAction* miCompanyTrend = nullptr;
    QLabel* Label1 = nullptr;

protected:
    // Closing the main menu ends the program, with every other window.
    void closeEvent(QCloseEvent* event) override;

private:
    void miAddQuestion_Click();
    void miCompleteSurvey_Click();
    void miModifySurveyAnswers_Click();
    void miQueltTable_Click();
    void miCorrectQuestion_Click();
    void miCorrectSurvey_Click();
    void miCompareSurveys_Click();
    void miCompanyTrend_Click();
    void OpenMenuBar();
};
