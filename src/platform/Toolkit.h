#pragma once

class QApplication;
class QFont;

// The default font (a sans-serif face at 8.25 pt) that the twip layouts were
// made for; also what a drawing made without a window is printed in.
QFont ToolkitFont();

// What every window of the program assumes of the toolkit: ToolkitFont() as
// the default font.
void InitToolkit(QApplication& app);
