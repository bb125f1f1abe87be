#include "platform/MessageBox.h"

#include <QMessageBox>

namespace {
MessageBox::Handler& handler()
{
    static MessageBox::Handler h;
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

MessageBox::Handler MessageBox::SetHandler(Handler h)
{
    return std::exchange(handler(), std::move(h));
}
