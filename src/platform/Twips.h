#pragma once

#include <QRect>

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
// Sizes a window's client area.
void ResizeClientTwips(QWidget* window, int width, int height);
