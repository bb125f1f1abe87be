#include "Command.h"
#include "Csv.h"
#include "Output.h"
#include "Text.h"

#include "analysis/Results.h"
#include "analysis/ResultsDrawing.h"
#include "data/Answers.h"
#include "data/Schema.h"
#include "data/SurveyFile.h"
#include "data/Surveys.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"
#include "platform/Toolkit.h"
#include "platform/Twips.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>
#include <QSvgGenerator>
#include <QXmlStreamWriter>
#include <algorithm>
#include <unistd.h>

namespace {

enum class Format { Text, Csv, Png, Pdf, Svg };

const QStringList kFormatNames = {QStringLiteral("text"), QStringLiteral("csv"),
                                  QStringLiteral("png"), QStringLiteral("pdf"),
                                  QStringLiteral("svg")};

struct Request
{
    QString file;
    QList<SurveyNumber> surveys; // as asked for, without repeats; empty with --all
    bool all = false;
    // Several surveys, or the form made for them: the report says how many
    // surveys stand behind each cell.
    bool combined = false;
    Format format = Format::Text;
    QString output;
    bool colour = true;
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

Request parse(const QStringList& args)
{
    const Options options(
        args,
        {QStringLiteral("survey"), QStringLiteral("surveys"), QStringLiteral("format"),
         QStringLiteral("output")},
        {QStringLiteral("all"), QStringLiteral("no-color"), QStringLiteral("raw")});
    Request r;
    r.file = options.expect(1, QStringLiteral("one LOCATION")).first();
    const int choices = int(options.has(QStringLiteral("survey"))) +
                        int(options.has(QStringLiteral("surveys"))) +
                        int(options.has(QStringLiteral("all")));
    if (choices != 1)
        throw UsageError(QStringLiteral("give one of --survey N, --surveys N,M,... or --all"));

    if (options.has(QStringLiteral("survey"))) {
        r.surveys = {surveyNumber(options.value(QStringLiteral("survey")))};
    } else if (options.has(QStringLiteral("surveys"))) {
        for (const QString& part : options.value(QStringLiteral("surveys")).split(u',')) {
            const SurveyNumber n = surveyNumber(part);
            if (!r.surveys.contains(n)) // a survey counts once, however often it is named
                r.surveys.append(n);
        }
    }
    r.all = options.has(QStringLiteral("all"));
    r.combined = !options.has(QStringLiteral("survey"));

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
    const bool drawn =
        r.format == Format::Png || r.format == Format::Pdf || r.format == Format::Svg;
    if (drawn && r.output.isEmpty())
        throw UsageError(
            QStringLiteral("--format %1 needs --output PATH").arg(kFormatNames.at(int(r.format))));
    r.colour = !options.has(QStringLiteral("no-color"));
    if (options.has(QStringLiteral("raw"))) {
        if (r.format != Format::Csv)
            throw UsageError(QStringLiteral("--raw is for --format csv"));
        r.texts = CsvTexts::AsStored;
    }
    return r;
}

struct Report
{
    ResultsGrid grid;
    bool combined = false;
    QList<qint64> surveysAnswered; // per cell, combined reports only
    QString title;
};

// The stored survey numbers, each once, in the order the engine gives them.
// Only those reported on need to be within the program's numbers.
QList<qint64> storedSurveys(const Database& db)
{
    QList<qint64> ids;
    // A set beside the list: a file holds up to 32,767 surveys.
    QSet<qint64> seen;
    for (const QString& text : ReadSurveyNumbers(db)) {
        const qint64 n = CInt64(text, QStringLiteral("A survey number"));
        if (!seen.contains(n)) {
            seen.insert(n);
            ids.append(n);
        }
    }
    return ids;
}

// What a user can ask for instead of a survey that is not there.
QString storedRange(const QList<qint64>& stored)
{
    if (stored.isEmpty())
        return QStringLiteral("it holds no surveys yet");
    const auto [lowest, highest] = std::minmax_element(stored.begin(), stored.end());
    if (stored.size() == 1)
        return QStringLiteral("its one survey is numbered %1").arg(*lowest);
    return QStringLiteral("its %1 surveys are numbered from %2 to %3")
        .arg(stored.size())
        .arg(*lowest)
        .arg(*highest);
}

QString surveyTitle(const Database& db, SurveyNumber id)
{
    QString title = QStringLiteral("Survey %1").arg(id);
    if (const std::optional<SurveyHeader> header = ReadSurveyHeader(db, id))
        title += QStringLiteral(": %1, %2").arg(header->completedBy, header->company);
    return title;
}

QString listTitle(const QList<SurveyNumber>& ids)
{
    QStringList numbers;
    for (SurveyNumber id : ids)
        numbers.append(DecimalText(id));
    constexpr qsizetype kListed = 12;
    if (ids.size() == 1)
        return QStringLiteral("Survey %1").arg(numbers.first());
    if (ids.size() <= kListed)
        return QStringLiteral("%1 surveys: %2")
            .arg(ids.size())
            .arg(numbers.join(QStringLiteral(", ")));
    return QStringLiteral("%1 surveys: %2, ... %3")
        .arg(ids.size())
        .arg(numbers.mid(0, kListed - 1).join(QStringLiteral(", ")), numbers.last());
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
    const QString path = db.FileName();
    const QList<qint64> stored = storedSurveys(db);
    QList<SurveyNumber> ids = request.surveys;
    if (request.all) {
        if (stored.isEmpty())
            throw QueltError(QStringLiteral("There are no surveys in %1.").arg(path));
        ids.clear();
        for (qint64 id : stored)
            ids.append(ParseSurveyNumber(DecimalText(id)));
        std::sort(ids.begin(), ids.end());
    }
    QStringList missing;
    const QSet<qint64> known(stored.begin(), stored.end());
    for (SurveyNumber id : ids)
        if (!known.contains(id))
            missing.append(DecimalText(id));
    if (!missing.isEmpty())
        throw QueltError(QStringLiteral("%1 has no survey numbered %2; %3.")
                             .arg(path, missing.join(QStringLiteral(", ")), storedRange(stored)));

    Report report;
    report.combined = request.combined;
    report.grid = LoadModelGrid(db);
    if (request.format == Format::Png || request.format == Format::Pdf ||
        request.format == Format::Svg)
        refuseLargePicture(report.grid, path);
    if (!request.combined) {
        report.title = surveyTitle(db, ids.first());
        ComputeResults(db, ids.first(), report.grid);
        return report;
    }

    report.title = listTitle(ids);
    const QList<CellTotals> totals =
        ReadCombinedTotals(db, request.all ? QList<SurveyNumber>() : ids, report.grid.rowNumbers,
                           report.grid.colNumbers);
    for (const CellTotals& cell : totals) {
        report.grid.cells.append({cell.sum, cell.count, cell.outside});
        report.surveysAnswered.append(cell.surveys);
    }
    return report;
}

// What stands behind a combined cell's mean: surveys that answered / answers.
QString cellNote(const Report& report, int row, int col)
{
    const qsizetype at = qsizetype(row) * report.grid.ColCount() + col;
    return QStringLiteral("%1/%2")
        .arg(report.surveysAnswered.at(at))
        .arg(report.grid.cells.at(at).count);
}

// ---------------------------------------------------------------- text

// Band colours on a terminal that shows them, unless the user says otherwise:
// NO_COLOR turns them off, CLICOLOR_FORCE or FORCE_COLOR turns them on even
// into a pipe (for a pager that shows them), and a dumb terminal gets none.
bool colourWanted()
{
    if (!qEnvironmentVariableIsEmpty("NO_COLOR"))
        return false;
    for (const char* name : {"CLICOLOR_FORCE", "FORCE_COLOR"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty() && value != "0" && value != "false")
            return true;
    }
    if (qgetenv("TERM") == "dumb")
        return false;
    return isatty(STDOUT_FILENO);
}

QString ansiBackground(const QColor& c, const QString& text)
{
    return QStringLiteral("\x1b[30;48;2;%1;%2;%3m%4\x1b[0m")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(text);
}

// The names with their control characters written visibly, as a terminal or
// a picture shows them.
ResultsGrid shownNames(const ResultsGrid& grid)
{
    ResultsGrid shown = grid;
    for (QString& name : shown.rowNames)
        name = Visible(name);
    for (QString& name : shown.colNames)
        name = Visible(name);
    return shown;
}

void writeText(QTextStream& out, const Report& report, bool ansi)
{
    const ResultsGrid grid = shownNames(report.grid);
    auto cellText = [&](int row, int col) {
        QString text = MeanText(grid.Cell(row, col));
        if (report.combined)
            text += QStringLiteral(" (%1)").arg(cellNote(report, row, col));
        return text;
    };
    // Columns as the terminal counts them: a wide character takes two.
    int nameWidth = 0;
    for (const QString& name : grid.rowNames)
        nameWidth = std::max(nameWidth, DisplayWidth(name));
    QList<int> widths;
    for (int col = 0; col < grid.ColCount(); ++col) {
        int w = DisplayWidth(grid.colNames.at(col));
        for (int row = 0; row < grid.RowCount(); ++row)
            w = std::max(w, int(cellText(row, col).size()));
        widths.append(w);
    }

    out << Visible(report.title) << "\n\n";
    out << PadRight(QString(), nameWidth);
    for (int col = 0; col < grid.ColCount(); ++col)
        out << "  " << PadLeft(grid.colNames.at(col), widths.at(col));
    out << '\n';
    for (int row = 0; row < grid.RowCount(); ++row) {
        out << PadRight(grid.rowNames.at(row), nameWidth);
        for (int col = 0; col < grid.ColCount(); ++col) {
            const QString text = PadLeft(cellText(row, col), widths.at(col));
            out << "  " << (ansi ? ansiBackground(BandColour(grid.Cell(row, col)), text) : text);
        }
        out << '\n';
    }
    if (report.combined)
        out << "\nEach cell: the mean of all its answers (a: none), then (surveys that answered"
               "/answers).\n";
}

// ---------------------------------------------------------------- csv

void writeCsv(QTextStream& out, const Report& report, CsvTexts texts, CsvTarget target)
{
    const ResultsGrid& grid = report.grid;
    QStringList header = {QStringLiteral("row_number"), QStringLiteral("row_name"),
                          QStringLiteral("col_number"), QStringLiteral("col_name")};
    if (report.combined)
        header << QStringLiteral("surveys");
    header << QStringLiteral("count") << QStringLiteral("sum") << QStringLiteral("mean");
    out << CsvRecord(header, texts, target);
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const ResultsCell& cell = grid.Cell(row, col);
            QStringList fields = {DecimalText(grid.rowNumbers.at(row)), grid.rowNames.at(row),
                                  DecimalText(grid.colNumbers.at(col)), grid.colNames.at(col)};
            if (report.combined)
                fields << DecimalText(
                    report.surveysAnswered.at(qsizetype(row) * grid.ColCount() + col));
            fields << DecimalText(cell.count) << SumText(cell.sum)
                   << (cell.HasAnswers() ? MeanText(cell) : QString());
            out << CsvRecord(fields, texts, target);
        }
    }
}

// ---------------------------------------------------------------- pictures

// As the results window paints its picture: fills and values, then names and
// lines on top.
void paint(QPainter& painter, const Report& report, bool colour, const QSize& size)
{
    const ResultsGrid grid = shownNames(report.grid);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setFont(ToolkitFont());
    DrawResults(painter, grid, colour);
    if (report.combined) {
        QStringList notes;
        for (int row = 0; row < grid.RowCount(); ++row)
            for (int col = 0; col < grid.ColCount(); ++col)
                notes.append(cellNote(report, row, col));
        DrawCellNotes(painter, grid, notes);
    }
    DrawGrid(painter, grid);
    DrawLegend(painter, grid);
}

// Every name in full, one a line: a picture may show a long one cut short.
QString namesInFull(const ResultsGrid& grid)
{
    return NamesInFull(shownNames(grid));
}

// The document's description for readers of PDF metadata, written by an XML
// writer so that no stored text can end up as markup.
QByteArray xmpMetadata(const Report& report)
{
    QByteArray xmp;
    QXmlStreamWriter xml(&xmp);
    xml.writeProcessingInstruction(
        QStringLiteral("xpacket"),
        QStringLiteral("begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\""));
    xml.writeStartElement(QStringLiteral("x:xmpmeta"));
    xml.writeAttribute(QStringLiteral("xmlns:x"), QStringLiteral("adobe:ns:meta/"));
    xml.writeStartElement(QStringLiteral("rdf:RDF"));
    xml.writeAttribute(QStringLiteral("xmlns:rdf"),
                       QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#"));
    xml.writeStartElement(QStringLiteral("rdf:Description"));
    xml.writeAttribute(QStringLiteral("rdf:about"), QString());
    xml.writeAttribute(QStringLiteral("xmlns:dc"),
                       QStringLiteral("http://purl.org/dc/elements/1.1/"));
    xml.writeAttribute(QStringLiteral("xmlns:xmp"), QStringLiteral("http://ns.adobe.com/xap/1.0/"));
    const auto alternative = [&](const QString& element, const QString& text) {
        xml.writeStartElement(element);
        xml.writeStartElement(QStringLiteral("rdf:Alt"));
        xml.writeStartElement(QStringLiteral("rdf:li"));
        xml.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("x-default"));
        xml.writeCharacters(text);
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndElement();
    };
    alternative(QStringLiteral("dc:title"), Visible(report.title));
    alternative(QStringLiteral("dc:description"), namesInFull(report.grid));
    xml.writeTextElement(QStringLiteral("xmp:CreatorTool"), QStringLiteral("quelt-db"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeProcessingInstruction(QStringLiteral("xpacket"), QStringLiteral("end=\"w\""));
    return xmp;
}

void checkPainter(const QPainter& painter, const QString& output)
{
    if (!painter.isActive())
        throw QueltError(QStringLiteral("Nothing could be drawn for %1.")
                             .arg(QFileInfo(output).absoluteFilePath()));
}

void writePng(const Report& report, const Request& request)
{
    // The window's picture: white, at the screen's dots per inch.
    constexpr double kMetresPerInch = 0.0254;
    QImage image(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(TwipsToPxX(1440) / kMetresPerInch));
    image.setDotsPerMeterY(qRound(TwipsToPxY(1440) / kMetresPerInch));
    const QSize size = GridSizePx(report.grid, ToolkitFont(), image);
    const int dpmX = image.dotsPerMeterX();
    const int dpmY = image.dotsPerMeterY();
    image = QImage(size, QImage::Format_RGB32);
    if (image.isNull())
        throw QueltError(QStringLiteral("The picture of %1 x %2 pixels is too large to be made.")
                             .arg(size.width())
                             .arg(size.height()));
    image.setDotsPerMeterX(dpmX);
    image.setDotsPerMeterY(dpmY);
    QPainter painter(&image);
    paint(painter, report, request.colour, size);
    painter.end();
    // Made whole in memory: only the output's own writes can fail, and they
    // say why.
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!image.save(&png, "PNG"))
        throw QueltError(QStringLiteral("The picture could not be stored as PNG in %1.")
                             .arg(QFileInfo(request.output).absoluteFilePath()));
    WriteBytes(request.output, png.data());
}

void writePdf(const Report& report, const Request& request)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setCreator(QStringLiteral("quelt-db"));
        writer.setTitle(Visible(report.title));
        writer.setDocumentXmpMetadata(xmpMetadata(report));
        const QSize size = GridSizePx(report.grid, ToolkitFont(), writer);
        const double dpi = writer.resolution();
        // One page the size of the picture, as the window shows it.
        writer.setPageSize(QPageSize(QSizeF(size.width() / dpi, size.height() / dpi),
                                     QPageSize::Inch, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        checkPainter(painter, request.output);
        paint(painter, report, request.colour, size);
        painter.end();
    }
    WriteBytes(request.output, pdf.data());
}

void writeSvg(const Report& report, const Request& request)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(TwipsToPxX(1440));
    // The generator writes both as they are given: as markup.
    svg.setTitle(XmlEscaped(Visible(report.title)));
    svg.setDescription(XmlEscaped(namesInFull(report.grid)));
    const QSize size = GridSizePx(report.grid, ToolkitFont(), svg);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    QPainter painter(&svg);
    checkPainter(painter, request.output);
    paint(painter, report, request.colour, size);
    painter.end();
    // The toolkit's name for its default face means nothing to a browser:
    // name the face it stands for, then any sans-serif one.
    const QByteArray named = "font-family=\"" + ToolkitFont().family().toUtf8() + '"';
    const QByteArray face =
        "font-family=\"" + QFontInfo(ToolkitFont()).family().toUtf8() + ", sans-serif\"";
    QByteArray text = buffer.data();
    text.replace(named, face);
    WriteBytes(request.output, text);
}

} // namespace

bool ReportDraws(const QStringList& args)
{
    try {
        const Format format = parse(args).format;
        return format == Format::Png || format == Format::Pdf || format == Format::Svg;
    } catch (const UsageError&) {
        return false; // the run itself reports it
    }
}

int RunReport(const QStringList& args, QTextStream& out)
{
    const Request request = parse(args);
    RefuseOutputOverDatabase(request.output, request.file);
    const Report report = compute(request);
    if (const QString note = OutsideScoresNote(shownNames(report.grid)); !note.isEmpty())
        QTextStream(stderr) << "quelt-db report: note: " << note << "; run quelt-db check on the "
                            << "file.\n";
    switch (request.format) {
    case Format::Text: {
        const bool ansi = request.colour && request.output.isEmpty() && colourWanted();
        WriteText(request.output, out, [&](QTextStream& s, bool) { writeText(s, report, ansi); });
        break;
    }
    case Format::Csv:
        WriteText(request.output, out, [&](QTextStream& s, bool terminal) {
            writeCsv(s, report, request.texts, terminal ? CsvTarget::Terminal : CsvTarget::File);
        });
        break;
    case Format::Png:
        writePng(report, request);
        break;
    case Format::Pdf:
        writePdf(report, request);
        break;
    case Format::Svg:
        writeSvg(report, request);
        break;
    }
    return 0;
}
