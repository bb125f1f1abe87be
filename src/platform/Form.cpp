#include "platform/Form.h"

#include <QCloseEvent>

Form::Form(const char* name, const QString& title, int clientWidthTwips, int clientHeightTwips)
    : QWidget(nullptr)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    ResizeClientTwips(this, clientWidthTwips, clientHeightTwips);
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
