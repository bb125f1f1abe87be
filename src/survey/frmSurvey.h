#pragma once

#include "data/Surveys.h"
#include "platform/Form.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <vector>

class QAction;
class QComboBox;
class QEvent;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class SurveyQuestionControl;
class TextBox;
struct CellQuestion;
struct StoredInCell;

// "Complete Survey": pick a survey and a cell of the model, score the cell's
// questions, and store the scores for that survey.
class frmSurvey : public Form
{
    Q_OBJECT
public:
    frmSurvey();
    ~frmSurvey() override;

    // Chooses the survey as a pick in cmbSurveyID does (asking first where
    // scores would go) and puts the focus on the model row picker: the new
    // survey window's Submit leaves the user ready to answer.
    void ChooseSurvey(SurveyNumber surveyId);

    QLabel* Label1 = nullptr;
    TextBox* txtCompletedBy = nullptr;
    QLabel* Label2 = nullptr;
    TextBox* txtCompany = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* cmbSurveyID = nullptr;
    QComboBox* cmbModelRow = nullptr;
    QListWidget* lstModelRow = nullptr;
    QComboBox* cmbModelCol = nullptr;
    QListWidget* lstModelCol = nullptr;
    // Score headings "0" to "4".
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QFrame* Picture1 = nullptr;
    QWidget* Picture2 = nullptr;
    // The question rows; more are added when a cell has more questions.
    std::vector<SurveyQuestionControl*> SurveyQuestionControl1;
    QScrollBar* VScroll1 = nullptr;
    QPushButton* butSubmit = nullptr;
    // What the file holds already for the survey and cell on show.
    QLabel* lblStored = nullptr;
    // Takes the survey's answers in the cell on show out, into the history.
    QPushButton* butWithdraw = nullptr;
    // Ctrl+Page Down and Ctrl+Page Up: the next and the previous cell.
    QAction* actNextCell = nullptr;
    QAction* actPreviousCell = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;
    bool Form_QueryUnload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadSurveyIds(const Database& db);
    void LoadModelLists();
    void LoadCellQuestions();
    void ShowQuestions(const QList<CellQuestion>& questions);
    void MakeRowsInView();
    void FillRow(std::size_t n);
    void SetupScrollBar();
    void AddQuestionRow();
    void PlaceScoreHeadings();
    int PanelHeight() const;
    int ViewportHeight() const;
    // The scroll bar's value in twips: 0 with the panel at the top, V - P at
    // the bottom, the panel's Top.
    int ScrollValue() const;
    // Tab order from the rows of index `from` on: rows after the scroll bar,
    // the survey picker last.
    void OrderTabs(std::size_t from);
    // Asks before scores chosen since the last Submit are lost; true when
    // they may go (they are gone then), false to keep everything as it is.
    bool DiscardUnsubmitted();
    void ShowStoredAnswers(const Database& db);
    void ShowStored(SurveyNumber surveyId, const StoredInCell& stored);
    // Each question row's scores stored, or none on every row.
    void ShowStoredScores(const QHash<qint64, QStringList>& scores);

    void cmbSurveyID_Click();
    void cmbModelRow_Click();
    void cmbModelCol_Click();
    void VScroll1_Change();
    void VScroll1_Scroll();
    void butSubmit_Click();
    void butWithdraw_Click();
    void actNextCell_Click();
    void actPreviousCell_Click();
    void Row_Focus();
    // Shows the cell `step` cells on from the one on show, row by row.
    void MoveToCell(int step);

    // The cell whose questions are on show. The combo boxes have already moved
    // to the new pick when their click arrives, so a repeated pick of the same
    // row or column is recognised only against this.
    int m_shownRow = -1;
    int m_shownCol = -1;
    // The survey whose header is on show, for the same reason; empty for none.
    QString m_shownSurvey;
    // How many rows the tab order has been set for; rows added later join it.
    std::size_t m_tabbedRows = 0;
    // The questions of the cell on show. A large cell gets its rows as the
    // panel scrolls to them, so those without a row yet are kept here.
    QList<CellQuestion> m_questions;
    // Each question's scores stored for the survey on show, for the rows a
    // large cell makes as the panel scrolls.
    QHash<qint64, QStringList> m_storedScores;
};
