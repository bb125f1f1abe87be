#include "survey/SurveyQuestionControl.h"

#include "platform/Accessible.h"
#include "platform/Convert.h"
#include "platform/TextBox.h"
#include "platform/Twips.h"

#include <QButtonGroup>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kDesignWidth = 9000;
constexpr int kDesignHeight = 570;
constexpr std::array<int, 5> kChoiceLeft = {5760, 6360, 6960, 7560, 8040};
// What the row's height holds of the label at most.
constexpr int kShownLines = 2;
// The stored scores have a room of their own at the right end of the
// question's place, which ends at 5535: wide enough for two of them (a cell
// submitted twice), more cut with "…". The question never has it, stored scores or not, so that a
// Submit, which changes them, does not lay the cell's questions out again,
// and the questions of a cell break alike.
const QString kStoredRoom = QStringLiteral("stored: 4, 4");
constexpr int kStoredGap = 120;
constexpr QChar kEllipsis(0x2026);

// A row as a screen reader meets it: a group named by its question, whose
// value is the score chosen, and which an empty row is not.
class RowAccessible : public ShownChildrenAccessible
{
public:
    explicit RowAccessible(SurveyQuestionControl* row)
        : ShownChildrenAccessible(row, QAccessible::Grouping)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = ShownChildrenAccessible::state();
        if (!Row()->Has_Question())
            state.invisible = true;
        return state;
    }

    QString text(QAccessible::Text which) const override
    {
        if (which != QAccessible::Value)
            return ShownChildrenAccessible::text(which);
        const qint16 score = Row()->Get_Value();
        return score < 0 ? QStringLiteral("No score") : QStringLiteral("Score %1").arg(score);
    }

private:
    const SurveyQuestionControl* Row() const
    {
        return static_cast<const SurveyQuestionControl*>(widget());
    }
};

// The question's label. Its text stays the whole question; what it paints of
// a text longer than its lines is cut at the last line with "…", instead of
// being cut off mid-word by the row's edge.
class QuestionLabel : public QLabel
{
public:
    using QLabel::QLabel;

    // True when the text is shown cut.
    bool SetQuestionText(const QString& text)
    {
        setText(text);
        m_cut = CutText(text);
        update();
        return !m_cut.isNull();
    }

    // The text as it stands on the screen, on one line.
    QString ShownText() const
    {
        return m_cut.isNull() ? text() : QString(m_cut).replace(u'\n', u' ');
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (m_cut.isNull()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        style()->drawItemText(&painter, contentsRect(), alignment(), palette(), isEnabled(), m_cut,
                              foregroundRole());
    }

private:
    // The lines the row shows whole: as many as fit above its lower edge,
    // which cuts the label, down to the bottom of their letters (a descender
    // may lose its last pixel), and never more than two.
    int ShownLines() const
    {
        const QFontMetricsF metrics(font());
        int shown = height();
        if (const QWidget* row = parentWidget())
            shown = std::min(shown, row->height() - y());
        const double firstLine = metrics.ascent() + metrics.descent() / 2;
        const int lines = 1 + int(std::floor((shown - firstLine) / metrics.lineSpacing()));
        return std::clamp(lines, 1, kShownLines);
    }

    // The lines shown, joined by line breaks, or a null text when the whole
    // text fits. Lines break as the label breaks them: at word boundaries, or
    // within a word too long for a line.
    QString CutText(const QString& text) const
    {
        const int width = contentsRect().width();
        const QFontMetrics metrics = fontMetrics();
        // Most questions are one short line; no layout is needed for them.
        if (!text.contains(u'\n') && metrics.horizontalAdvance(text) <= width)
            return {};
        QString flowing = text;
        flowing.replace(u'\n', QChar::LineSeparator);
        QTextLayout layout(flowing, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QStringList lines;
        int lastStart = 0;
        const int shownLines = ShownLines();
        for (int n = 0; n < shownLines; ++n) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            lastStart = line.textStart();
            lines.append(flowing.mid(lastStart, line.textLength()).trimmed());
        }
        const bool more = layout.createLine().isValid();
        layout.endLayout();
        if (!more)
            return {};
        // The last line takes what follows it too, as far as it fits. A
        // line no wider than the label holds fewer characters than it has
        // pixels, unless most of them are zero-width, so the rest is bounded.
        QString rest = flowing.mid(lastStart, 4 * width + 16);
        rest.replace(QChar::LineSeparator, u' ');
        QString last = metrics.elidedText(rest.simplified(), Qt::ElideRight, width);
        if (!last.endsWith(kEllipsis))
            last = metrics.elidedText(lines.last(), Qt::ElideRight,
                                      width - metrics.horizontalAdvance(kEllipsis)) +
                   kEllipsis;
        lines.last() = last;
        return lines.join(u'\n');
    }

    QString m_cut;
};

} // namespace

SurveyQuestionControl::SurveyQuestionControl(QWidget* parent) : QWidget(parent)
{
    UseAccessibleInterface<SurveyQuestionControl, RowAccessible>();
    resize(TwipsToPxX(kDesignWidth), TwipsToPxY(kDesignHeight));

    lblQuestion = NewControl<QuestionLabel>(this, QStringLiteral("lblQuestion"), 120, 0, 5415, 495);
    // A question is shown as typed, never read as markup. A long one wraps
    // and is cut at the row's lines.
    lblQuestion->setTextFormat(Qt::PlainText);
    lblQuestion->setWordWrap(true);

    txtQuestionID = NewControl<TextBox>(this, QStringLiteral("txtQuestionID"), 5400, 120, 390, 375);
    txtQuestionID->setVisible(false);
    txtQuestionID->setAccessibleName(QStringLiteral("Question number"));

    m_choices = new QButtonGroup(this);
    m_choices->setExclusive(true);
    for (int i = 0; i < int(optChoice.size()); ++i) {
        optChoice[i] = NewControl<QRadioButton>(this, QStringLiteral("optChoice(%1)").arg(i),
                                                kChoiceLeft[i], 120, 375, 255);
        optChoice[i]->setAccessibleName(QStringLiteral("Score %1").arg(i));
        optChoice[i]->installEventFilter(this);
        m_choices->addButton(optChoice[i], i);
        // Tab stops at one option of the row (Qt moves the stop to the option
        // that takes the focus); the arrow keys reach the others.
        if (i > 0)
            optChoice[i]->setFocusPolicy(
                Qt::FocusPolicy(optChoice[i]->focusPolicy() & ~Qt::TabFocus));
    }
    for (int i = 1; i < int(optChoice.size()); ++i)
        setTabOrder(optChoice[i - 1], optChoice[i]);
    const QRect place = lblQuestion->geometry();
    lblStoredScores = new QLabel(this);
    lblStoredScores->setObjectName(QStringLiteral("lblStoredScores"));
    lblStoredScores->setTextFormat(Qt::PlainText);
    lblStoredScores->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int room = lblStoredScores->fontMetrics().horizontalAdvance(kStoredRoom) + 2;
    lblStoredScores->setGeometry(place.right() + 1 - room, place.top(), room, TwipsToPxY(375));
    lblStoredScores->setVisible(false);
    lblQuestion->setContentsMargins(0, 0, room + TwipsToPxX(kStoredGap), 0);
    setAccessibleName(QStringLiteral("No question"));
}

void SurveyQuestionControl::Set_Question(qint16 questionId, const QString& questionText,
                                         const QString& questionLabel)
{
    auto* label = static_cast<QuestionLabel*>(lblQuestion);
    const bool cut = label->SetQuestionText(questionText);
    // A question of one line stands level with the buttons; a longer one starts
    // at the top, so its first lines show.
    const bool oneLine = !cut && !questionText.contains(u'\n') &&
                         lblQuestion->fontMetrics().horizontalAdvance(questionText) <=
                             lblQuestion->contentsRect().width();
    lblQuestion->setAlignment(Qt::AlignLeft | (oneLine ? Qt::AlignVCenter : Qt::AlignTop));
    // As rich text, a tool tip wraps to a readable width instead of running
    // across the screen on one line.
    setToolTip(cut ? QStringLiteral("<p style='white-space:pre-wrap'>%1</p>")
                         .arg(questionText.toHtmlEscaped())
                   : QString());
    setAccessibleName(
        questionLabel.trimmed().isEmpty()
            ? label->ShownText()
            : QStringLiteral("%1: %2").arg(questionLabel.trimmed(), label->ShownText()));
    txtQuestionID->setText(DecimalText(questionId));
    Describe();
}

void SurveyQuestionControl::Set_Stored(const QStringList& scores)
{
    const QString text = scores.isEmpty()
                             ? QString()
                             : QStringLiteral("stored: ") + scores.join(QStringLiteral(", "));
    if (text == lblStoredScores->toolTip())
        return;
    lblStoredScores->setToolTip(text);
    lblStoredScores->setText(
        lblStoredScores->fontMetrics().elidedText(text, Qt::ElideRight, lblStoredScores->width()));
    lblStoredScores->setVisible(!text.isEmpty() && !lblQuestion->isHidden());
    Describe();
}

void SurveyQuestionControl::Describe()
{
    const QString stored = lblStoredScores->toolTip();
    setAccessibleDescription(stored.isEmpty() ? lblQuestion->text()
                                              : lblQuestion->text() + u'\n' + stored);
}

void SurveyQuestionControl::Hide_Question()
{
    for (QRadioButton* option : optChoice)
        option->setVisible(false);
    lblQuestion->setVisible(false);
    txtQuestionID->setText(QString());
    Set_Stored({});
    // An empty row tells nothing of the question it held.
    setToolTip(QString());
    setAccessibleName(QStringLiteral("No question"));
    setAccessibleDescription(QString());
}

void SurveyQuestionControl::Show_Question()
{
    for (QRadioButton* option : optChoice)
        option->setVisible(true);
    lblQuestion->setVisible(true);
    lblStoredScores->setVisible(!lblStoredScores->toolTip().isEmpty());
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

bool SurveyQuestionControl::Has_Question() const
{
    return !txtQuestionID->text().isEmpty();
}

void SurveyQuestionControl::Clear_Value()
{
    // An exclusive group refuses to uncheck its checked button.
    m_choices->setExclusive(false);
    for (QRadioButton* option : optChoice)
        option->setChecked(false);
    m_choices->setExclusive(true);
    m_submitted = -1;
}

void SurveyQuestionControl::Mark_Submitted()
{
    m_submitted = Get_Value();
}

bool SurveyQuestionControl::Has_Unsubmitted_Score() const
{
    const qint16 score = Get_Value();
    return Has_Question() && score >= 0 && score != m_submitted;
}

bool SurveyQuestionControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        // The mark of the row and the ring of its option follow the focus.
        update();
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* press = static_cast<QKeyEvent*>(event);
    // Digits of the keypad count as well.
    if ((press->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QWidget::eventFilter(watched, event);
    const auto at = std::find(optChoice.begin(), optChoice.end(), watched);
    if (at == optChoice.end())
        return QWidget::eventFilter(watched, event);
    int column = int(at - optChoice.begin());
    const int key = press->key();
    int step = 0;
    if (key >= Qt::Key_0 && key < Qt::Key_0 + int(optChoice.size())) {
        // The row is scored; the next question is the one to answer now.
        column = key - Qt::Key_0;
        optChoice[column]->setFocus(Qt::OtherFocusReason);
        optChoice[column]->click();
        step = 1;
    } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
        // The option buttons would move among themselves; a row of them
        // has nothing above or below.
        step = key == Qt::Key_Up ? -1 : 1;
    } else {
        return QWidget::eventFilter(watched, event);
    }
    if (SurveyQuestionControl* next = NeighbourRow(step))
        next->optChoice[column]->setFocus(Qt::OtherFocusReason);
    return true;
}

void SurveyQuestionControl::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    const auto focused =
        std::find_if(optChoice.begin(), optChoice.end(),
                     [](const QRadioButton* option) { return option->hasFocus(); });
    if (focused == optChoice.end())
        return;
    // The row the keys score stands out from the others, and the option
    // they stand on is ringed plainly, whatever the style's own mark.
    QPainter painter(this);
    QColor mark = palette().color(QPalette::Highlight);
    mark.setAlpha(48);
    painter.fillRect(rect(), mark);
    const QRadioButton* option = *focused;
    QStyleOptionButton styleOption;
    styleOption.initFrom(option);
    const QRect indicator =
        option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &styleOption, option);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawEllipse(QRectF(indicator.translated(option->pos())).adjusted(-3, -3, 3, 3));
}

SurveyQuestionControl* SurveyQuestionControl::NeighbourRow(int step) const
{
    const QWidget* panel = parentWidget();
    if (!panel)
        return nullptr;
    SurveyQuestionControl* nearest = nullptr;
    for (QObject* child : panel->children()) {
        auto* row = qobject_cast<SurveyQuestionControl*>(child);
        if (!row || row == this || !row->Has_Question())
            continue;
        const int distance = (row->y() - y()) * step;
        if (distance > 0 && (!nearest || distance < (nearest->y() - y()) * step))
            nearest = row;
    }
    return nearest;
}
