#include "common/Ui.h"

#include "platform/MessageBox.h"
#include "platform/Toolkit.h"
#include "shell/frmMainMenu.h"
#include "survey/SurveyQuestionControl.h"

#include <QCoreApplication>
#include <QEvent>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

namespace Ui {

void UseTestToolkit()
{
    QApplication::setFont(ToolkitFont());
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
}

AppFont::AppFont(double points) : m_previous(QApplication::font())
{
    QFont font = m_previous;
    font.setPointSizeF(points);
    QApplication::setFont(font);
}

AppFont::~AppFont()
{
    QApplication::setFont(m_previous);
}

void Settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CloseAllWindows()
{
    // Work a test left unsubmitted goes with its window; no box waits.
    auto previous = MessageBox::SetQuestionHandler([](const QString&, QWidget*) { return true; });
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form*>(w))
            w->close();
    }
    MessageBox::SetQuestionHandler(std::move(previous));
    Settle();
}

QWidget* Window(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name) {
            auto* form = qobject_cast<Form*>(w);
            if (!form || !form->IsClosing())
                return w;
        }
    }
    return nullptr;
}

QWidget* FindWindow(const QString& name, Where where)
{
    QWidget* window = Window(name);
    if (!window)
        FailTest(QStringLiteral("no window %1 is open").arg(name), where);
    return window;
}

void MenuItem(const QString& item, Where where)
{
    Trigger(Find<QAction>(ShowForm<frmMainMenu>(), item, where), where);
}

SurveyQuestionControl* Row(const QWidget* window, int i, Where where)
{
    return Find<SurveyQuestionControl>(window, QStringLiteral("SurveyQuestionControl1(%1)").arg(i),
                                       where);
}

QRadioButton* Option(const QWidget* row, int score, Where where)
{
    return Find<QRadioButton>(row, QStringLiteral("optChoice(%1)").arg(score), where);
}

void Choose(const QWidget* row, int score, Where where)
{
    QTest::mouseClick(Option(row, score, where), Qt::LeftButton, {}, QPoint(6, 8));
}

void Pick(QComboBox* combo, int index, Where where)
{
    if (!combo)
        FailTest(QStringLiteral("no combo box"), where);
    if (index < 0 || index >= combo->count())
        FailTest(QStringLiteral("%1 has no item %2").arg(combo->objectName()).arg(index), where);
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

void PickText(QComboBox* combo, const QString& text, Where where)
{
    if (!combo)
        FailTest(QStringLiteral("no combo box"), where);
    const int index = combo->findText(text, Qt::MatchExactly);
    if (index < 0)
        FailTest(QStringLiteral("%1 has no item %2").arg(combo->objectName(), text), where);
    Pick(combo, index, where);
}

void Click(QAbstractButton* button, Where where)
{
    if (!button)
        FailTest(QStringLiteral("no button"), where);
    QTest::mouseClick(button, Qt::LeftButton);
}

void Trigger(QAction* action, Where where)
{
    if (!action)
        FailTest(QStringLiteral("no menu item"), where);
    action->trigger();
}

void Pick(const QWidget* window, const QString& combo, int index, Where where)
{
    Pick(Find<QComboBox>(window, combo, where), index, where);
}

void PickText(const QWidget* window, const QString& combo, const QString& text, Where where)
{
    PickText(Find<QComboBox>(window, combo, where), text, where);
}

void Click(const QWidget* window, const QString& button, Where where)
{
    Click(Find<QAbstractButton>(window, button, where), where);
}

void CloseBox(QWidget* window, Where where)
{
    if (!window)
        FailTest(QStringLiteral("no window"), where);
    window->close();
    Settle();
}

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; combo && i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

void Key(int key, Qt::KeyboardModifiers modifiers, Where where)
{
    QWidget* target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        FailTest(QStringLiteral("no window takes the key"), where);
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

QString Focused()
{
    const QWidget* focused = QApplication::focusWidget();
    return focused ? focused->objectName() : QString();
}

void Activate(QWidget* window, Where where)
{
    if (!window)
        FailTest(QStringLiteral("no window"), where);
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        FailTest(QStringLiteral("%1 does not become active").arg(window->objectName()), where);
}

QStringList TabOrder(QWidget* window)
{
    QStringList names;
    QWidget* first = window->focusWidget();
    QWidget* w = first;
    do {
        if (w && w->isVisibleTo(window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->parentWidget() == window->findChild<QWidget*>(QStringLiteral("clientArea")))
            names.append(w->objectName());
        w = w ? w->nextInFocusChain() : nullptr;
    } while (w && w != first);
    return names;
}

} // namespace Ui
