// quelt-db: makes and inspects survey database files from the command line.

#include "Command.h"

#include "platform/DbEngine.h"
#include "platform/QueltError.h"
#include "platform/Toolkit.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

namespace {

const Command kCommands[] = {
    {"init", "create an empty survey database with a named model",
     "Usage: quelt-db init FILE --rows \"Name;Name;...\" --cols \"Name;Name;...\"\n"
     "\n"
     "Creates FILE with the five tables of the survey database. The model rows and\n"
     "columns are numbered 0, 1, 2, ... in the order given. An existing FILE is\n"
     "never overwritten. Both --rows and --cols are required (either may be \"\").\n"
     "The program supports models of up to 100 rows and 100 columns.\n",
     RunInit},
    {"demo", "create a demo database with questions and answered surveys",
     "Usage: quelt-db demo FILE\n"
     "\n"
     "Creates FILE with a named 6 x 6 model, two to four questions in every cell\n"
     "and three surveys that answer every question. An existing FILE is never\n"
     "overwritten.\n",
     RunDemo},
    {"report", "the mean score of every cell for one survey or several",
     "Usage: quelt-db report FILE (--survey N | --surveys N,M,... | --all)\n"
     "                       [--format text|csv|png|pdf|svg] [--output PATH] [--no-color]\n"
     "\n"
     "The results grid of the analysis window, computed the same way.\n"
     "  --survey N         the answers of survey N\n"
     "  --surveys N,M,...  every answer of these surveys together; each cell also\n"
     "                     tells how many of them answered there and how many\n"
     "                     answers there are (\"surveys/answers\")\n"
     "  --all              the same over every stored survey\n"
     "  --format F         text (an aligned table, the default), csv (one line per\n"
     "                     cell, row by row), or png, pdf, svg (the window's picture,\n"
     "                     no display needed). Without --format, the suffix of\n"
     "                     --output decides.\n"
     "  --output PATH      write there instead of to the terminal; png, pdf and svg\n"
     "                     need it. The file appears only when complete.\n"
     "  --no-color         no band colours (as with Color Coding unticked)\n"
     "\n"
     "Means have two decimals and a point; a cell without answers shows \"a\" (in\n"
     "csv: an empty mean). The file is only read.\n",
     RunReport, ReportDraws},
    {"export", "every stored answer as CSV, one line per answer",
     "Usage: quelt-db export FILE [--output PATH]\n"
     "\n"
     "Writes every answer in the order it was entered, with its survey (number,\n"
     "completed by, company), its question (number, label, text), the question's\n"
     "model row and column (number and name) and the score. UTF-8, a header line,\n"
     "fields quoted where needed as in RFC 4180. Values are written as stored; an\n"
     "answer to a question or survey that is missing keeps those fields empty. The\n"
     "file is only read.\n",
     RunExport},
    {"import-questions", "add questions from a CSV file, all of them or none",
     "Usage: quelt-db import-questions FILE QUESTIONS.csv\n"
     "\n"
     "QUESTIONS.csv (UTF-8) holds one question per record: model row number, model\n"
     "column number, label, text. A first line \"row,col,label,text\" is skipped,\n"
     "and so are blank lines. Label and text may be empty and are stored exactly as\n"
     "written; quote a field that holds commas, quotes or line breaks.\n"
     "\n"
     "Every line is checked first: four fields, a row and a column the model has,\n"
     "question numbers that stay within 32767. If any line fails, every failing\n"
     "line is named and nothing is added; otherwise all questions are added at once.\n",
     RunImportQuestions},
    {"check", "whether the program can use a file; never writes to it",
     "Usage: quelt-db check FILE\n"
     "\n"
     "Checks the five tables and their columns, that no name, number, question text,\n"
     "completed by or company is null, that every number is whole, within\n"
     "-32768..32767 and stored as a number, that no survey or model number is stored\n"
     "twice, that no text is longer than the program reads, that the model is within\n"
     "the 100 x 100 the program supports, that no trigger, view, conflict clause or\n"
     "computed column acts on the tables, and the database engine's own integrity\n"
     "check. Prints one line per problem and exits with 1 when there is any, 0\n"
     "otherwise. Notes on what the program copes with (a model not numbered 0, 1, 2,\n"
     "..., questions or answers that nothing refers to, a missing index) leave the\n"
     "exit status 0. The file is opened read-only: a journal left by an interrupted\n"
     "write is reported, never rolled back.\n",
     RunCheck},
    {"index", "give a file the indexes that init makes",
     "Usage: quelt-db index FILE\n"
     "\n"
     "Adds to FILE the indexes that 'quelt-db init' creates, where no index on the\n"
     "same columns exists yet, so that results come quickly from a large file made\n"
     "by other means. Writes nothing else.\n",
     RunIndex},
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

const Command* findCommand(const QString& name)
{
    for (const Command& command : kCommands)
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}

QtMessageHandler g_qtMessages = nullptr;

// Starting the graphical side without a desktop session makes Qt say so; the
// drawing does not depend on it.
void dropSessionChatter(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    g_qtMessages(type, context, text);
}

// Drawing needs fonts, and fonts need the graphical side of the toolkit. With
// no platform chosen it draws off screen, so no display is needed; the other
// commands never load a graphical plugin at all.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[])
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    const Command* command = raw.isEmpty() ? nullptr : findCommand(raw.first());
    if (!command || !command->draws || !command->draws(raw.mid(1)))
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_qtMessages = qInstallMessageHandler(dropSessionChatter);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    QGuiApplication::setFont(ToolkitFont());
    return app;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);

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
    const Command* command = findCommand(name);
    if (!command) {
        err << "quelt-db: unknown command '" << name << "'\n";
        printOverview(err);
        return 2;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out << command->help;
        return 0;
    }
    // The windows stop a statement after 10 s; here the user can stop one
    // with Ctrl-C, and an export or check of a large file rightly runs longer.
    DBEngine::SetStatementLimitMs(0);
    try {
        return command->run(args, out);
    } catch (const UsageError& e) {
        out.flush();
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
