#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QTest>
#include <QWidget>

#include "common/Fail.h"
#include "platform/Form.h"

class QRadioButton;
class SurveyQuestionControl;

// Driving windows as a user, or an outside script, does: windows and controls
// are found by their objectName, never through the window classes' members.
// A step that cannot be done fails the test and ends it (see Fail.h).
namespace Ui {

using Where = std::source_location;

// The toolkit at the design font the layout tables give, and with the
// settings (where windows were left) in a folder of this process's own, never
// the user's. Called once the application exists.
void UseTestToolkit();

// The application's font at this size (the design font is 8.25 pt) for as
// long as it lives; windows opened meanwhile are laid out for it.
class AppFont
{
public:
    explicit AppFont(double points);
    ~AppFont();
    AppFont(const AppFont&) = delete;
    AppFont& operator=(const AppFont&) = delete;

private:
    QFont m_previous;
};

// Closes every window with its close box and lets Qt destroy them, unsubmitted
// work and all.
void CloseAllWindows();

// Lets posted events run (deferred deletes, repaints).
void Settle();

// The open top-level window with this objectName, or nullptr.
QWidget* Window(const QString& name);
// The same, failing the test when it is not open.
QWidget* FindWindow(const QString& name, Where where = Where::current());

// A child (a control, a menu item) by objectName; control arrays are named
// "name(index)".
template <class W = QWidget>
W* Find(const QObject* parent, const QString& name, Where where = Where::current())
{
    if (!parent)
        FailTest(QStringLiteral("no window to find %1 in").arg(name), where);
    W* child = parent->findChild<W*>(name);
    if (!child)
        FailTest(QStringLiteral("%1 has no %2 named %3")
                     .arg(parent->objectName().isEmpty()
                              ? QLatin1String(parent->metaObject()->className())
                              : parent->objectName(),
                          QLatin1String(W::staticMetaObject.className()), name),
                 where);
    return child;
}

// The main menu, opened as the program opens it, and one of its items chosen.
void MenuItem(const QString& item, Where where = Where::current());

// Question row i of the answering window, and the option button that gives a
// row's question `score`.
SurveyQuestionControl* Row(const QWidget* window, int i, Where where = Where::current());
QRadioButton* Option(const QWidget* row, int score, Where where = Where::current());
// The user scores a row: a click on the option's round indicator, where a
// user clicks a button without caption.
void Choose(const QWidget* row, int score, Where where = Where::current());

// The user picks item `index` of a combo box.
void Pick(QComboBox* combo, int index, Where where = Where::current());
// The user picks the item with this text.
void PickText(QComboBox* combo, const QString& text, Where where = Where::current());
void Click(QAbstractButton* button, Where where = Where::current());
void Trigger(QAction* action, Where where = Where::current());
// The same on the control of `window` with this objectName.
void Pick(const QWidget* window, const QString& combo, int index, Where where = Where::current());
void PickText(const QWidget* window, const QString& combo, const QString& text,
              Where where = Where::current());
void Click(const QWidget* window, const QString& button, Where where = Where::current());
// The user closes a window with its close box.
void CloseBox(QWidget* window, Where where = Where::current());

QStringList Items(const QComboBox* combo);

// A key pressed and let go as a user does: it goes to the open menu, else to
// the focused control, else to the active window. Fails when none is there.
void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, Where where = Where::current());
// The objectName of the control that has the keyboard focus, "" for none.
QString Focused();
// Makes the window the active one, as a click on its title bar does, so that
// keys reach it.
void Activate(QWidget* window, Where where = Where::current());

// The window's own controls in the order Tab visits them, from the one that
// has the focus when the window opens.
QStringList TabOrder(QWidget* window);

} // namespace Ui
