#include "platform/Accessible.h"

#include "platform/TextBox.h"

#include <QAccessibleEditableTextInterface>
#include <QFontMetrics>
#include <QStyle>

ShownChildrenAccessible::ShownChildrenAccessible(QWidget* widget, QAccessible::Role role)
    : QAccessibleWidget(widget, role)
{
}

QList<QAccessibleInterface*> ShownChildrenAccessible::ShownChildren() const
{
    QList<QAccessibleInterface*> shown;
    for (QObject* object : widget()->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow() || child->isHidden())
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(child);
        if (face && !face->state().invisible)
            shown.append(face);
    }
    return shown;
}

int ShownChildrenAccessible::childCount() const
{
    return int(ShownChildren().size());
}

QAccessibleInterface* ShownChildrenAccessible::child(int index) const
{
    const QList<QAccessibleInterface*> shown = ShownChildren();
    return index >= 0 && index < shown.size() ? shown.at(index) : nullptr;
}

int ShownChildrenAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return int(ShownChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
}

namespace {

// A locked box: its text can be read, selected and copied, never changed.
// Qt's own interface calls every line edit editable, read-only or not.
class LockedBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LockedBoxAccessible(TextBox* box) : QAccessibleWidget(box, QAccessible::EditableText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = Box()->isReadOnly();
        state.editable = !state.readOnly;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text which) const override
    {
        if (which == QAccessible::Value)
            return Box()->text();
        return QAccessibleWidget::text(which);
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && Box()->hasSelectedText()) {
            *startOffset = Box()->selectionStart();
            *endOffset = *startOffset + Box()->selectionLength();
        }
    }
    int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            Box()->deselect();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            Box()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return Box()->cursorPosition(); }
    void setCursorPosition(int position) override { Box()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return Box()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(Box()->text().size()); }
    // Where the box shows its text from its start; good enough to follow a
    // magnifier along a short name.
    QRect characterRect(int offset) const override
    {
        const QString text = Box()->text();
        if (offset < 0 || offset >= text.size())
            return {};
        const QFontMetrics metrics = Box()->fontMetrics();
        const QRect inner = Box()->contentsRect().marginsRemoved(Box()->textMargins());
        const int x = inner.left() + 2 + metrics.horizontalAdvance(text.left(offset));
        const QRect local(x, inner.top() + (inner.height() - metrics.height()) / 2,
                          metrics.horizontalAdvance(text.at(offset)), metrics.height());
        return QRect(Box()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return Box()->cursorPositionAt(Box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int /*endIndex*/) override
    {
        Box()->setCursorPosition(startIndex);
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    TextBox* Box() const { return static_cast<TextBox*>(widget()); }
};

QAccessibleInterface* platformInterface(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("Form"))
        return new ShownChildrenAccessible(widget, QAccessible::Window);
    if (className == QLatin1String("TextBox") && static_cast<TextBox*>(widget)->isReadOnly())
        return new LockedBoxAccessible(static_cast<TextBox*>(widget));
    // Asked last for every class without an interface of its own: only the
    // plain widgets that hold controls are meant.
    if (className == QLatin1String("QWidget") && widget->metaObject() == &QWidget::staticMetaObject)
        return new ShownChildrenAccessible(widget);
    return nullptr;
}

} // namespace

void InstallAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(platformInterface);
        return true;
    }();
    Q_UNUSED(installed);
}
