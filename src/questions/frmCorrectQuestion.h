#pragma once

#include "platform/Form.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class TextBox;
class MultiLineTextBox;

// "Correct Question": pick a cell and one of its questions, change its
// label or text, Submit. What was stored before goes into the history.
class frmCorrectQuestion : public Form
{
    Q_OBJECT
public:
    frmCorrectQuestion();

    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cmbModelRow = nullptr;
    QListWidget* lstModelRow = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cmbModelCol = nullptr;
    QListWidget* lstModelCol = nullptr;
    QLabel* Label6 = nullptr;
    // The cell's questions, each with its number as the item's data.
    QComboBox* cmbQuestion = nullptr;
    QLabel* Label2 = nullptr;
    TextBox* txtLabel = nullptr;
    QLabel* Label3 = nullptr;
    MultiLineTextBox* txtQuestion = nullptr;
    QPushButton* butSubmit = nullptr;
    QPushButton* butCancel = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;
    bool Form_QueryUnload() override;

private:
    void LoadModelLists();
    void LoadCellQuestions();
    // Shows the picked question's label and text, or empties the boxes.
    void ShowQuestion(const QString& label, const QString& text);
    // Asks before typed corrections are lost; true when they may go.
    bool DiscardEdits();
    // Whether `picker` has moved from the pick on show (`shown`) and the
    // typed corrections may go; else it goes back to that pick.
    bool Repicked(QComboBox* picker, int shown);
    void cmbModelRow_Click();
    void cmbModelCol_Click();
    void cmbQuestion_Click();
    void butSubmit_Click();
    void butCancel_Click();

    // The picks on show and the question's texts as read, which the boxes
    // are compared with: only what the user changed is corrected.
    int m_shownRow = -1;
    int m_shownCol = -1;
    int m_shownQuestion = -1;
    QString m_shownLabel;
    QString m_shownText;
};
