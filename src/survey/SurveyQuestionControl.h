#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>

class QButtonGroup;
class QLabel;
class QRadioButton;
class TextBox;

// One question of a survey as one row: its text, and five option buttons that
// score it 0 to 4 from left to right. The question's number rides along
// invisibly so the host can tell which question a row answers.
//
// From the keyboard the row is one stop of the tab order; the digits 0 to 4
// choose that score and go on to the row below, Left and Right move between
// the options, and Up and Down go to the same option of the row above or
// below on the panel. The row with the focus is marked, and its focused
// option ringed.
//
// To a screen reader the row is a group named by its question, holding the
// five options "Score 0" to "Score 4"; its value is the score chosen. An
// empty row is not there at all.
class SurveyQuestionControl : public QWidget
{
    Q_OBJECT
public:
    explicit SurveyQuestionControl(QWidget* parent = nullptr);

    // A text longer than the row's lines ends in "…"; the row's tool tip
    // and accessible description then give it whole. The label (the
    // question's "Number") goes before the text in what a screen reader
    // names the row.
    void Set_Question(qint16 questionId, const QString& questionText,
                      const QString& questionLabel = QString());
    // Empties the row: nothing shows and it holds no question. The score stays.
    void Hide_Question();
    void Show_Question();
    // 0 to 4, or -1 while no option is chosen.
    qint16 Get_Value() const;
    // -1 while the row holds no question.
    qint16 Get_QuestionID() const;
    // Whether the row holds a question, whatever its number (a file made by
    // other means may number one -1).
    bool Has_Question() const;
    // Unchooses the option, so a score never carries over to another question.
    void Clear_Value();
    // The chosen score is what a Submit has just stored for the question.
    void Mark_Submitted();
    // The row holds a question with a score chosen since the last Submit.
    bool Has_Unsubmitted_Score() const;
    // The scores the database holds for the question and the chosen survey,
    // shown as "stored: 3, 4" at the end of the question's place and told
    // in the row's accessible description; none shows nothing.
    void Set_Stored(const QStringList& scores);

    QLabel* lblQuestion = nullptr;
    TextBox* txtQuestionID = nullptr;
    QLabel* lblStoredScores = nullptr;
    std::array<QRadioButton*, 5> optChoice{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The accessible description: the whole question, and what is stored.
    void Describe();

    // The row above (step -1) or below (+1) on the same panel that holds a
    // question, or nullptr.
    SurveyQuestionControl* NeighbourRow(int step) const;

    QButtonGroup* m_choices = nullptr;
    // The score the last Submit stored from this row; -1 for none.
    qint16 m_submitted = -1;
};
