#include "platform/Toolkit.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

QFont ToolkitFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

QIcon ProgramIcon()
{
    // The installed theme's icon where there is one, else the program's own.
    return QIcon::fromTheme(QStringLiteral("quelt"), QIcon(QStringLiteral(":/quelt/quelt.svg")));
}

void InitToolkit(QApplication& app)
{
    app.setApplicationName(QStringLiteral("Quelt Analysis Software"));
    // The desktop finds the program's entry, and with it its icon, by this.
    app.setDesktopFileName(QStringLiteral("example.quelt.quelt"));
    app.setWindowIcon(ProgramIcon());
    app.setQuitOnLastWindowClosed(true);
}
