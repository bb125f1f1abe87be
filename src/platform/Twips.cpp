#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

int TwipsToPxX(int twips)
{
    return qRound(twips * dpiX() / kTwipsPerInch);
}

int TwipsToPxY(int twips)
{
    return qRound(twips * dpiY() / kTwipsPerInch);
}

int PxToTwipsX(int px)
{
    return qRound(px * kTwipsPerInch / dpiX());
}

int PxToTwipsY(int px)
{
    return qRound(px * kTwipsPerInch / dpiY());
}

QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(TwipsToPxX(left), TwipsToPxY(top), TwipsToPxX(width), TwipsToPxY(height));
}

void PlaceTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsRect(left, top, width, height));
}

void ResizeClientTwips(QWidget* window, int width, int height)
{
    window->resize(TwipsToPxX(width), TwipsToPxY(height));
}
