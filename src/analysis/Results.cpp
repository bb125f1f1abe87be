#include "analysis/Results.h"

#include "data/Statements.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

namespace {

void loadLine(Database& db, const QString& sql, const QString& numberField, const QString& what,
              QStringList& names, QList<qint64>& numbers)
{
    QueryDef qd = db.CreateQueryDef(sql);
    Recordset rs = qd.OpenRecordset();
    while (!rs.Eof()) {
        const QVariant number = rs.Fields(numberField);
        if (!number.isNull()) {
            const QString name = rs.FieldText(QStringLiteral("name"));
            numbers.append(CInt64(number, QStringLiteral("The number of %1 \"%2\"").arg(what, name)));
            names.append(name);
        }
        rs.MoveNext();
    }
    rs.Close();
    qd.Close();
}

} // namespace

void LoadModelRows(Database& db, ResultsGrid& grid)
{
    loadLine(db, Sql::SelectRowNamesOrdered(), QStringLiteral("row_number"),
             QStringLiteral("model row"), grid.rowNames, grid.rowNumbers);
}

void LoadModelColumns(Database& db, ResultsGrid& grid)
{
    loadLine(db, Sql::SelectColumnNamesOrdered(), QStringLiteral("col_number"),
             QStringLiteral("model column"), grid.colNames, grid.colNumbers);
}

ResultsGrid LoadModelGrid(Database& db)
{
    ResultsGrid grid;
    LoadModelColumns(db, grid);
    LoadModelRows(db, grid);
    return grid;
}

void ComputeResults(Database& db, qint64 surveyId, ResultsGrid& grid)
{
    QList<ResultsCell> cells;
    cells.reserve(qsizetype(grid.RowCount()) * grid.ColCount());
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            QueryDef qd = db.CreateQueryDef(
                Sql::SelectCellSum(surveyId, grid.rowNumbers.at(row), grid.colNumbers.at(col)));
            Recordset rs = qd.OpenRecordset();
            ResultsCell cell;
            if (!rs.Eof()) {
                cell.count = rs.FieldInt64(QStringLiteral("iCount"));
                // The sum of no answers is null.
                if (cell.count > 0)
                    cell.sum = rs.FieldInt64(QStringLiteral("iSum"));
            }
            rs.Close();
            qd.Close();
            cells.append(cell);
        }
    }
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
