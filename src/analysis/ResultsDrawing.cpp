#include "analysis/ResultsDrawing.h"

#include "analysis/Results.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kGridStart = 1500; // first line of cells, both ways
constexpr int kCell = 1000;
constexpr int kNameBand = 500; // where the names and the lines begin
constexpr int kInset = 100;    // text from the line before it

// Twips to whole device pixels. Every element snaps through the same rounding,
// so fills meet the lines drawn over them exactly.
class TwipScale
{
public:
    explicit TwipScale(const QPaintDevice& device)
        : m_x(device.logicalDpiX() / double(kTwipsPerInch)),
          m_y(device.logicalDpiY() / double(kTwipsPerInch))
    {
    }
    int X(qint64 twips) const { return int(std::lround(double(twips) * m_x)); }
    int Y(qint64 twips) const { return int(std::lround(double(twips) * m_y)); }
    QPoint At(qint64 x, qint64 y) const { return QPoint(X(x), Y(y)); }
    double ToTwipsX(double px) const { return px / m_x; }
    double ToTwipsY(double px) const { return px / m_y; }

private:
    double m_x;
    double m_y;
};

qint64 lineAt(int index)
{
    return kGridStart + qint64(kCell) * index;
}

// Draws on the painter in device pixels, leaving out what falls wholly outside
// the painter's clip: a repaint of the shown part of a large grid then lays
// out the few texts it shows rather than all of them.
class Canvas
{
public:
    explicit Canvas(QPainter& painter)
        : m_painter(painter), m_scale(*painter.device()),
          m_metrics(painter.font(), painter.device()), m_clipped(painter.hasClipping()),
          m_clip(painter.clipBoundingRect())
    {
    }

    const TwipScale& Scale() const { return m_scale; }

    bool Shows(const QRectF& area) const { return !m_clipped || m_clip.intersects(area); }

    // Text with its top-left corner at a point (moved down `down` pixels),
    // transparent behind it.
    void PrintAt(qint64 x, qint64 y, const QString& text, double down = 0)
    {
        const QPointF corner(m_scale.X(x), m_scale.Y(y) + down);
        if (m_clipped) {
            // Text runs right from its corner, one line high.
            if (corner.y() > m_clip.bottom() || corner.y() + m_metrics.height() < m_clip.top() ||
                corner.x() > m_clip.right())
                return;
            if (corner.x() < m_clip.left() &&
                corner.x() + m_metrics.horizontalAdvance(text) < m_clip.left())
                return;
        }
        m_painter.drawText(QPointF(corner.x(), corner.y() + m_metrics.ascent()), text);
    }

    void Line(const QPoint& from, const QPoint& to)
    {
        if (Shows(QRectF(from, to).normalized().adjusted(-1, -1, 1, 1)))
            m_painter.drawLine(from, to);
    }

    void Fill(const QRect& area, const QColor& colour)
    {
        if (Shows(area))
            m_painter.fillRect(area, colour);
    }

private:
    QPainter& m_painter;
    TwipScale m_scale;
    QFontMetricsF m_metrics;
    bool m_clipped;
    QRectF m_clip;
};

// The legend, in twips like the grid.
constexpr int kLegendGap = 300;    // from the grid's last line
constexpr int kSwatch = 200;       // a band's square
constexpr int kSwatchText = 80;    // from a square to its words
constexpr int kEntryGap = 300;     // between entries on a line
constexpr int kLegendLineGap = 80; // between lines of entries

struct PlacedEntry
{
    LegendEntry entry;
    // Top-left corner, from the legend's top at the grid's left end.
    double x = 0;
    double y = 0;
};

struct Legend
{
    QList<PlacedEntry> entries;
    // Notes, each a list of lines, below the entries.
    QStringList noteLines;
    double noteTop = 0;
    double lineHeight = 0;
    double textLineHeight = 0;
    // From the grid's last line to the legend's end.
    double height = 0;
    // Where its longest line ends; beyond the grid only for a model of
    // hardly any columns.
    double right = 0;
};

// Words laid out over lines no wider than `width` twips; a word wider than a
// line stands on its own.
QStringList wrapWords(const QString& text, const QFontMetricsF& metrics, const TwipScale& scale,
                      double width)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && scale.ToTwipsX(metrics.horizontalAdvance(longer)) > width) {
            lines.append(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// Swatches run on within the grid's width and wrap; notes are wrapped to it
// (but never narrower than a few cells).
Legend layOutLegend(const ResultsGrid& grid, const QList<LegendEntry>& entries,
                    const QFontMetricsF& metrics, const TwipScale& scale)
{
    Legend legend;
    legend.lineHeight = std::max<double>(kSwatch, scale.ToTwipsY(metrics.height()));
    legend.textLineHeight = scale.ToTwipsY(metrics.lineSpacing());
    const double right = double(lineAt(grid.ColCount()));
    double x = kNameBand;
    double y = 0;
    bool any = false;
    QStringList notes;
    for (const LegendEntry& entry : entries) {
        if (!entry.fill.isValid()) {
            notes.append(entry.text);
            continue;
        }
        const double width =
            kSwatch + kSwatchText + scale.ToTwipsX(metrics.horizontalAdvance(entry.text));
        if (x > kNameBand && x + width > right) {
            x = kNameBand;
            y += legend.lineHeight + kLegendLineGap;
        }
        legend.entries.append({entry, x, y});
        legend.right = std::max(legend.right, x + width);
        x += width + kEntryGap;
        any = true;
    }
    double bottom = any ? y + legend.lineHeight : -kLegendLineGap;
    const double noteWidth = std::max(right - kNameBand, 6.0 * kCell);
    legend.noteTop = bottom + kLegendLineGap;
    for (const QString& note : notes) {
        for (const QString& line : wrapWords(note, metrics, scale, noteWidth)) {
            legend.noteLines.append(line);
            legend.right =
                std::max(legend.right, kNameBand + scale.ToTwipsX(metrics.horizontalAdvance(line)));
        }
    }
    bottom = legend.noteTop + legend.noteLines.size() * legend.textLineHeight;
    if (legend.noteLines.isEmpty())
        bottom = any ? y + legend.lineHeight : 0;
    legend.height = kLegendGap + bottom;
    return legend;
}

// A name laid out within its band: as it is when it fits on one line, else
// wrapped over as many lines as the band is high, the last cut short with an
// ellipsis. The band, never the name, decides the room, so a long name can
// neither run over its neighbours nor make the picture grow.
QStringList fitName(const QString& name, const QPainter& painter, const QSizeF& band)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    if (metrics.horizontalAdvance(name) <= band.width())
        return {name};
    const int lines = std::max(1, int(band.height() / metrics.lineSpacing()));
    // No band holds more than this; laying out the rest of a huge name would
    // only cost time.
    constexpr qsizetype kLongest = 2000;
    qsizetype cut = std::min(name.size(), kLongest);
    if (cut < name.size() && name.at(cut - 1).isHighSurrogate())
        --cut;
    const QString text = name.left(cut);
    QTextLayout layout(text, painter.font(), painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList fitted;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(band.width());
        if (fitted.size() == lines - 1) {
            fitted.append(
                metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, band.width()));
            break;
        }
        QString part = text.mid(line.textStart(), line.textLength());
        while (!part.isEmpty() && part.back().isSpace())
            part.chop(1);
        fitted.append(part);
    }
    layout.endLayout();
    return fitted;
}

} // namespace

void DrawGrid(QPainter& painter, const ResultsGrid& grid)
{
    const int rows = grid.RowCount();
    const int cols = grid.ColCount();
    const qint64 right = lineAt(cols);
    const qint64 bottom = lineAt(rows);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    Canvas canvas(painter);
    const TwipScale& scale = canvas.Scale();
    // A row name has the band from its corner to the first column and down to
    // the next row; a column name from its corner to the next column and down
    // to the first row.
    const double lineSpacing = QFontMetricsF(painter.font(), painter.device()).lineSpacing();
    auto printName = [&](qint64 x, qint64 y, qint64 right, qint64 bottom, const QString& name) {
        const QRectF band(QPointF(scale.X(x), scale.Y(y)),
                          QPointF(scale.X(right), scale.Y(bottom)));
        if (!canvas.Shows(band))
            return;
        const QStringList lines = fitName(name, painter, band.size());
        for (qsizetype k = 0; k < lines.size(); ++k)
            canvas.PrintAt(x, y, lines.at(k), k * lineSpacing);
    };
    for (int i = 0; i <= rows; ++i) {
        const qint64 y = lineAt(i);
        if (i < rows)
            printName(kNameBand, y + kInset, kGridStart, y + kCell, grid.rowNames.at(i));
        canvas.Line(scale.At(kNameBand, y), scale.At(right, y));
    }
    for (int j = 0; j <= cols; ++j) {
        const qint64 x = lineAt(j);
        if (j < cols)
            printName(x + kInset, kNameBand, x + kCell, kGridStart, grid.colNames.at(j));
        canvas.Line(scale.At(x, kNameBand), scale.At(x, bottom));
    }
    painter.restore();
}

void DrawResults(QPainter& painter, const ResultsGrid& grid, bool colorCoding)
{
    if (!grid.HasResults())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    Canvas canvas(painter);
    const TwipScale& scale = canvas.Scale();
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const ResultsCell& cell = grid.Cell(row, col);
            const qint64 x = lineAt(col);
            const qint64 y = lineAt(row);
            if (colorCoding) {
                // Both corners inside, as the lines drawn later cover them.
                canvas.Fill(QRect(scale.At(x, y), scale.At(x + kCell, y + kCell)),
                            BandColour(cell));
            }
            canvas.PrintAt(x + kInset, y + kInset, MeanText(cell));
        }
    }
    painter.restore();
}

QList<LegendEntry> BandLegend()
{
    // A mean in each band, so the legend shows the very fills the cells take.
    const auto band = [](qint64 mean) { return BandColour(ResultsCell{mean, 1}); };
    return {{band(0), QStringLiteral("below 1")},
            {band(1), QStringLiteral("1 to 2")},
            {band(3), QStringLiteral("above 2 to 3")},
            {band(4), QStringLiteral("above 3 to 4")},
            {band(5), QStringLiteral("above 4")},
            {NoAnswersColour(), QStringLiteral("a = no answers")}};
}

void DrawLegend(QPainter& painter, const ResultsGrid& grid, const QList<LegendEntry>& entries)
{
    const TwipScale scale(*painter.device());
    const QFontMetricsF metrics(painter.font(), painter.device());
    const Legend legend = layOutLegend(grid, entries, metrics, scale);
    const double top = double(lineAt(grid.RowCount())) + kLegendGap;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    for (const PlacedEntry& placed : legend.entries) {
        const double y = top + placed.y;
        const qint64 swatchTop = qint64(y + (legend.lineHeight - kSwatch) / 2);
        const QRect square(scale.At(qint64(placed.x), swatchTop),
                           scale.At(qint64(placed.x) + kSwatch, swatchTop + kSwatch));
        painter.fillRect(square, placed.entry.fill);
        // Outlined, so the white band shows on the white picture.
        painter.drawRect(square.adjusted(0, 0, -1, -1));
        const double textX = placed.x + kSwatch + kSwatchText;
        const double textTop =
            scale.Y(qint64(y + (legend.lineHeight - scale.ToTwipsY(metrics.height())) / 2));
        painter.drawText(QPointF(scale.X(qint64(textX)), textTop + metrics.ascent()),
                         placed.entry.text);
    }
    for (qsizetype i = 0; i < legend.noteLines.size(); ++i) {
        const double y = top + legend.noteTop + double(i) * legend.textLineHeight;
        painter.drawText(QPointF(scale.X(kNameBand), scale.Y(qint64(y)) + metrics.ascent()),
                         legend.noteLines.at(i));
    }
    painter.restore();
}

void DrawCells(QPainter& painter, const ResultsGrid& grid, const QList<CellFace>& faces)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    Canvas canvas(painter);
    const TwipScale& scale = canvas.Scale();
    const double lineSpacing = QFontMetricsF(painter.font(), painter.device()).lineSpacing();
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const qsizetype at = qsizetype(row) * grid.ColCount() + col;
            if (at >= faces.size())
                continue;
            const CellFace& face = faces.at(at);
            const qint64 x = lineAt(col);
            const qint64 y = lineAt(row);
            if (face.fill.isValid())
                canvas.Fill(QRect(scale.At(x, y), scale.At(x + kCell, y + kCell)), face.fill);
            for (qsizetype k = 0; k < face.lines.size(); ++k)
                canvas.PrintAt(x + kInset, y + kInset, face.lines.at(k), double(k) * lineSpacing);
        }
    }
    painter.restore();
}

void DrawTrends(QPainter& painter, const ResultsGrid& grid, const QList<QList<ResultsCell>>& series)
{
    // The line takes the lower half of the cell, 0 at its foot and 4 at its
    // head, the surveys spread evenly across it.
    constexpr int kTop = 450;
    constexpr int kFoot = 900;
    constexpr int kDot = 30;
    const TwipScale scale(*painter.device());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const qsizetype n = series.size();
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const qsizetype at = qsizetype(row) * grid.ColCount() + col;
            const qint64 x0 = lineAt(col) + kInset;
            const qint64 y0 = lineAt(row);
            const qint64 width = kCell - 2 * kInset;
            // The scale's ends, faintly.
            painter.setPen(QPen(QColor(160, 160, 160), 0, Qt::DotLine));
            painter.drawLine(scale.At(x0, y0 + kTop), scale.At(x0 + width, y0 + kTop));
            painter.drawLine(scale.At(x0, y0 + kFoot), scale.At(x0 + width, y0 + kFoot));
            painter.setPen(QPen(Qt::black, 0));
            QPolygon line;
            for (qsizetype k = 0; k < n; ++k) {
                const ResultsCell& cell = series.at(k).at(at);
                if (!cell.HasAnswers()) {
                    painter.drawPolyline(line);
                    line.clear();
                    continue;
                }
                const double mean = std::clamp(cell.Mean(), 0.0, 4.0);
                const qint64 x = n == 1 ? x0 + width / 2 : x0 + width * k / (n - 1);
                const qint64 y = y0 + kFoot - qint64(std::lround(mean * (kFoot - kTop) / 4));
                const QPoint point = scale.At(x, y);
                line.append(point);
                const QPoint half = scale.At(kDot, kDot) / 2;
                painter.fillRect(QRect(point - half, point + half), Qt::black);
            }
            painter.drawPolyline(line);
        }
    }
    painter.restore();
}

QString NameAt(const ResultsGrid& grid, const QPoint& px, const QPaintDevice& device)
{
    const TwipScale scale(device);
    const double x = scale.ToTwipsX(px.x());
    const double y = scale.ToTwipsY(px.y());
    // The row or column whose band of the grid holds `at`, or -1.
    const auto index = [](double at, int count) {
        const double i = std::floor((at - kGridStart) / kCell);
        return i >= 0 && i < count ? int(i) : -1;
    };
    if (x >= kNameBand && x < kGridStart) {
        if (const int row = index(y, grid.RowCount()); row >= 0)
            return grid.rowNames.at(row);
    } else if (y >= kNameBand && y < kGridStart) {
        if (const int col = index(x, grid.ColCount()); col >= 0)
            return grid.colNames.at(col);
    }
    return {};
}

QSize GridSizePx(const ResultsGrid& grid, const QFont& font, const QPaintDevice& device,
                 const QList<LegendEntry>& legendEntries)
{
    const TwipScale scale(device);
    const QFontMetricsF metrics(font, &device);
    // Names stay within their bands; only the legend's lines take room below.
    const Legend legend = layOutLegend(grid, legendEntries, metrics, scale);
    const double right = std::max(double(lineAt(grid.ColCount())), legend.right);
    const double bottom = double(lineAt(grid.RowCount())) + legend.height;
    const qint64 far = kNameBand;
    return QSize(scale.X(qint64(std::ceil(right)) + far) + 1,
                 scale.Y(qint64(std::ceil(bottom)) + far) + 1);
}

QString BandText(const ResultsCell& cell)
{
    if (!cell.HasAnswers())
        return QStringLiteral("no answers");
    const QColor fill = BandColour(cell);
    for (const LegendEntry& entry : BandLegend()) {
        if (entry.fill == fill)
            return entry.text;
    }
    return {};
}

QRect CellRectPx(int row, int col, const QPaintDevice& device)
{
    const TwipScale scale(device);
    return QRect(scale.At(lineAt(col), lineAt(row)), scale.At(lineAt(col + 1), lineAt(row + 1)));
}
