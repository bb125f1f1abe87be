#include "platform/MessageBox.h"

#include <QMessageBox>

namespace {
MessageBox::Handler& handler()
{
    static MessageBox::Handler h;
    return h;
}

MessageBox::QuestionHandler& questionHandler()
{
    static MessageBox::QuestionHandler h;
    return h;
}
} // namespace

void MessageBox::Show(const QString& text, QWidget* parent)
{
    if (handler()) {
        handler()(text, parent);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kTitle), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("QueltMessageBox"));
    box.exec();
}

bool MessageBox::Ask(const QString& text, QWidget* parent)
{
    if (questionHandler())
        return questionHandler()(text, parent);
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("QueltMessageBox"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

MessageBox::Handler MessageBox::SetHandler(Handler h)
{
    return std::exchange(handler(), std::move(h));
}

MessageBox::QuestionHandler MessageBox::SetQuestionHandler(QuestionHandler h)
{
    return std::exchange(questionHandler(), std::move(h));
}
