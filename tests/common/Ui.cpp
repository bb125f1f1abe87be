#include "common/Ui.h"

#include <QCoreApplication>
#include <QEvent>

namespace Ui {

void Settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CloseAllWindows()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form*>(w))
            w->close();
    }
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

void Pick(QComboBox* combo, int index)
{
    QVERIFY2(combo, "no combo box");
    QVERIFY2(index >= 0 && index < combo->count(), "no such item");
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

void PickText(QComboBox* combo, const QString& text)
{
    QVERIFY2(combo, "no combo box");
    const int index = combo->findText(text, Qt::MatchExactly);
    QVERIFY2(index >= 0, qPrintable(QStringLiteral("no item ") + text));
    Pick(combo, index);
}

void Click(QAbstractButton* button)
{
    QVERIFY2(button, "no button");
    QTest::mouseClick(button, Qt::LeftButton);
}

void Trigger(QAction* action)
{
    QVERIFY2(action, "no menu item");
    action->trigger();
}

void CloseBox(QWidget* window)
{
    QVERIFY2(window, "no window");
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

QStringList TabOrder(QWidget* window)
{
    QStringList names;
    QWidget* first = window->focusWidget();
    QWidget* w = first;
    do {
        if (w && w->isVisibleTo(window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->parentWidget() == window)
            names.append(w->objectName());
        w = w ? w->nextInFocusChain() : nullptr;
    } while (w && w != first);
    return names;
}

} // namespace Ui
