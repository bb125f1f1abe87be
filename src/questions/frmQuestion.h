#pragma once

#include "platform/Form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class TextBox;
class MultiLineTextBox;

// Adds questions to the cells of the model: pick a row and a column, type a
// label and a text, Submit; the texts empty, the cell stays chosen.
class frmQuestion : public Form
{
    Q_OBJECT
public:
    frmQuestion();

    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cmbModelRow = nullptr;
    QListWidget* lstModelRow = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cmbModelCol = nullptr;
    QListWidget* lstModelCol = nullptr;
    QLabel* Label2 = nullptr;
    TextBox* txtLabel = nullptr;
    QLabel* Label3 = nullptr;
    MultiLineTextBox* txtQuestion = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* butSubmit = nullptr;
    QPushButton* butCancel = nullptr;

protected:
    void Form_Load() override;
    void Form_Show() override;
    bool Form_QueryUnload() override;

private:
    void LoadModelLists();
    void InsertQuestion();
    void butSubmit_Click();
    void butCancel_Click();
};
