#include "analysis/ReportFiles.h"

#include "analysis/PdfText.h"
#include "analysis/Report.h"
#include "analysis/ResultsDrawing.h"
#include "platform/Convert.h"
#include "platform/QueltError.h"
#include "platform/TerminalText.h"
#include "platform/Toolkit.h"
#include "platform/Twips.h"

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QTextLayout>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cmath>

namespace {

qsizetype cellIndex(const Report& report, int row, int col)
{
    return qsizetype(row) * report.grid.ColCount() + col;
}

// ---------------------------------------------------------------- pictures

QList<LegendEntry> legendOf(const Report& report)
{
    QList<LegendEntry> entries;
    switch (report.kind) {
    case ReportKind::Survey:
        return BandLegend();
    case ReportKind::Combined:
        entries = BandLegend();
        entries.append({QColor(), QStringLiteral("Under each mean: how many of the surveys "
                                                 "answered there / how many answers there are "
                                                 "(2/8: 2 surveys, 8 answers).")});
        return entries;
    case ReportKind::Comparison: {
        // Means of 1 to 0, 0.75, 1, 1.25 and 2: a change in each shade.
        const ResultsCell one{1, 1};
        entries = {
            {ChangeColour(one, ResultsCell{0, 1}), QStringLiteral("decline of 0.50 or more")},
            {ChangeColour(one, ResultsCell{3, 4}), QStringLiteral("decline below 0.50")},
            {ChangeColour(one, one), QStringLiteral("no change")},
            {ChangeColour(one, ResultsCell{5, 4}), QStringLiteral("improvement below 0.50")},
            {ChangeColour(one, ResultsCell{2, 1}), QStringLiteral("improvement of 0.50 or more")},
            {NoAnswersColour(), QStringLiteral("a = no answers in one of the surveys")}};
        entries.append(
            {QColor(), QStringLiteral("Each cell: the mean of survey %1, the mean of survey %2 and "
                                      "the change from the first to the second.")
                           .arg(DecimalText(report.surveys.first().id),
                                DecimalText(report.surveys.last().id))});
        return entries;
    }
    case ReportKind::Trend:
        entries = BandLegend();
        entries.append(
            {QColor(),
             QStringLiteral("Each cell: the mean of the latest survey (%1), filled by its band, "
                            "over a line through the mean of every survey in number order (%2), "
                            "0 at the foot of the cell and 4 at its head.")
                 .arg(DecimalText(report.surveys.last().id), SurveyNumbers(report))});
        return entries;
    }
    return entries;
}

QList<CellFace> facesOf(const Report& report, bool colour)
{
    QList<CellFace> faces;
    const ResultsGrid& grid = report.grid;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            CellFace face;
            if (colour)
                face.fill = CellColour(report, row, col);
            switch (report.kind) {
            case ReportKind::Survey:
                face.lines = {MeanText(grid.Cell(row, col))};
                break;
            case ReportKind::Combined:
                face.lines = {MeanText(grid.Cell(row, col)),
                              QStringLiteral("%1/%2")
                                  .arg(report.surveysAnswered.at(cellIndex(report, row, col)))
                                  .arg(grid.Cell(row, col).count)};
                break;
            case ReportKind::Comparison:
                face.lines = {QStringLiteral("%1: %2").arg(DecimalText(report.surveys.first().id),
                                                           MeanText(report.Before(row, col))),
                              QStringLiteral("%1: %2").arg(DecimalText(report.surveys.last().id),
                                                           MeanText(report.After(row, col))),
                              ChangeText(report.Before(row, col), report.After(row, col))};
                break;
            case ReportKind::Trend:
                face.lines = {MeanText(report.series.last().at(cellIndex(report, row, col)))};
                break;
            }
            faces.append(face);
        }
    }
    return faces;
}

// A drawing made without a window is printed in the design font.
QSize pictureSize(const Report& report, const QPaintDevice& device)
{
    return ReportPictureSize(report, ToolkitFont(), device);
}

void paintReport(QPainter& painter, const Report& report, bool colour, const QSize& size)
{
    PaintReport(painter, report, colour, size, ToolkitFont());
}

void checkPainter(const QPainter& painter)
{
    if (!painter.isActive())
        throw QueltError(QStringLiteral("Nothing could be drawn for the report."));
}

// ---------------------------------------------------------------- document

// Texts larger than this are cut short on paper; a report is not an export.
constexpr qsizetype kLongestOnPaper = 10000;

QString onPaper(const QString& text)
{
    const QString shown = Visible(text);
    if (shown.size() <= kLongestOnPaper)
        return shown;
    qsizetype cut = kLongestOnPaper;
    if (shown.at(cut - 1).isHighSurrogate())
        --cut;
    return shown.left(cut) + QStringLiteral("… (%1 characters in all)").arg(shown.size());
}

QString scoreText(AnswerSum sum, qint64 count)
{
    if (count == 0)
        return QStringLiteral("a");
    if (count == 1)
        return SumText(sum);
    return QStringLiteral("%1 (%2 answers)").arg(MeanText(ResultsCell{sum, count})).arg(count);
}

// One line of text on a page.
struct Placed
{
    int page = 0;
    int font = 0;
    QPointF at; // top-left corner
    QString text;
};

class Document
{
public:
    Document(QPagedPaintDevice& device, const Report& report, bool colour)
        : m_device(device), m_report(report), m_colour(colour)
    {
        const QFont base = ToolkitFont();
        const auto font = [&base](double points, bool bold) {
            QFont f = base;
            f.setPointSizeF(points);
            f.setBold(bold);
            return f;
        };
        m_fonts = {font(9, false), font(9, true), font(13, true), font(7.5, false)};
        for (const QFont& f : m_fonts)
            m_metrics.append(QFontMetricsF(f, &device));
        m_width = device.width();
        m_height = device.height() - 2 * m_metrics.at(kSmall).lineSpacing();
    }

    // Lays out every page, then draws them.
    void Write(QPainter& painter)
    {
        layOutTitleBlock();
        layOutGrid();
        layOutQuestions();
        draw(painter);
    }

    const QSet<char32_t>& Drawn() const { return m_drawn; }

private:
    enum { kBody, kBold, kTitle, kSmall };

    double spacing(int font) const { return m_metrics.at(font).lineSpacing(); }

    void note(const QString& text)
    {
        for (char32_t c : text.toUcs4())
            m_drawn.insert(c);
    }

    // Room for `height` more on this page, or a new one.
    void need(double height)
    {
        if (m_y > 0 && m_y + height > m_height)
            newPage();
    }

    void newPage()
    {
        ++m_page;
        m_y = 0;
    }

    QStringList wrap(const QString& text, int font, double width) const
    {
        const QFontMetricsF& metrics = m_metrics.at(font);
        if (metrics.horizontalAdvance(text) <= width)
            return {text};
        QTextLayout layout(text, m_fonts.at(font), &m_device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        QStringList lines;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
        }
        layout.endLayout();
        return lines;
    }

    void place(int font, double x, double y, const QString& text)
    {
        note(text);
        m_placed.append({m_page, font, QPointF(x, y), text});
    }

    // A paragraph over the whole width.
    void paragraph(int font, const QString& text, double x = 0)
    {
        for (const QString& line : wrap(text, font, m_width - x)) {
            need(spacing(font));
            place(font, x, m_y, line);
            m_y += spacing(font);
        }
    }

    void field(const QString& name, const QString& value)
    {
        const double indent =
            m_metrics.at(kBold).horizontalAdvance(QStringLiteral("Completed by: ")) * 1.3;
        need(spacing(kBody));
        place(kBold, 0, m_y, name + u':');
        paragraph(kBody, value, indent);
    }

    void layOutTitleBlock()
    {
        const Report& r = m_report;
        paragraph(kTitle, Visible(r.title));
        m_y += spacing(kBody) / 2;
        switch (r.kind) {
        case ReportKind::Survey:
            field(QStringLiteral("Survey"), DecimalText(r.surveys.first().id));
            field(QStringLiteral("Company"), Visible(r.surveys.first().header.company));
            field(QStringLiteral("Completed by"), Visible(r.surveys.first().header.completedBy));
            break;
        case ReportKind::Comparison:
            field(QStringLiteral("First"), surveyLine(r.surveys.first()));
            field(QStringLiteral("Second"), surveyLine(r.surveys.last()));
            break;
        case ReportKind::Trend:
            if (!r.company.isEmpty())
                field(QStringLiteral("Company"), Visible(r.company));
            [[fallthrough]];
        case ReportKind::Combined:
            field(QStringLiteral("Surveys"), SurveyNumbers(r));
            if (r.surveys.size() <= 10) {
                for (const SurveyEntry& entry : r.surveys)
                    field(QStringLiteral("Survey %1").arg(entry.id), surveyLine(entry, false));
            }
            break;
        }
        field(QStringLiteral("Report made"), r.made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        field(QStringLiteral("Database"), Visible(r.source));
        m_y += spacing(kBody) / 2;
        paragraph(kBody, CellExplanation(r));
        m_y += spacing(kBody);
    }

    static QString surveyLine(const SurveyEntry& entry, bool numbered = true)
    {
        const QString who =
            QStringLiteral("completed by %1 for %2")
                .arg(Visible(entry.header.completedBy), Visible(entry.header.company));
        return numbered ? QStringLiteral("survey %1, %2").arg(entry.id).arg(who) : who;
    }

    void layOutGrid()
    {
        const QSize size = pictureSize(m_report, m_device);
        // A grid squeezed under a long title block goes to a page of its own.
        if (m_y > m_height * 0.6)
            newPage();
        const double room = m_height - m_y;
        const double scale = std::min({1.0, m_width / size.width(), room / size.height()});
        m_gridPage = m_page;
        m_grid = QRectF(0, m_y, size.width() * scale, size.height() * scale);
        m_gridSize = size;
        m_y += m_grid.height() + spacing(kBody);
        const ResultsGrid shown = ShownNames(m_report.grid);
        for (const QString& name : shown.rowNames + shown.colNames)
            note(name);
        for (const LegendEntry& entry : legendOf(m_report))
            note(entry.text);
        for (const CellFace& face : facesOf(m_report, false))
            for (const QString& line : face.lines)
                note(line);
    }

    QString scoresOf(const QList<QuestionScore>& entries) const
    {
        if (m_report.kind == ReportKind::Comparison) {
            QStringList sides;
            for (const SurveyEntry& survey : {m_report.surveys.first(), m_report.surveys.last()}) {
                const auto it =
                    std::find_if(entries.begin(), entries.end(),
                                 [&](const QuestionScore& s) { return s.survey == survey.id; });
                sides.append(it == entries.end() ? QStringLiteral("a")
                                                 : scoreText(it->sum, it->count));
            }
            return sides.join(QStringLiteral(" → "));
        }
        AnswerSum sum = 0;
        qint64 count = 0;
        for (const QuestionScore& s : entries) {
            sum += s.sum;
            count += s.count;
        }
        return scoreText(sum, count);
    }

    void layOutQuestions()
    {
        if (!m_report.questions || m_report.questions->isEmpty())
            return;
        newPage();
        paragraph(kTitle, QStringLiteral("The questions of each cell"));
        QString header = QStringLiteral("Score");
        if (m_report.kind == ReportKind::Comparison)
            header = QStringLiteral("Survey %1 → %2")
                         .arg(m_report.surveys.first().id)
                         .arg(m_report.surveys.last().id);
        else if (m_report.CoversSeveral())
            header = QStringLiteral("Mean of the surveys");
        paragraph(kBody, QStringLiteral("Each question with its number and its score (%1); a: no "
                                        "answers.")
                             .arg(header.toLower()));
        m_y += spacing(kBody) / 2;

        const ResultsGrid& grid = m_report.grid;
        const ResultsGrid shown = ShownNames(grid);
        QHash<qint64, int> rowAt;
        QHash<qint64, int> colAt;
        for (int i = 0; i < grid.RowCount(); ++i)
            rowAt.insert(grid.rowNumbers.at(i), i);
        for (int j = 0; j < grid.ColCount(); ++j)
            colAt.insert(grid.colNumbers.at(j), j);

        // The questions of each grid cell, in the order read (cell, number).
        QList<QList<QList<QuestionScore>>> byCell(qsizetype(grid.RowCount()) * grid.ColCount());
        for (const QuestionScore& score : *m_report.questions) {
            if (!rowAt.contains(score.rowNumber) || !colAt.contains(score.colNumber))
                continue;
            auto& cell = byCell[qsizetype(rowAt.value(score.rowNumber)) * grid.ColCount() +
                                colAt.value(score.colNumber)];
            if (cell.isEmpty() || cell.last().first().id != score.id)
                cell.append({score});
            else
                cell.last().append(score);
        }

        const double labelWidth = m_width * 0.14;
        const double scoreWidth = m_width * 0.2;
        const double textX = labelWidth + m_width * 0.02;
        const double textWidth = m_width - textX - scoreWidth - m_width * 0.02;
        const double line = spacing(kBody);
        for (int row = 0; row < grid.RowCount(); ++row) {
            for (int col = 0; col < grid.ColCount(); ++col) {
                const auto& questions = byCell.at(qsizetype(row) * grid.ColCount() + col);
                if (questions.isEmpty())
                    continue;
                need(2 * spacing(kBold) + line);
                m_y += spacing(kBold) / 2;
                paragraph(kBold, QStringLiteral("%1 / %2: %3")
                                     .arg(shown.rowNames.at(row), shown.colNames.at(col),
                                          CellLine(m_report, row, col)));
                for (const QList<QuestionScore>& entries : questions) {
                    const QuestionScore& q = entries.first();
                    const QStringList text = wrap(onPaper(q.text), kBody, textWidth);
                    const QString label = m_metrics.at(kBody).elidedText(
                        onPaper(q.label.isEmpty() ? DecimalText(q.id) : q.label), Qt::ElideRight,
                        labelWidth);
                    const QString score = scoresOf(entries);
                    need(line);
                    place(kBody, 0, m_y, label);
                    place(kBody, m_width - m_metrics.at(kBody).horizontalAdvance(score), m_y,
                          score);
                    for (const QString& part : text) {
                        need(line);
                        place(kBody, textX, m_y, part);
                        m_y += line;
                    }
                    if (text.isEmpty())
                        m_y += line;
                }
            }
        }
    }

    void draw(QPainter& painter)
    {
        const int pages = m_page + 1;
        const QString title = Visible(m_report.title);
        qsizetype next = 0;
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                m_device.newPage();
            if (page == m_gridPage) {
                painter.save();
                painter.translate(m_grid.topLeft());
                const double scale = m_grid.width() / m_gridSize.width();
                painter.scale(scale, scale);
                paintReport(painter, m_report, m_colour, m_gridSize);
                painter.restore();
            }
            for (; next < m_placed.size() && m_placed.at(next).page == page; ++next) {
                const Placed& p = m_placed.at(next);
                painter.setFont(m_fonts.at(p.font));
                painter.drawText(QPointF(p.at.x(), p.at.y() + m_metrics.at(p.font).ascent()),
                                 p.text);
            }
            const QFontMetricsF& small = m_metrics.at(kSmall);
            const double foot = m_device.height() - small.height() + small.ascent();
            const QString number = QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages);
            painter.setFont(m_fonts.at(kSmall));
            painter.drawText(QPointF(0, foot),
                             small.elidedText(title, Qt::ElideRight, m_width * 0.7));
            painter.drawText(QPointF(m_width - small.horizontalAdvance(number), foot), number);
            note(number);
        }
        note(title);
    }

    QPagedPaintDevice& m_device;
    const Report& m_report;
    bool m_colour;
    QList<QFont> m_fonts;
    QList<QFontMetricsF> m_metrics;
    double m_width = 0;
    double m_height = 0;
    double m_y = 0;
    int m_page = 0;
    int m_gridPage = 0;
    QRectF m_grid;
    QSize m_gridSize;
    QList<Placed> m_placed;
    QSet<char32_t> m_drawn;
};

QString authorOf(const Report& report)
{
    QStringList names;
    for (const SurveyEntry& entry : report.surveys)
        if (!entry.header.completedBy.isEmpty() && !names.contains(entry.header.completedBy))
            names.append(entry.header.completedBy);
    return Visible(names.join(QStringLiteral("; ")));
}

QString subjectOf(const Report& report)
{
    const SurveyEntry& first = report.surveys.first();
    switch (report.kind) {
    case ReportKind::Survey:
        return Visible(
            QStringLiteral("Results of survey %1 for %2").arg(first.id).arg(first.header.company));
    case ReportKind::Combined:
        return QStringLiteral("Results of surveys %1 together").arg(SurveyNumbers(report));
    case ReportKind::Comparison:
        return QStringLiteral("Survey %1 compared with survey %2")
            .arg(first.id)
            .arg(report.surveys.last().id);
    case ReportKind::Trend:
        return Visible(report.company.isEmpty()
                           ? QStringLiteral("Trend over surveys %1").arg(SurveyNumbers(report))
                           : QStringLiteral("Trend of %1 over surveys %2")
                                 .arg(report.company, SurveyNumbers(report)));
    }
    return {};
}

// The document's description for readers of PDF metadata, written by an XML
// writer so that no stored text can end up as markup.
QByteArray xmpMetadata(const Report& report, const QString& creator)
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
    alternative(QStringLiteral("dc:description"),
                subjectOf(report) + u'\n' + NamesInFull(ShownNames(report.grid)));
    xml.writeStartElement(QStringLiteral("dc:creator"));
    xml.writeStartElement(QStringLiteral("rdf:Seq"));
    xml.writeTextElement(QStringLiteral("rdf:li"), authorOf(report));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("xmp:CreatorTool"), creator);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeProcessingInstruction(QStringLiteral("xpacket"), QStringLiteral("end=\"w\""));
    return xmp;
}

} // namespace

// ---------------------------------------------------------------- files

ResultsGrid ShownNames(const ResultsGrid& grid)
{
    ResultsGrid shown = grid;
    for (QString& name : shown.rowNames)
        name = Visible(name);
    for (QString& name : shown.colNames)
        name = Visible(name);
    return shown;
}

QString ReportCsv(const Report& report, CsvTexts texts, CsvTarget target)
{
    const ResultsGrid& grid = report.grid;
    QStringList header = {QStringLiteral("row_number"), QStringLiteral("row_name"),
                          QStringLiteral("col_number"), QStringLiteral("col_name")};
    switch (report.kind) {
    case ReportKind::Combined:
        header << QStringLiteral("surveys");
        [[fallthrough]];
    case ReportKind::Survey:
        header << QStringLiteral("count") << QStringLiteral("sum") << QStringLiteral("mean");
        break;
    case ReportKind::Comparison:
        for (const SurveyEntry& entry : report.surveys)
            header << QStringLiteral("count_%1").arg(entry.id)
                   << QStringLiteral("sum_%1").arg(entry.id)
                   << QStringLiteral("mean_%1").arg(entry.id);
        header << QStringLiteral("change");
        break;
    case ReportKind::Trend:
        for (const SurveyEntry& entry : report.surveys)
            header << QStringLiteral("mean_%1").arg(entry.id);
        break;
    }
    const auto mean = [](const ResultsCell& cell) {
        return cell.HasAnswers() ? MeanText(cell) : QString();
    };
    QString out = CsvRecord(header, texts, target);
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const qsizetype at = cellIndex(report, row, col);
            QStringList fields = {DecimalText(grid.rowNumbers.at(row)), grid.rowNames.at(row),
                                  DecimalText(grid.colNumbers.at(col)), grid.colNames.at(col)};
            switch (report.kind) {
            case ReportKind::Combined:
                fields << DecimalText(report.surveysAnswered.at(at));
                [[fallthrough]];
            case ReportKind::Survey: {
                const ResultsCell& cell = grid.Cell(row, col);
                fields << DecimalText(cell.count) << SumText(cell.sum) << mean(cell);
                break;
            }
            case ReportKind::Comparison: {
                for (const QList<ResultsCell>& cells : report.series)
                    fields << DecimalText(cells.at(at).count) << SumText(cells.at(at).sum)
                           << mean(cells.at(at));
                const QString change = ChangeText(report.Before(row, col), report.After(row, col));
                fields << (change == QLatin1String("a") ? QString() : change);
                break;
            }
            case ReportKind::Trend:
                for (const QList<ResultsCell>& cells : report.series)
                    fields << mean(cells.at(at));
                break;
            }
            out += CsvRecord(fields, texts, target);
        }
    }
    return out;
}

QImage ReportImage(const Report& report, bool colour)
{
    // The window's picture: white, at the screen's dots per inch.
    constexpr double kMetresPerInch = 0.0254;
    QImage image(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(TwipsToPxX(1440) / kMetresPerInch));
    image.setDotsPerMeterY(qRound(TwipsToPxY(1440) / kMetresPerInch));
    const QSize size = pictureSize(report, image);
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
    paintReport(painter, report, colour, size);
    painter.end();
    return image;
}

QByteArray ReportPng(const Report& report, bool colour)
{
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!ReportImage(report, colour).save(&png, "PNG"))
        throw QueltError(QStringLiteral("The picture could not be stored as PNG."));
    return png.data();
}

QByteArray ReportSvg(const Report& report, bool colour, const QString& creator)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(TwipsToPxX(1440));
    // The generator writes both as they are given: as markup.
    svg.setTitle(Visible(report.title).toHtmlEscaped());
    svg.setDescription(
        (subjectOf(report) + u'\n' + NamesInFull(ShownNames(report.grid)) + u'\n' + creator)
            .toHtmlEscaped());
    const QSize size = pictureSize(report, svg);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    QPainter painter(&svg);
    checkPainter(painter);
    paintReport(painter, report, colour, size);
    painter.end();
    // The toolkit's name for its default face means nothing to a browser:
    // name the face it stands for, then any sans-serif one.
    const QByteArray named = "font-family=\"" + ToolkitFont().family().toUtf8() + '"';
    const QByteArray face =
        "font-family=\"" + QFontInfo(ToolkitFont()).family().toUtf8() + ", sans-serif\"";
    QByteArray text = buffer.data();
    text.replace(named, face);
    return text;
}

QSize ReportPictureSize(const Report& report, const QFont& font, const QPaintDevice& device)
{
    return GridSizePx(ShownNames(report.grid), font, device, legendOf(report));
}

// As the results window paints its picture: fills and values, then names and
// lines on top, then the key.
void PaintReport(QPainter& painter, const Report& report, bool colour, const QSize& size,
                 const QFont& font)
{
    const ResultsGrid grid = ShownNames(report.grid);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setFont(font);
    if (report.kind == ReportKind::Survey)
        DrawResults(painter, grid, colour);
    else
        DrawCells(painter, grid, facesOf(report, colour));
    if (report.kind == ReportKind::Trend)
        DrawTrends(painter, grid, report.series);
    DrawGrid(painter, grid);
    DrawLegend(painter, grid, legendOf(report));
}

void PrintReport(QPagedPaintDevice& device, const Report& report, bool colour)
{
    QPainter painter(&device);
    checkPainter(painter);
    Document document(device, report, colour);
    document.Write(painter);
}

QByteArray ReportPdf(const Report& report, bool colour, Paper paper, const QString& creator)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QSet<char32_t> drawn;
    {
        QPdfWriter writer(&pdf);
        writer.setCreator(creator);
        writer.setTitle(Visible(report.title));
        writer.setDocumentXmpMetadata(xmpMetadata(report, creator));
        writer.setPageSize(QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
        QPainter painter(&writer);
        checkPainter(painter);
        Document document(writer, report, colour);
        document.Write(painter);
        drawn = document.Drawn();
        painter.end();
    }
    return FinishPdf(pdf.data(), {authorOf(report), subjectOf(report)}, drawn);
}

QString ReportTabText(const Report& report)
{
    const ResultsGrid grid = ShownNames(report.grid);
    QString text = Visible(report.title) + u'\n';
    QStringList header = {QString()};
    header += grid.colNames;
    text += header.join(u'\t') + u'\n';
    for (int row = 0; row < grid.RowCount(); ++row) {
        QStringList line = {grid.rowNames.at(row)};
        for (int col = 0; col < grid.ColCount(); ++col)
            line.append(CellLine(report, row, col));
        text += line.join(u'\t') + u'\n';
    }
    return text;
}
