#include "platform/Twips.h"

#include "platform/Toolkit.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

constexpr double kTwipsPerInch = 1440.0;

double dpiX()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

double dpiY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

} // namespace

double LayoutScale()
{
    // Measured once per font: every control of every window asks.
    static QFont measured;
    static double scale = 0;
    const QFont font = QGuiApplication::font();
    if (scale > 0 && font == measured)
        return scale;
    const QFont design = ToolkitFont();
    scale = 1;
    if (font != design) {
        const QFontMetricsF user(font);
        const QFontMetricsF designed(design);
        // Words of the windows' captions, so that a wider face counts too.
        const QString sample = QStringLiteral("Survey Number Completed By 0123456789");
        scale = std::max({1.0, user.height() / designed.height(),
                          user.horizontalAdvance(sample) / designed.horizontalAdvance(sample)});
    }
    measured = font;
    return scale;
}

int TwipsToPxX(int twips)
{
    return qRound(twips * dpiX() * LayoutScale() / kTwipsPerInch);
}

int TwipsToPxY(int twips)
{
    return qRound(twips * dpiY() * LayoutScale() / kTwipsPerInch);
}

int PxToTwipsX(int px)
{
    return qRound(px * kTwipsPerInch / (dpiX() * LayoutScale()));
}

int PxToTwipsY(int px)
{
    return qRound(px * kTwipsPerInch / (dpiY() * LayoutScale()));
}

QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(TwipsToPxX(left), TwipsToPxY(top), TwipsToPxX(width), TwipsToPxY(height));
}

void PlaceTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsRect(left, top, width, height));
}
