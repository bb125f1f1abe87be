#include "platform/TextBox.h"

#include <QTextDocument>
#include <limits>

TextBox::TextBox(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(std::numeric_limits<int>::max());
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
