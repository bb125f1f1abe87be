#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of the program.
struct StartOptions
{
    // The survey database to work on; quelt.mdb unless chosen.
    QString database = QStringLiteral("quelt.mdb");
    bool help = false;
    bool version = false;
    // A wrong command line, said as such; empty when right.
    QString error;
};

// Reads the program's own arguments (without the program's name, and
// without the toolkit's, which it takes itself). --database wins over
// `environment` (QUELT_DATABASE), which wins over quelt.mdb. --help and
// --version are found even beside a wrong argument.
StartOptions ParseStartOptions(const QStringList& args, const QString& environment);

// What --help prints.
QString StartHelp();

// Start-up: shows the main menu window, every window working on `database`
// (empty: the one chosen already), and returns; the event loop keeps the
// program running from there.
void Main(const QString& database = {});
