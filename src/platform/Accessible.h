#pragma once

#include <QAccessibleWidget>
#include <QList>

// A widget as a screen reader meets it: with its shown children only. A
// hidden control, or a child whose own interface says it shows nothing (an
// empty question row), is not in the tree at all.
class ShownChildrenAccessible : public QAccessibleWidget
{
public:
    explicit ShownChildrenAccessible(QWidget* widget, QAccessible::Role role = QAccessible::Client);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QList<QAccessibleInterface*> ShownChildren() const;
};

// From the first call on, a screen reader meets every widget of class W
// (exactly that class) through an interface I made as I(W*).
template <class W, class I>
void UseAccessibleInterface()
{
    static const bool installed = [] {
        QAccessible::installFactory(
            [](const QString& className, QObject* object) -> QAccessibleInterface* {
                if (className != QLatin1String(W::staticMetaObject.className()))
                    return nullptr;
                return new I(static_cast<W*>(object));
            });
        return true;
    }();
    Q_UNUSED(installed);
}

// Installs, once, what the platform's widgets are to a screen reader: every
// window a frame named by its title, the plain containers between a window
// and its controls without what they hide, and a locked text box read-only
// rather than editable.
void InstallAccessibility();
