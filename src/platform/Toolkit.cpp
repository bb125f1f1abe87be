#include "platform/Toolkit.h"

#include <QApplication>
#include <QFont>

void InitToolkit(QApplication& app)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    app.setFont(font);
    app.setApplicationName(QStringLiteral("Quelt Analysis Software"));
    app.setQuitOnLastWindowClosed(true);
}
