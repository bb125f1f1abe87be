#include "survey/SurveyQuestionControl.h"

#include "platform/Convert.h"
#include "platform/TextBox.h"
#include "platform/Twips.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>

namespace {

constexpr int kDesignWidth = 9000;
constexpr int kDesignHeight = 570;
constexpr std::array<int, 5> kChoiceLeft = {5760, 6360, 6960, 7560, 8040};

} // namespace

SurveyQuestionControl::SurveyQuestionControl(QWidget* parent) : QWidget(parent)
{
    resize(TwipsToPxX(kDesignWidth), TwipsToPxY(kDesignHeight));

    lblQuestion = NewControl<QLabel>(this, QStringLiteral("lblQuestion"), 120, 0, 5415, 495);
    // A question is shown as typed, never read as markup. A long one wraps
    // and is cut off by the row's height.
    lblQuestion->setTextFormat(Qt::PlainText);
    lblQuestion->setWordWrap(true);

    txtQuestionID = NewControl<TextBox>(this, QStringLiteral("txtQuestionID"), 5400, 120, 390, 375);
    txtQuestionID->setVisible(false);

    m_choices = new QButtonGroup(this);
    m_choices->setExclusive(true);
    for (int i = 0; i < int(optChoice.size()); ++i) {
        optChoice[i] = NewControl<QRadioButton>(this, QStringLiteral("optChoice(%1)").arg(i),
                                           kChoiceLeft[i], 120, 375, 255);
        m_choices->addButton(optChoice[i], i);
    }
    for (int i = 1; i < int(optChoice.size()); ++i)
        setTabOrder(optChoice[i - 1], optChoice[i]);
}

void SurveyQuestionControl::Set_Question(qint16 questionId, const QString& questionText)
{
    lblQuestion->setText(questionText);
    // A question of one line stands level with the buttons; a longer one starts
    // at the top, so its first lines show before the row cuts it off.
    const bool oneLine = !questionText.contains(u'\n') &&
                         lblQuestion->fontMetrics().horizontalAdvance(questionText) <=
                             lblQuestion->contentsRect().width();
    lblQuestion->setAlignment(Qt::AlignLeft | (oneLine ? Qt::AlignVCenter : Qt::AlignTop));
    txtQuestionID->setText(DecimalText(questionId));
}

void SurveyQuestionControl::Hide_Question()
{
    for (QRadioButton* option : optChoice)
        option->setVisible(false);
    lblQuestion->setVisible(false);
    txtQuestionID->setText(QString());
}

void SurveyQuestionControl::Show_Question()
{
    for (QRadioButton* option : optChoice)
        option->setVisible(true);
    lblQuestion->setVisible(true);
}

qint16 SurveyQuestionControl::Get_Value() const
{
    for (int i = 0; i < int(optChoice.size()); ++i) {
        if (optChoice[i]->isChecked())
            return qint16(i);
    }
    return -1;
}

qint16 SurveyQuestionControl::Get_QuestionID() const
{
    const QString text = txtQuestionID->text();
    if (text.isEmpty())
        return -1;
    return CInt16(text, QStringLiteral("The question number of a row"));
}

void SurveyQuestionControl::Clear_Value()
{
    // An exclusive group refuses to uncheck its checked button.
    m_choices->setExclusive(false);
    for (QRadioButton* option : optChoice)
        option->setChecked(false);
    m_choices->setExclusive(true);
}
