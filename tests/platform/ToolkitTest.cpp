#include "common/TestRegistry.h"

#include <QApplication>
#include <QIcon>
#include <QProxyStyle>
#include <QTest>

class ToolkitTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The menu bar's overflow icon is made only when first drawn, and is then
    // the style's own.
    void overflowIconsAreTheStylesOwn()
    {
        auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
        QVERIFY(style);
        for (const QStyle::StandardPixmap icon : {QStyle::SP_ToolBarHorizontalExtensionButton,
                                                  QStyle::SP_ToolBarVerticalExtensionButton}) {
            const QIcon deferred = style->standardIcon(icon);
            const QIcon own = style->baseStyle()->standardIcon(icon);
            QVERIFY(!own.isNull());
            QCOMPARE(deferred.availableSizes(), own.availableSizes());
            QCOMPARE(deferred.pixmap(16).toImage(), own.pixmap(16).toImage());
        }
    }
};

QUELT_TEST(ToolkitTest);
#include "ToolkitTest.moc"
