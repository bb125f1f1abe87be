#pragma once

class QApplication;
class QFont;
class QIcon;

// The font (a sans-serif face at 8.25 pt) that the twip layouts were
// designed for; also what a drawing made without a window is printed in.
QFont ToolkitFont();

// The program's icon, which every window shows.
QIcon ProgramIcon();

// What every window of the program assumes of the toolkit. The windows
// take the desktop's font, and their layouts scale from the design font to
// it (LayoutScale).
void InitToolkit(QApplication& app);
