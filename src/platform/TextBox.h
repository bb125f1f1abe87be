#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

// One-line text box without a length limit of its own (QLineEdit would cut
// typed or pasted text at 32767 characters).
class TextBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);
    // Read-only, as the windows lock a box the user must not change. A
    // screen reader then hears it as read-only, not as editable too.
    void SetLocked(bool locked);
};

// Multi-line text box; its text is kept exactly, line breaks included.
class MultiLineTextBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text) { setPlainText(text); }
};
