#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>

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

MessageBox::ChoiceHandler& choiceHandler()
{
    static MessageBox::ChoiceHandler h;
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

int MessageBox::Choose(const QString& text, const QStringList& buttons, QWidget* parent)
{
    if (choiceHandler())
        return choiceHandler()(text, buttons, parent);
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle), text, QMessageBox::NoButton,
                    parent);
    box.setObjectName(QStringLiteral("QueltMessageBox"));
    QList<QPushButton*> added;
    for (const QString& caption : buttons)
        added.append(box.addButton(caption, QMessageBox::ActionRole));
    box.setDefaultButton(added.last());
    box.setEscapeButton(added.last());
    box.exec();
    const qsizetype chosen = added.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return int(chosen < 0 ? added.size() - 1 : chosen);
}

MessageBox::Handler MessageBox::SetHandler(Handler h)
{
    return std::exchange(handler(), std::move(h));
}

MessageBox::QuestionHandler MessageBox::SetQuestionHandler(QuestionHandler h)
{
    return std::exchange(questionHandler(), std::move(h));
}

MessageBox::ChoiceHandler MessageBox::SetChoiceHandler(ChoiceHandler h)
{
    return std::exchange(choiceHandler(), std::move(h));
}
