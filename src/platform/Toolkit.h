#pragma once

class QApplication;

// What every window of the program assumes of the toolkit: the default font
// (a sans-serif face at 8.25 pt) that the twip layouts were made for.
void InitToolkit(QApplication& app);
