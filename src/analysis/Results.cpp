#include "analysis/Results.h"

#include "data/Answers.h"
#include "data/Model.h"
#include "platform/Convert.h"

#include <algorithm>
#include <limits>

namespace {

// The size of a sum, which even the most negative one has.
__extension__ typedef unsigned __int128 Magnitude;

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
        cells.append({cell.sum, cell.count, cell.outside});
    grid.cells = std::move(cells);
}

namespace {

// A mean rounded to hundredths, halves away from zero, worked out from the
// integer sum and count rather than from a rounded double.
struct ShownMean
{
    bool negative = false; // shown with a minus sign: below zero once rounded
    quint64 whole = 0;
    int hundredths = 0;
};

ShownMean shownMean(const ResultsCell& cell)
{
    const bool negative = cell.sum < 0;
    const Magnitude n = Magnitude(cell.count);
    const Magnitude magnitude = negative ? 0 - Magnitude(cell.sum) : Magnitude(cell.sum);
    ShownMean mean;
    // A mean is never further from zero than the largest answer, a 64-bit one.
    mean.whole = quint64(magnitude / n);
    Magnitude rest = magnitude % n;
    // Long division for two decimals; what remains decides the rounding.
    for (int digit = 0; digit < 2; ++digit) {
        rest *= 10;
        mean.hundredths = mean.hundredths * 10 + int(rest / n);
        rest %= n;
    }
    if (rest >= n - rest) {
        if (++mean.hundredths == 100) {
            mean.hundredths = 0;
            ++mean.whole;
        }
    }
    mean.negative = negative && (mean.whole > 0 || mean.hundredths > 0);
    return mean;
}

} // namespace

QColor BandColour(const ResultsCell& cell)
{
    if (!cell.HasAnswers())
        return NoAnswersColour();
    const ShownMean mean = shownMean(cell);
    // In hundredths; anything above 4 is only ever compared with 400.
    const quint64 shown =
        mean.negative ? 0 : std::min<quint64>(mean.whole, 5) * 100 + quint64(mean.hundredths);
    if (shown < 100)
        return QColor(255, 128, 128);
    if (shown <= 200)
        return QColor(255, 192, 128);
    if (shown <= 300)
        return QColor(255, 255, 128);
    if (shown <= 400)
        return QColor(128, 255, 128);
    return QColor(255, 255, 255);
}

QColor NoAnswersColour()
{
    return QColor(208, 208, 208);
}

QString MeanText(const ResultsCell& cell)
{
    if (!cell.HasAnswers())
        return QStringLiteral("a");
    const ShownMean mean = shownMean(cell);
    return (mean.negative ? QStringLiteral("-") : QString()) + SumText(AnswerSum(mean.whole)) +
           u'.' + QStringLiteral("%1").arg(mean.hundredths, 2, 10, QLatin1Char('0'));
}

QString NamesInFull(const ResultsGrid& grid)
{
    return QStringLiteral("Model rows:\n%1\nModel columns:\n%2")
        .arg(grid.rowNames.join(u'\n'), grid.colNames.join(u'\n'));
}

QString SumText(AnswerSum sum)
{
    // A mean's whole part never exceeds the largest answer, and neither
    // does a sum: only sums of many extreme answers pass 64 bits.
    if (sum >= std::numeric_limits<qint64>::min() && sum <= std::numeric_limits<qint64>::max())
        return QString::number(qint64(sum));
    Magnitude magnitude = sum < 0 ? 0 - Magnitude(sum) : Magnitude(sum);
    QString digits;
    for (; magnitude > 0; magnitude /= 10)
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
    return (sum < 0 ? QStringLiteral("-") : QString()) + digits;
}

QString OutsideScoresNote(const ResultsGrid& grid)
{
    if (!grid.HasResults())
        return {};
    constexpr int kNamed = 3;
    qint64 answers = 0;
    QStringList cells;
    int cellCount = 0;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const qint64 outside = grid.Cell(row, col).outside;
            if (outside == 0)
                continue;
            answers += outside;
            if (++cellCount <= kNamed)
                cells.append(grid.rowNames.at(row) + QStringLiteral(" / ") + grid.colNames.at(col));
        }
    }
    if (answers == 0)
        return {};
    if (cellCount > kNamed)
        cells.append(QStringLiteral("%1 more cells").arg(cellCount - kNamed));
    return QStringLiteral("%1 answer%2 outside 0 to 4 (in %3) %4 counted in the means as stored")
        .arg(answers)
        .arg(answers == 1 ? QString() : QStringLiteral("s"), cells.join(QStringLiteral(", ")),
             answers == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}
