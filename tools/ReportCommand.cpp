#include "Command.h"
#include "Output.h"
#include "Text.h"

#include "analysis/Report.h"
#include "analysis/ReportFiles.h"
#include "data/Csv.h"
#include "data/Schema.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

enum class Format { Text, Csv, Png, Pdf, Svg };

const QStringList kFormatNames = {QStringLiteral("text"), QStringLiteral("csv"),
                                  QStringLiteral("png"), QStringLiteral("pdf"),
                                  QStringLiteral("svg")};

const QStringList kPaperNames = {QStringLiteral("a4"), QStringLiteral("letter")};

struct Request
{
    QString file;
    ReportRequest report;
    Format format = Format::Text;
    QString output;
    bool colour = true;
    bool fullNames = false;
    Paper paper = Paper::A4;
    CsvTexts texts = CsvTexts::Neutralised;
};

SurveyNumber surveyNumber(const QString& text)
{
    bool ok = false;
    text.trimmed().toLongLong(&ok);
    if (!ok)
        throw UsageError(QStringLiteral("\"%1\" is not a survey number").arg(text));
    try {
        return ParseSurveyNumber(text.trimmed());
    } catch (const QueltError& e) {
        throw UsageError(e.message());
    }
}

// A survey counts once, however often it is named.
QList<SurveyNumber> surveyList(const QString& text)
{
    QList<SurveyNumber> surveys;
    QSet<SurveyNumber> named;
    for (const QString& part : text.split(u',')) {
        const SurveyNumber n = surveyNumber(part);
        if (!named.contains(n)) {
            named.insert(n);
            surveys.append(n);
        }
    }
    return surveys;
}

bool drawn(Format format)
{
    return format == Format::Png || format == Format::Pdf || format == Format::Svg;
}

Request parse(const QStringList& args)
{
    const Options options(
        args,
        {QStringLiteral("survey"), QStringLiteral("surveys"), QStringLiteral("compare"),
         QStringLiteral("company"), QStringLiteral("format"), QStringLiteral("output"),
         QStringLiteral("paper")},
        {QStringLiteral("all"), QStringLiteral("trend"), QStringLiteral("no-color"),
         QStringLiteral("raw"), QStringLiteral("full-names")});
    Request r;
    r.file = options.expect(1, QStringLiteral("one LOCATION")).first();
    int choices = 0;
    for (const char* choice : {"survey", "surveys", "all", "compare", "company"})
        choices += int(options.has(QString::fromLatin1(choice)));
    if (choices != 1)
        throw UsageError(QStringLiteral("give one of --survey N, --surveys N,M,..., --all, "
                                        "--compare A,B or --company NAME"));
    const bool trend = options.has(QStringLiteral("trend"));
    if (trend && !options.has(QStringLiteral("surveys")) && !options.has(QStringLiteral("all")))
        throw UsageError(QStringLiteral("--trend goes with --surveys or --all"));

    ReportRequest& report = r.report;
    if (options.has(QStringLiteral("survey"))) {
        report.surveys = {surveyNumber(options.value(QStringLiteral("survey")))};
    } else if (options.has(QStringLiteral("surveys"))) {
        report.kind = trend ? ReportKind::Trend : ReportKind::Combined;
        report.surveys = surveyList(options.value(QStringLiteral("surveys")));
    } else if (options.has(QStringLiteral("all"))) {
        report.kind = trend ? ReportKind::Trend : ReportKind::Combined;
        report.all = true;
    } else if (options.has(QStringLiteral("compare"))) {
        report.kind = ReportKind::Comparison;
        report.surveys = surveyList(options.value(QStringLiteral("compare")));
        if (report.surveys.size() != 2)
            throw UsageError(QStringLiteral("--compare takes two different surveys, A,B"));
    } else {
        report.kind = ReportKind::Trend;
        report.company = options.value(QStringLiteral("company"));
    }

    r.output = options.value(QStringLiteral("output"));
    if (options.has(QStringLiteral("format"))) {
        const qsizetype at =
            kFormatNames.indexOf(options.value(QStringLiteral("format")).toLower());
        if (at < 0)
            throw UsageError(QStringLiteral("--format is one of %1").arg(kFormatNames.join(u'|')));
        r.format = Format(at);
    } else {
        // The output's name says what it is meant to hold.
        const qsizetype at = kFormatNames.indexOf(QFileInfo(r.output).suffix().toLower());
        if (at > 0)
            r.format = Format(at);
    }
    if (drawn(r.format) && r.output.isEmpty())
        throw UsageError(
            QStringLiteral("--format %1 needs --output PATH").arg(kFormatNames.at(int(r.format))));
    if (options.has(QStringLiteral("paper"))) {
        const qsizetype at = kPaperNames.indexOf(options.value(QStringLiteral("paper")).toLower());
        if (at < 0)
            throw UsageError(QStringLiteral("--paper is one of %1").arg(kPaperNames.join(u'|')));
        if (r.format != Format::Pdf)
            throw UsageError(QStringLiteral("--paper is for --format pdf"));
        r.paper = Paper(at);
    }
    r.colour = !options.has(QStringLiteral("no-color"));
    r.fullNames = options.has(QStringLiteral("full-names"));
    if (options.has(QStringLiteral("raw"))) {
        if (r.format != Format::Csv)
            throw UsageError(QStringLiteral("--raw is for --format csv"));
        r.texts = CsvTexts::AsStored;
    }
    return r;
}

// A picture's memory grows with the model's area, to gigabytes for a model
// far beyond the supported one: refused before anything is allocated.
void refuseLargePicture(const ResultsGrid& grid, const QString& path)
{
    if (grid.RowCount() <= Schema::kLargestModel && grid.ColCount() <= Schema::kLargestModel)
        return;
    throw QueltError(QStringLiteral("The model of %1 has %2 and %3; pictures are "
                                    "made of models up to %4 x %4 only. The text and csv formats "
                                    "work at any size.")
                         .arg(path, Counted(grid.RowCount(), QStringLiteral("row")),
                              Counted(grid.ColCount(), QStringLiteral("column")))
                         .arg(Schema::kLargestModel));
}

Report compute(const Request& request)
{
    // As long as the results window may take, whatever the file's indexes
    // and statistics make of the reading.
    const EngineAction reading(DBEngine::kWindowLimitMs);
    const Database db = OpenSurveyDatabaseForReading(request.file);
    Report report = ComputeReport(db, request.report);
    if (drawn(request.format))
        refuseLargePicture(report.grid, db.FileName());
    if (request.format == Format::Pdf)
        LoadReportQuestions(db, report);
    return report;
}

// ---------------------------------------------------------------- text

// Colours appear on a terminal that shows them. Whatever turns them off wins
// over whatever brings them on: --no-color, then NO_COLOR, then a dumb
// terminal; only then do CLICOLOR_FORCE or FORCE_COLOR bring them into a
// pipe (for a pager that shows them).
bool colourWanted(bool asked)
{
    if (!asked || !qEnvironmentVariableIsEmpty("NO_COLOR") || qgetenv("TERM") == "dumb")
        return false;
    for (const char* name : {"CLICOLOR_FORCE", "FORCE_COLOR"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty() && value != "0" && value != "false")
            return true;
    }
    return isatty(STDOUT_FILENO);
}

// The columns of the terminal standard output goes to.
int terminalWidth()
{
    struct winsize size = {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariable("COLUMNS").toInt(&ok);
    return ok && columns > 0 ? columns : 80;
}

QString ansiBackground(const QColor& c, const QString& text)
{
    return QStringLiteral("\x1b[30;48;2;%1;%2;%3m%4\x1b[0m")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(text);
}

// `fit` columns at most, or 0 for names in full: the column names are cut
// first, down to their values, then the row names, each with "…".
void writeText(QTextStream& out, const Report& report, bool ansi, int fit)
{
    const ResultsGrid grid = ShownNames(report.grid);
    const int rows = grid.RowCount();
    const int cols = grid.ColCount();
    QList<QStringList> cells(rows);
    QList<int> valueWidths(cols, 0);
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
            cells[row].append(CellLine(report, row, col));
            valueWidths[col] = std::max(valueWidths[col], int(cells[row].last().size()));
        }
    }
    // Columns as the terminal counts them: a wide character takes two.
    int nameWidth = 0;
    for (const QString& name : grid.rowNames)
        nameWidth = std::max(nameWidth, DisplayWidth(name));
    QList<int> headWidths;
    for (const QString& name : grid.colNames)
        headWidths.append(DisplayWidth(name));
    const auto columnsAt = [&](int head) {
        QList<int> widths;
        for (int col = 0; col < cols; ++col)
            widths.append(std::max(valueWidths.at(col), std::min(headWidths.at(col), head)));
        return widths;
    };
    const auto total = [](int names, const QList<int>& widths) {
        int sum = names;
        for (int w : widths)
            sum += 2 + w;
        return sum;
    };
    int longestHead = 0;
    for (int w : headWidths)
        longestHead = std::max(longestHead, w);
    QList<int> widths = columnsAt(longestHead);
    if (fit > 0 && total(nameWidth, widths) > fit) {
        // Row names keep a third of the line while the column names give way.
        const int names = std::min(nameWidth, std::max(8, fit / 3));
        int head = longestHead;
        while (head > 1 && total(names, columnsAt(head)) > fit)
            --head;
        widths = columnsAt(head);
        nameWidth = std::min(nameWidth, std::max(std::min(nameWidth, 4), fit - total(0, widths)));
    }

    const QString title = Visible(report.title);
    out << (fit > 0 ? CutToWidth(title, fit) : title) << "\n\n";
    out << PadRight(QString(), nameWidth);
    for (int col = 0; col < cols; ++col)
        out << "  " << PadLeft(CutToWidth(grid.colNames.at(col), widths.at(col)), widths.at(col));
    out << '\n';
    for (int row = 0; row < rows; ++row) {
        out << PadRight(CutToWidth(grid.rowNames.at(row), nameWidth), nameWidth);
        for (int col = 0; col < cols; ++col) {
            const QString text = PadLeft(cells.at(row).at(col), widths.at(col));
            out << "  " << (ansi ? ansiBackground(CellColour(report, row, col), text) : text);
        }
        out << '\n';
    }
    if (report.kind != ReportKind::Survey)
        out << '\n' << CellExplanation(report) << '\n';
}

} // namespace

bool ReportDraws(const QStringList& args)
{
    try {
        return drawn(parse(args).format);
    } catch (const UsageError&) {
        return false; // the run itself reports it
    }
}

int RunReport(const QStringList& args, QTextStream& out)
{
    const Request request = parse(args);
    RefuseOutputOverDatabase(request.output, request.file);
    const Report report = compute(request);
    const QString creator = QStringLiteral("quelt-db");
    // On standard error, so that the output stays as it is.
    Report named = report;
    named.grid = ShownNames(report.grid);
    if (const QString note = OutsideScoresNote(named); !note.isEmpty())
        QTextStream(stderr) << "quelt-db report: note: " << note << "; run quelt-db check on the "
                            << "file.\n";
    switch (request.format) {
    case Format::Text: {
        const bool ansi = request.output.isEmpty() && colourWanted(request.colour);
        WriteText(request.output, out, [&](QTextStream& s, bool terminal) {
            writeText(s, report, ansi, terminal && !request.fullNames ? terminalWidth() : 0);
        });
        break;
    }
    case Format::Csv:
        WriteText(request.output, out, [&](QTextStream& s, bool terminal) {
            s << ReportCsv(report, request.texts, terminal ? CsvTarget::Terminal : CsvTarget::File);
        });
        break;
    case Format::Png:
        WriteBytes(request.output, ReportPng(report, request.colour));
        break;
    case Format::Pdf:
        WriteBytes(request.output, ReportPdf(report, request.colour, request.paper, creator));
        break;
    case Format::Svg:
        WriteBytes(request.output, ReportSvg(report, request.colour, creator));
        break;
    }
    return 0;
}
