// quelt-db: makes and inspects survey database files from the command line.

#include "Command.h"

#include "platform/QueltError.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

const Command kCommands[] = {
    {"init", "create an empty survey database with a named model",
     "Usage: quelt-db init FILE --rows \"Name;Name;...\" --cols \"Name;Name;...\"\n"
     "\n"
     "Creates FILE with the five tables of the survey database. The model rows and\n"
     "columns are numbered 0, 1, 2, ... in the order given. An existing FILE is\n"
     "never overwritten. Both --rows and --cols are required (either may be \"\").\n",
     RunInit},
    {"demo", "create a demo database with questions and answered surveys",
     "Usage: quelt-db demo FILE\n"
     "\n"
     "Creates FILE with a named 6 x 6 model, two to four questions in every cell\n"
     "and three surveys that answer every question. An existing FILE is never\n"
     "overwritten.\n",
     RunDemo},
};

void printOverview(QTextStream& out)
{
    out << "Usage: quelt-db COMMAND [ARGS...]\n"
           "       quelt-db COMMAND --help\n\n"
           "Makes and inspects survey database files for Quelt Analysis Software.\n\n"
           "Commands:\n";
    for (const Command& c : kCommands)
        out << "  " << QString::fromLatin1(c.name).leftJustified(18) << c.synopsis << '\n';
    out << "\nExit status: 0 on success, 1 on failure, 2 for a wrong command line.\n";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);

    if (args.isEmpty()) {
        printOverview(err);
        return 2;
    }
    const QString name = args.takeFirst();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
        name == QStringLiteral("help")) {
        printOverview(out);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (name != QLatin1String(command.name))
            continue;
        if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
            out << command.help;
            return 0;
        }
        try {
            return command.run(args, out);
        } catch (const UsageError& e) {
            err << "quelt-db " << name << ": " << e.what() << "\n";
            err << "Try 'quelt-db " << name << " --help'.\n";
            return 2;
        } catch (const QueltError& e) {
            out.flush();
            err << "quelt-db " << name << ": " << e.message() << "\n";
            return 1;
        } catch (const std::exception& e) {
            out.flush();
            err << "quelt-db " << name << ": " << e.what() << "\n";
            return 1;
        }
    }
    err << "quelt-db: unknown command '" << name << "'\n";
    printOverview(err);
    return 2;
}
