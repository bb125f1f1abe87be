// quelt-db: makes and checks survey database files from the command line.

#include "Command.h"
#include "Output.h"

#include "platform/DbEngine.h"
#include "platform/QueltError.h"
#include "platform/TerminalText.h"
#include "platform/Toolkit.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

namespace {

// Every command's LOCATION, said once.
#define LOCATION_HELP                                                                              \
    "\n"                                                                                           \
    "LOCATION is a file path or a PostgreSQL database as a libpq URI, e.g.\n"                      \
    "postgresql://user@host:5432/quelt or postgresql:///?service=quelt. A server's\n"              \
    "password goes in ~/.pgpass, a service file or PGPASSWORD, never into LOCATION.\n"

// What init makes on a server, said once for init.
#define SERVER_SETUP_HELP                                                                          \
    "On a server, run as the role that is to own the tables, init also makes\n"                    \
    "CHECK and foreign-key constraints that refuse what the program would show\n"                  \
    "wrongly, columns that record which login stored each header, question and\n"                  \
    "answer and when, and the functions through which consultants write and\n"                     \
    "correct. The group ROLE (--consultants, quelt_consultant unless given), which\n"              \
    "the server's administrator makes first, may read the tables and run those\n"                  \
    "functions, and nothing else.\n"

const Command kCommands[] = {
    {"init", "create an empty survey database with a named model",
     "Usage: quelt-db init LOCATION --rows \"Name;Name;...\" --cols \"Name;Name;...\"\n"
     "                         [--allow-duplicate-names] [--consultants ROLE]\n"
     "\n"
     "Creates the five tables of the survey database, and the two that keep the\n"
     "history of corrections: a new file at LOCATION, or in the existing server\n"
     "database LOCATION names (postgresql://...). The model rows and columns are\n"
     "numbered 0, 1, 2, ... in the order given. An existing file is never\n"
     "overwritten, nor a server database that holds the tables.\n"
     "Both --rows and --cols are required (either may be \"\").\n"
     "Every name needs some text: an empty name or a \";\" at the end is refused,\n"
     "and so is a name given twice unless --allow-duplicate-names. The program\n"
     "supports models of up to 100 rows and 100 columns.\n"
     "\n" SERVER_SETUP_HELP LOCATION_HELP,
     RunInit},
    {"demo", "create a demo database with questions and answered surveys",
     "Usage: quelt-db demo LOCATION [--consultants ROLE]\n"
     "\n"
     "Creates the survey database at LOCATION, as init does, with a named 6 x 6\n"
     "model, two to four questions in every cell and three surveys that answer\n"
     "every question. An existing file is never overwritten, nor a server\n"
     "database that holds the tables. On a server it makes what init makes;\n"
     "--consultants ROLE as there.\n" LOCATION_HELP,
     RunDemo},
    {"report", "the mean score of every cell: one survey, several, compared or as a trend",
     "Usage: quelt-db report LOCATION (--survey N | --surveys N,M,... [--trend] | --all [--trend]\n"
     "                                 | --compare A,B | --company NAME)\n"
     "                           [--format text|csv|png|pdf|svg] [--output PATH]\n"
     "                           [--paper a4|letter] [--no-color] [--full-names] [--raw]\n"
     "\n"
     "The results grid of the analysis window, computed the same way.\n"
     "  --survey N         the answers of survey N\n"
     "  --surveys N,M,...  every answer of these surveys together; each cell also\n"
     "                     tells how many of them answered there and how many\n"
     "                     answers there are (\"surveys/answers\")\n"
     "  --all              the same over every stored survey\n"
     "  --trend            with --surveys or --all: each survey's mean per cell, in\n"
     "                     number order, instead of one mean over them all\n"
     "  --compare A,B      per cell the mean of survey A, of survey B and the change\n"
     "                     from A to B; pictures are filled by improvement or decline\n"
     "  --company NAME     the trend of every survey of the company NAME\n"
     "  --format F         text (an aligned table, the default), csv (one line per\n"
     "                     cell, row by row), png or svg (the window's picture, no\n"
     "                     display needed) or pdf (a document: title block, the\n"
     "                     picture, each cell's questions with their scores).\n"
     "                     Without --format, the suffix of --output decides.\n"
     "  --output PATH      write there instead of to the terminal; png, pdf and svg\n"
     "                     need it. A file appears only when complete; a device or\n"
     "                     a pipe is written straight through.\n"
     "  --paper P          pdf: the page size, a4 (the default) or letter\n"
     "  --no-color         no band colours (as with Color Coding unticked)\n"
     "  --full-names       text on a terminal: every name whole, however wide;\n"
     "                     otherwise names are cut with \"…\" to fit its width\n"
     "  --raw              csv: names exactly as stored, also those a spreadsheet\n"
     "                     would run as a formula\n"
     "\n"
     "Means have two decimals and a point; a cell without answers shows \"a\" (in\n"
     "csv: an empty mean, and an empty change). In the text table, and in csv on a\n"
     "terminal, control characters in a name show as \\e, \\n, \\x01 and the like;\n"
     "in csv, a name beginning with = + - @, a tab or a carriage return gets a\n"
     "leading ' unless --raw. Band colours appear on a terminal. Whatever turns\n"
     "them off wins: --no-color, NO_COLOR, TERM=dumb; only then do CLICOLOR_FORCE\n"
     "or FORCE_COLOR bring them into a pipe. The database is only read.\n" LOCATION_HELP,
     RunReport, ReportDraws},
    {"export", "every stored answer as CSV, one line per answer",
     "Usage: quelt-db export LOCATION [--output PATH] [--raw] [--stored-by]\n"
     "                           [--with-history]\n"
     "\n"
     "Writes every answer in the order it was entered, with its survey (number,\n"
     "completed by, company), its question (number, label, text), the question's\n"
     "model row and column (number and name) and the score. UTF-8, a header line,\n"
     "fields quoted where needed as in RFC 4180. Values are written as stored; an\n"
     "answer to a question or survey that is missing keeps those fields empty.\n"
     "A text beginning with = + - @, a tab or a carriage return, which a spreadsheet\n"
     "would run as a formula, gets a leading '; numbers are never changed. Bytes of\n"
     "a text that are not UTF-8 are written as U+FFFD. On a terminal, control\n"
     "characters show as \\e, \\n, \\x01 and the like.\n"
     "  --output PATH  write there; a file appears only when complete, a device or\n"
     "                 a pipe is written straight through\n"
     "  --raw          every text exactly as stored, byte for byte, for statistics\n"
     "                 packages\n"
     "  --stored-by    (a server database) six more fields: the login that stored\n"
     "                 the answer and when (UTC), and the same of its survey's\n"
     "                 header and of its question; empty where nothing was recorded\n"
     "  --with-history three more fields: status (stored, or replaced or withdrawn\n"
     "                 for an answer a correction took out, which is listed after\n"
     "                 the stored ones) and when (UTC) and by whom it was taken out\n"
     "Without --with-history only the stored answers are written, as the results\n"
     "count them. The database is only read.\n" LOCATION_HELP,
     RunExport},
    {"import-questions", "add questions from a CSV file, all of them or none",
     "Usage: quelt-db import-questions LOCATION QUESTIONS.csv\n"
     "\n"
     "QUESTIONS.csv (UTF-8) holds one question per record: model row number, model\n"
     "column number, label, text. A first line \"row,col,label,text\" is skipped,\n"
     "and so are blank lines. Label and text may be empty and are stored exactly as\n"
     "written; quote a field that holds commas, quotes or line breaks.\n"
     "\n"
     "Every line is checked first: four fields, a row and a column the model has,\n"
     "question numbers that stay within 32767. If any line fails, every failing\n"
     "line is named and nothing is added; otherwise all questions are added at "
     "once.\n" LOCATION_HELP,
     RunImportQuestions},
    {"check", "whether the program can use a database; never writes to it",
     "Usage: quelt-db check LOCATION\n"
     "\n"
     "Checks the five tables and their columns, that no name, number, question text,\n"
     "completed by or company is null, that every number is whole, within\n"
     "-32768..32767 and stored as a number, that no survey or model number is stored\n"
     "twice, that no text is longer than the program reads, and that the model is\n"
     "within the 100 x 100 the program supports. Prints one line per problem and\n"
     "exits with 1 when there is any, 0 otherwise. Notes on what the program copes\n"
     "with (a model not numbered 0, 1, 2, ..., questions or answers that nothing\n"
     "refers to, a missing index, texts a server cannot hold) leave the exit status 0.\n"
     "Where the history of corrections is kept, a change whose answers the history\n"
     "does not hold, or answers of no recorded change, is a problem.\n"
     "\n"
     "In a file it also checks that no trigger, view, virtual table, conflict\n"
     "clause or computed column acts on the tables, and runs the database engine's\n"
     "own integrity check. The program's own writes, and where the file keeps the\n"
     "history the corrections too, are tried on a copy of the tables' definitions\n"
     "in memory; each the file would refuse is a problem. The file is opened\n"
     "read-only: a journal left by an interrupted write is reported, never rolled\n"
     "back.\n"
     "\n"
     "On a server it also checks that no trigger, rule, row-level security or\n"
     "policy, view or other relation in place of a table, table inheriting from one,\n"
     "or computed column acts on the tables; that the writing functions are the ones\n"
     "init made, running as the tables' owner with the search path pinned; that the\n"
     "database is of this version (else 'quelt-db upgrade'); and that no role but\n"
     "the owner may change the tables directly. Notes name rows with no record of\n"
     "who stored them, and tables named like the five in other schemas. The\n"
     "server checks its own storage; the session is read-only.\n" LOCATION_HELP,
     RunCheck},
    {"index", "give a file the indexes that init makes",
     "Usage: quelt-db index LOCATION\n"
     "\n"
     "Adds to LOCATION the indexes that 'quelt-db init' creates, where no index on the\n"
     "same columns exists yet, so that results come quickly from a large file made\n"
     "by other means. Writes nothing else.\n" LOCATION_HELP,
     RunIndex},
    {"copy", "copy a whole survey database to a new place, all or nothing",
     "Usage: quelt-db copy FROM TO [--consultants ROLE]\n"
     "\n"
     "Copies every model row and column, question, survey and answer, and the\n"
     "history of corrections, from the database FROM to TO, as stored and in the\n"
     "order stored: a file to a server to move a team, a server to a file for an\n"
     "offline snapshot, or any other pair.\n"
     "TO is a new file, or a server database without the survey tables (or with\n"
     "all five of them empty); one that holds data is refused and left as it was.\n"
     "Every value is carried as stored, a text with every byte. A value that would\n"
     "arrive changed is refused before anything is copied, each named by table, row\n"
     "and column: a null; a number stored as a text, a real or a blob (a survey\n"
     "number stored as the text '1' belongs to no survey in the file, but would in\n"
     "the copy); to a server, a text with a NUL or bytes that are not UTF-8.\n"
     "Each table's rows and totals (every byte of its texts included) are compared\n"
     "at both ends before the copy is committed: it is stored whole or not at all.\n"
     "FROM is only read. Tables made on a server get what init gives them\n"
     "(--consultants ROLE as there), and refuse what they refuse: a file whose rows\n"
     "they do not take is not copied ('quelt-db check' on it tells which). The\n"
     "copied rows are recorded as stored by the login that copies them.\n" LOCATION_HELP,
     RunCopy},
    {"upgrade", "give a server database made by an earlier version this one's safeguards",
     "Usage: quelt-db upgrade LOCATION [--consultants ROLE]\n"
     "\n"
     "Run by the tables' owner on a server database that an earlier version made.\n"
     "Adds what init now makes: the constraints, the record of who stored each\n"
     "header, question and answer (empty for the rows already there), the writing\n"
     "functions, the history of corrections and the functions that correct, granted\n"
     "to the consultants' group ROLE (quelt_consultant unless given); and takes\n"
     "from every role but the owner the rights to change the tables directly. All\n"
     "of it or nothing: rows the constraints refuse leave the database as it was\n"
     "('quelt-db check' lists them). A database that is up\n"
     "to date is left as it is; a file needs no upgrade.\n" LOCATION_HELP,
     RunUpgrade},
    {"correct", "put a stored answer, survey header or question right, keeping the old",
     "Usage: quelt-db correct LOCATION --survey N --question Q --answer A\n"
     "       quelt-db correct LOCATION --survey N [--completed-by TEXT] [--company TEXT]\n"
     "       quelt-db correct LOCATION --question Q [--label TEXT] [--text TEXT]\n"
     "\n"
     "Puts a mistake right. What was stored before is not deleted but moved into\n"
     "the history of corrections, with when and by whom ('quelt-db history' lists\n"
     "it); results, reports and export count only what is stored now.\n"
     "  --survey N --question Q --answer A\n"
     "                 every answer of survey N to question Q is replaced by the\n"
     "                 one score A (0 to 4)\n"
     "  --survey N --completed-by TEXT --company TEXT\n"
     "                 the survey's header: either text, or both\n"
     "  --question Q --label TEXT --text TEXT\n"
     "                 the question's label (its \"Number\") or text, or both\n"
     "Each is stored whole or not at all and says what it changed. A survey or\n"
     "question that does not exist, or an answer where none is stored, is refused\n"
     "and nothing changes; a text given as it is stored already changes nothing.\n"
     "A file's history records the operating-system user, a server's the login.\n" LOCATION_HELP,
     RunCorrect},
    {"withdraw", "take a survey's answers in one cell out, into the history",
     "Usage: quelt-db withdraw LOCATION --survey N --row R --col C\n"
     "\n"
     "Withdraws every answer of survey N to the questions of the cell at model\n"
     "row R and model column C (their numbers), as for a cell submitted by\n"
     "mistake or twice: the answers move into the history of corrections, with\n"
     "when and by whom, and no longer count in results, reports and export. All\n"
     "or nothing; a survey or cell that does not exist, or a cell without answers\n"
     "of the survey, is refused and nothing changes.\n" LOCATION_HELP,
     RunWithdraw},
    {"history", "every correction: when, who, what, the old and the new value",
     "Usage: quelt-db history LOCATION [--survey N] [--format text|csv] [--output PATH]\n"
     "\n"
     "Lists every change the corrections made, in the order made: when (UTC, ISO\n"
     "8601), who (the login on a server, the operating-system user for a file),\n"
     "what was changed, the old value (the answers taken out) and the new one.\n"
     "  --survey N      only the changes to survey N's answers and header\n"
     "  --format F      text (one line per change, the default) or csv (when, who,\n"
     "                  what, survey_id, question_id, row_number, col_number, old,\n"
     "                  new; texts a spreadsheet would run as a formula get a\n"
     "                  leading ')\n"
     "  --output PATH   write there; a file appears only when complete\n"
     "A database without corrections lists none. The database is only read.\n" LOCATION_HELP,
     RunHistory},
};

void printOverview(QTextStream& out)
{
    out << "Usage: quelt-db COMMAND [ARGS...]\n"
           "       quelt-db COMMAND --help   (or: quelt-db help COMMAND)\n"
           "       quelt-db --version\n\n"
           "Makes and checks survey databases for Quelt Analysis Software: files, or\n"
           "databases on a PostgreSQL server (a LOCATION postgresql://...).\n\n"
           "Commands:\n";
    for (const Command& c : kCommands)
        out << "  " << QString::fromLatin1(c.name).leftJustified(18) << c.synopsis << '\n';
    out << "\nOptions come before or after the other arguments; after \"--\" everything is\n"
           "an argument, e.g. a file whose name begins with \"-\".\n"
           "\nExit status: 0 on success, 1 on failure, 2 for a wrong command line.\n";
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

// Help is asked for only among the options, never after "--".
bool asksForHelp(const QStringList& args)
{
    for (const QString& arg : args) {
        if (arg == QStringLiteral("--"))
            return false;
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h"))
            return true;
    }
    return false;
}

int run(const QStringList& all, QTextStream& out, QTextStream& err)
{
    QStringList args = all;
    if (args.isEmpty()) {
        printOverview(err);
        return 2;
    }
    const QString name = args.takeFirst();
    if (name == QStringLiteral("--version")) {
        out << "quelt-db " << QUELT_VERSION << '\n';
        return 0;
    }
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h") ||
        (name == QStringLiteral("help") && args.isEmpty())) {
        printOverview(out);
        return 0;
    }
    if (name == QStringLiteral("help")) {
        const Command* command = args.size() == 1 ? findCommand(args.first()) : nullptr;
        if (!command) {
            err << "quelt-db help: "
                << (args.size() == 1 ? "unknown command '" + Visible(args.first()) + "'"
                                     : QStringLiteral("name one command"))
                << "\n";
            printOverview(err);
            return 2;
        }
        out << command->help;
        return 0;
    }
    const Command* command = findCommand(name);
    if (!command) {
        err << "quelt-db: unknown command '" << Visible(name) << "'\n";
        printOverview(err);
        return 2;
    }
    if (asksForHelp(args)) {
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
        err << "quelt-db " << name << ": " << Visible(QString::fromUtf8(e.what())) << "\n";
        err << "Try 'quelt-db " << name << " --help'.\n";
        return 2;
    } catch (const QueltError& e) {
        out.flush();
        err << "quelt-db " << name << ": " << e.VisibleMessage() << "\n";
        return 1;
    } catch (const std::exception& e) {
        out.flush();
        err << "quelt-db " << name << ": " << Visible(QString::fromLocal8Bit(e.what())) << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    Output::HandleSignals();
    // Everything printed goes through one checked output: a full disk or a
    // closed pipe behind standard output is a failure, not a success.
    QTextStream out(&Output::Standard());
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments().mid(1);
    int status = run(args, out, err);
    try {
        out.flush();
        Output::Standard().Finish();
    } catch (const QueltError& e) {
        // A command that failed has said why already, often this very failure.
        if (status == 0)
            err << "quelt-db" << (args.isEmpty() ? QString() : u' ' + Visible(args.first())) << ": "
                << e.VisibleMessage() << "\n";
        status = 1;
    }
    return status;
}
