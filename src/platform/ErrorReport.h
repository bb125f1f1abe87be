#pragma once

#include <QString>
#include <functional>

class QWidget;

// The one place a failed handler ends: a message box titled "QueltProject"
// with what failed, the engine's words and the file, over the window whose
// handler failed. The program goes on.
void ReportError(const QString& text, QWidget* window = nullptr);

// Runs a handler body; a failure stops the body at the failing step and is
// reported over `window`. Exceptions never reach Qt's event loop.
void RunGuarded(QWidget* window, const std::function<void()>& body);

// Wraps a member handler for connect(): Handler(this, &frmX::butSubmit_Click).
// Signal arguments are dropped: handlers read what they need from controls.
template <class T>
auto Handler(T* object, void (T::*method)())
{
    return [object, method]() { RunGuarded(object, [&] { (object->*method)(); }); };
}
