#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The program's one message box: a text, an OK button, the title
// "QueltProject". Tests install a handler that takes the text instead of a
// modal box, so nothing waits for a click that never comes.
namespace MessageBox {

void Show(const QString& text, QWidget* parent = nullptr);

// The same box as a question with Yes and No; true for Yes. No is what
// Return and Escape choose, so a stray key loses nothing.
bool Ask(const QString& text, QWidget* parent = nullptr);

// The same box with buttons of its own, captioned as given; gives the index
// of the one chosen. The last is what Return and Escape choose, so it should
// be the one that changes nothing (Cancel).
int Choose(const QString& text, const QStringList& buttons, QWidget* parent = nullptr);

// Given the text and the window the box would stand over (none for a box of
// the whole program).
using Handler = std::function<void(const QString& text, QWidget* parent)>;
// Replaces the modal box; an empty handler restores it. Gives the previous one.
Handler SetHandler(Handler handler);

// Answers questions instead of the modal box: true for Yes. An empty handler
// restores the box. Gives the previous one.
using QuestionHandler = std::function<bool(const QString& text, QWidget* parent)>;
QuestionHandler SetQuestionHandler(QuestionHandler handler);

// Chooses instead of the modal box of Choose: the index of a button.
using ChoiceHandler =
    std::function<int(const QString& text, const QStringList& buttons, QWidget* parent)>;
ChoiceHandler SetChoiceHandler(ChoiceHandler handler);

inline constexpr const char* kTitle = "QueltProject";

} // namespace MessageBox
