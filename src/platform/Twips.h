#pragma once

#include <QRect>
#include <QString>

class QWidget;

// Layouts are given in twips (1/1440 inch) for the design font (see
// ToolkitFont). Each coordinate and size is converted on its own through the
// screen's logical dots per inch and the layout scale.
int TwipsToPxX(int twips);
int TwipsToPxY(int twips);
int PxToTwipsX(int px);
int PxToTwipsY(int px);
QRect TwipsRect(int left, int top, int width, int height);

// How much larger than designed the layouts are drawn: the application font's
// size over the design font's, taken from its height and from the width of
// its text, whichever is larger, and never below 1. Exactly 1 at the design
// font, so that the layout tables then hold to the pixel; at any larger font
// every text keeps the room it had.
double LayoutScale();

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
