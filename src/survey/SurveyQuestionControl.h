#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QButtonGroup;
class QLabel;
class QRadioButton;
class TextBox;

// One question of a survey as one row: its text, and five option buttons that
// score it 0 to 4 from left to right. The question's number rides along
// invisibly so the host can tell which question a row answers.
class SurveyQuestionControl : public QWidget
{
    Q_OBJECT
public:
    explicit SurveyQuestionControl(QWidget* parent = nullptr);

    void Set_Question(qint16 questionId, const QString& questionText);
    // Empties the row: nothing shows and it holds no question. The score stays.
    void Hide_Question();
    void Show_Question();
    // 0 to 4, or -1 while no option is chosen.
    qint16 Get_Value() const;
    // -1 while the row holds no question.
    qint16 Get_QuestionID() const;
    // Unchooses the option, so a score never carries over to another question.
    void Clear_Value();

    QLabel* lblQuestion = nullptr;
    TextBox* txtQuestionID = nullptr;
    std::array<QRadioButton*, 5> optChoice{};

private:
    QButtonGroup* m_choices = nullptr;
};
