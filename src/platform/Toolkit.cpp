#include "platform/Toolkit.h"

#include <QApplication>
#include <QFont>

QFont ToolkitFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

void InitToolkit(QApplication& app)
{
    app.setFont(ToolkitFont());
    app.setApplicationName(QStringLiteral("Quelt Analysis Software"));
    app.setQuitOnLastWindowClosed(true);
}
