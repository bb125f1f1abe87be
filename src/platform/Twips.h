#pragma once

#include <QRect>
#include <QString>

class QWidget;

// Layouts are given in twips (1/1440 inch). Each coordinate and size is
// converted on its own through the screen's logical dots per inch.
int TwipsToPxX(int twips);
int TwipsToPxY(int twips);
int PxToTwipsX(int px);
int PxToTwipsY(int px);
QRect TwipsRect(int left, int top, int width, int height);

// Moves and sizes a control by its twip position in its parent.
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);
// Creates a control of `parent`, named and placed by its twip layout.
template <class W>
W* NewControl(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* w = new W(parent);
    w->setObjectName(name);
    PlaceTwips(w, left, top, width, height);
    return w;
}

// Sizes a window's client area.
void ResizeClientTwips(QWidget* window, int width, int height);
