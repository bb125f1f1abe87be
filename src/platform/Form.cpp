#include "platform/Form.h"

#include "platform/DbEngine.h"
#include "platform/FileAccess.h"
#include "platform/MessageBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

Form::Form(const char* name, const QString& title, int clientWidthTwips, int clientHeightTwips)
    : QWidget(nullptr)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    ResizeClientTwips(this, clientWidthTwips, clientHeightTwips);
}

QLabel* Form::Caption(const char* name, int left, int top, int width, int height,
                      const QString& caption)
{
    auto* label = Control<QLabel>(name, left, top, width, height);
    label->setText(caption);
    return label;
}

void Form::closeEvent(QCloseEvent* event)
{
    if (!m_closing && !Form_QueryUnload()) {
        event->ignore();
        return;
    }
    m_closing = true;
    QWidget::closeEvent(event);
}

void NameBy(QWidget* control, QLabel* caption)
{
    caption->setBuddy(control);
    control->setAccessibleName(caption->text());
}

namespace {

// The control Tab would move to from `from`.
QWidget* nextTabStop(QWidget* from)
{
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(from->window()) && w->isEnabled() &&
            w->window() == from->window())
            return w;
    }
    return nullptr;
}

bool isEditableBox(const QWidget* w)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(w))
        return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(w))
        return !text->isReadOnly();
    return false;
}

} // namespace

void Form::keyPressEvent(QKeyEvent* event)
{
    // A push button outside a dialog passes Return and Enter on unused;
    // they arrive here from the focused control.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* focused = focusWidget();
        if (auto* button = qobject_cast<QPushButton*>(focused); button && button->isEnabled()) {
            button->click();
            return;
        }
        auto* box = qobject_cast<QLineEdit*>(focused);
        if (box && !box->isReadOnly()) {
            // Return moves on to the next box, as Tab does, and presses the
            // Return button only from the last: one stray Return never
            // stores a form half filled in.
            if (QWidget* next = nextTabStop(box); next && isEditableBox(next)) {
                next->setFocus(Qt::TabFocusReason);
                return;
            }
            if (m_returnButton && m_returnButton->isEnabled()) {
                m_returnButton->click();
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

void Form::WarnIfNothingCanBeStored()
{
    const QString refusal = WriteRefusal(DBEngine::SurveyDatabaseName());
    if (refusal != m_writeRefusal && !refusal.isEmpty())
        MessageBox::Show(refusal, this);
    m_writeRefusal = refusal;
}

void SetTabOrder(std::initializer_list<QWidget*> widgets)
{
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}
