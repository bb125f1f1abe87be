#include "analysis/Results.h"

#include "data/Answers.h"
#include "data/Model.h"
#include "platform/Convert.h"

namespace {

void loadLine(const QList<ModelLine>& lines, const QString& what, QStringList& names,
              QList<qint64>& numbers)
{
    for (const ModelLine& line : lines) {
        numbers.append(
            CInt64(line.number, QStringLiteral("The number of %1 \"%2\"").arg(what, line.name)));
        names.append(line.name);
    }
}

} // namespace

void LoadModelRows(const Database& db, ResultsGrid& grid)
{
    loadLine(ReadModelRowsInOrder(db), QStringLiteral("model row"), grid.rowNames, grid.rowNumbers);
}

void LoadModelColumns(const Database& db, ResultsGrid& grid)
{
    loadLine(ReadModelColumnsInOrder(db), QStringLiteral("model column"), grid.colNames,
             grid.colNumbers);
}

ResultsGrid LoadModelGrid(const Database& db)
{
    ResultsGrid grid;
    LoadModelColumns(db, grid);
    LoadModelRows(db, grid);
    return grid;
}

void ComputeResults(const Database& db, SurveyNumber surveyId, ResultsGrid& grid)
{
    const QList<CellTotals> totals =
        ReadSurveyTotals(db, surveyId, grid.rowNumbers, grid.colNumbers);
    QList<ResultsCell> cells;
    cells.reserve(totals.size());
    for (const CellTotals& cell : totals)
        cells.append({cell.sum, cell.count});
    grid.cells = std::move(cells);
}

QColor BandColour(const ResultsCell& cell)
{
    const qint64 n = cell.count;
    if (n <= 0 || cell.sum < n)
        return QColor(255, 128, 128);
    if (cell.sum <= 2 * n)
        return QColor(255, 192, 128);
    if (cell.sum <= 3 * n)
        return QColor(255, 255, 128);
    if (cell.sum <= 4 * n)
        return QColor(128, 255, 128);
    return QColor(255, 255, 255);
}

QString MeanText(const ResultsCell& cell)
{
    if (!cell.HasAnswers())
        return QStringLiteral("a");
    const bool negative = cell.sum < 0;
    // Unsigned, so that even the most negative sum has a magnitude.
    const quint64 n = quint64(cell.count);
    const quint64 magnitude = negative ? 0 - quint64(cell.sum) : quint64(cell.sum);
    quint64 whole = magnitude / n;
    quint64 rest = magnitude % n;
    int hundredths = 0;
    // Long division for two decimals; what remains decides the rounding.
    for (int digit = 0; digit < 2; ++digit) {
        rest *= 10;
        hundredths = hundredths * 10 + int(rest / n);
        rest %= n;
    }
    if (rest >= n - rest) {
        if (++hundredths == 100) {
            hundredths = 0;
            ++whole;
        }
    }
    const bool shownNegative = negative && (whole > 0 || hundredths > 0);
    return (shownNegative ? QStringLiteral("-") : QString()) + QString::number(whole) +
           u'.' + QStringLiteral("%1").arg(hundredths, 2, 10, QLatin1Char('0'));
}
