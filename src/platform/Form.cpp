#include "platform/Form.h"

#include <QCloseEvent>
#include <QLabel>

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
    m_closing = true;
    QWidget::closeEvent(event);
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
