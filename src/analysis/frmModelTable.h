#pragma once

#include "platform/Form.h"

class Database;
class ResultsPicture;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class ReportMenu;
struct ResultsGrid;

// The analysis window: the model drawn as a grid and, for a chosen survey,
// the mean score of every cell, filled by its band when colour coding is on.
class frmModelTable : public Form
{
    Q_OBJECT
public:
    frmModelTable();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbSurvey = nullptr;
    QPushButton* butResults = nullptr;
    QCheckBox* chkColorCoding = nullptr;
    // Takes the picture's place and scrolls it when the grid is larger.
    QScrollArea* picTableArea = nullptr;
    ResultsPicture* picTable = nullptr;
    // Names of the grid's rows and columns, each item holding its model
    // number as data, so a grid position finds the row or column standing
    // there.
    QListWidget* lstRows = nullptr;
    QListWidget* lstCols = nullptr;
    // Which survey the picture shows, and whether Show Results would change it.
    QLabel* lblShown = nullptr;
    // Copy, Save As and Print of what the picture shows.
    ReportMenu* mnuReport = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;
    // The picture takes what room the window has beyond its layout, or
    // gives it up, so that its scroll bars stay in view.
    void Form_Resize() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void butResults_Click();

    void LoadColumnNames(const Database& db);
    void LoadRowNames(const Database& db);
    void LoadSurveyIds(const Database& db);
    void FitPicture();
    void DrawGrid();
    void DrawResults(const ResultsGrid& results);
    ResultsGrid ModelGrid() const;
    void ShowWhatIsShown();

    // What the picture shows, which the pickers may have left since: the
    // survey (empty before the first Show Results) and its colour coding.
    QString m_shownSurvey;
    bool m_shownColour = false;
};
