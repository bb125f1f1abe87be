#include "platform/TextBox.h"

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
