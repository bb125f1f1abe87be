#include "platform/Toolkit.h"

#include <QApplication>
#include <QFont>
#include <QIconEngine>
#include <QProxyStyle>
#include <functional>

namespace {

// An icon made the first time it is drawn or measured.
class DeferredIcon : public QIconEngine
{
public:
    explicit DeferredIcon(std::function<QIcon()> make) : m_make(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredIcon(*this); }
    QString key() const override { return QStringLiteral("DeferredIcon"); }

private:
    const QIcon& icon()
    {
        if (!m_made) {
            m_icon = m_make();
            m_made = true;
        }
        return m_icon;
    }

    std::function<QIcon()> m_make;
    QIcon m_icon;
    bool m_made = false;
};

// The platform's style, but a menu bar's overflow button gets its icon only
// when the button is first drawn: reading that icon's file makes Qt load every
// image format plugin it has, about a millisecond of each start-up, for a
// button that shows only when a window is too narrow for its menus.
class ToolkitStyle : public QProxyStyle
{
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override
    {
        if (icon != SP_ToolBarHorizontalExtensionButton &&
            icon != SP_ToolBarVerticalExtensionButton)
            return QProxyStyle::standardIcon(icon, option, widget);
        const QStyle* base = baseStyle();
        return QIcon(new DeferredIcon([base, icon] { return base->standardIcon(icon); }));
    }
};

} // namespace

void InitToolkit(QApplication& app)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    app.setFont(font);
    app.setStyle(new ToolkitStyle);
    app.setApplicationName(QStringLiteral("Quelt Analysis Software"));
    app.setQuitOnLastWindowClosed(true);
}
