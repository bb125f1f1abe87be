#pragma once

#include <QColor>
#include <QList>
#include <QSize>
#include <QStringList>

class QFont;
class QPaintDevice;
class QPainter;
class QPoint;
class QRect;
struct ResultsCell;
struct ResultsGrid;

// The results grid is laid out in twips (1/1440 inch) and drawn in the units
// of the painter's device at that device's dots per inch, so one drawing
// serves the window's picture as well as an image or document file.
//
// Cell (i, j) spans 1000 x 1000 twips from (1500 + 1000 j, 1500 + 1000 i);
// row names stand in the band x = 500..1500, column names in y = 500..1500,
// each 100 twips in from the line before it; a value stands 100 twips in from
// its cell's top-left corner. Text is drawn in the painter's font. With a clip
// set on the painter, what lies wholly outside it is left out.
//
// A name wider than its band (a row's: to the first column and down to the
// next row; a column's: to the next column and down to the first row) is
// wrapped over the lines the band holds, the last one cut short with an
// ellipsis, so the picture's size depends on the model's shape alone.

// Row and column names, then the grid lines, which end at the far edge of the
// last row and column (an empty model keeps the two lines from 500 to 1500).
void DrawGrid(QPainter& painter, const ResultsGrid& grid);

// Every cell's value ("0.00" or "a"), each on its band's fill when colour
// coding is on. Draws nothing for a grid without computed results.
void DrawResults(QPainter& painter, const ResultsGrid& grid, bool colorCoding);

// One entry of the key below the grid: a swatch of `fill` and its words, or,
// without a fill, a note wrapped to the grid's width below the swatches.
struct LegendEntry
{
    QColor fill;
    QString text;
};

// The key to the band fills: a swatch of each of the five bands with the
// means it holds, then the grey of "a = no answers".
QList<LegendEntry> BandLegend();

// The key below the grid. Swatches run on within the grid's width and wrap.
void DrawLegend(QPainter& painter, const ResultsGrid& grid,
                const QList<LegendEntry>& entries = BandLegend());

// What one cell shows: a fill (none when invalid) and lines of text from its
// top-left corner, one under the other.
struct CellFace
{
    QColor fill;
    QStringList lines;
};

// Every cell's face, row by row, as DrawResults draws a mean.
void DrawCells(QPainter& painter, const ResultsGrid& grid, const QList<CellFace>& faces);

// In each cell's lower half, a line through the means of a sequence of
// surveys (each a list of cells, row by row), left to right, 0 at the foot
// and 4 at the head; a survey without answers there breaks the line.
void DrawTrends(QPainter& painter, const ResultsGrid& grid,
                const QList<QList<ResultsCell>>& series);

// The full name of the model row or column whose name stands at `px` (pixels
// of `device`), or an empty text: the picture may show it cut short.
QString NameAt(const ResultsGrid& grid, const QPoint& px, const QPaintDevice& device);

// The legend's words for the band of a cell's mean ("below 1" ... "above 4"),
// or "no answers".
QString BandText(const ResultsCell& cell);

// Cell (row, col) in pixels of `device`, from its top-left line to the lines
// after it.
QRect CellRectPx(int row, int col, const QPaintDevice& device);

// The pixels on `device` that hold the whole grid with its names and the
// legend below it, and a margin like the one before the names.
QSize GridSizePx(const ResultsGrid& grid, const QFont& font, const QPaintDevice& device,
                 const QList<LegendEntry>& legendEntries = BandLegend());
