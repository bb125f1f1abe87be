#include "platform/TextBox.h"

#include <QAccessible>
#include <QTextDocument>
#include <limits>

TextBox::TextBox(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(std::numeric_limits<int>::max());
}

void TextBox::SetLocked(bool locked)
{
    setReadOnly(locked);
    // What a screen reader reads was made for the box as it was (Qt makes it
    // as soon as the box has a text); it is made again for the box as it is.
    if (QAccessibleInterface* face = QAccessible::queryAccessibleInterface(this))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
}

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QPlainTextEdit(parent)
{
    // Tab moves on to the next control, as in any form.
    setTabChangesFocus(true);
}

QString MultiLineTextBox::text() const
{
    // toPlainText() would also turn a typed no-break space into a plain one.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}
