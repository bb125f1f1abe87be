#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWidget>

#include "platform/Form.h"

// Driving windows as a user does, and cleaning up after a test.
namespace Ui {

// Closes every window with its close box and lets Qt destroy them.
void CloseAllWindows();

// Lets posted events run (deferred deletes, repaints).
void Settle();

// The top-level window with this objectName, or nullptr.
QWidget* Window(const QString& name);

// A child by objectName; fails the test when missing.
template <class W = QWidget>
W* Find(QWidget* parent, const QString& name)
{
    W* w = parent ? parent->findChild<W*>(name) : nullptr;
    if (!w)
        qWarning("no child named %s", qPrintable(name));
    return w;
}

// The user picks item `index` of a combo box.
void Pick(QComboBox* combo, int index);
// The user picks the item with this text.
void PickText(QComboBox* combo, const QString& text);
void Click(QAbstractButton* button);
void Trigger(QAction* action);
// The user closes a window with its close box.
void CloseBox(QWidget* window);

QStringList Items(const QComboBox* combo);

// The window's own controls in the order Tab visits them, from the one that
// has the focus when the window opens.
QStringList TabOrder(QWidget* window);

} // namespace Ui
