#pragma once

#include "data/Answers.h"
#include "data/Surveys.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class Database;

// The answers of one survey to the questions of one grid cell.
struct ResultsCell
{
    AnswerSum sum = 0;
    qint64 count = 0;
    // Answers outside the scores 0 to 4 among them, counted as they are.
    qint64 outside = 0;

    bool HasAnswers() const { return count > 0; }
    // Only meaningful with answers.
    double Mean() const { return double(sum) / double(count); }
};

// The model as a grid, and optionally one survey's results on it. Grid row i
// is the model row numbered rowNumbers[i] and named rowNames[i]; the numbers
// are what the answers are looked up by, so a model numbered from 1 or with
// gaps still shows each cell's answers under its own names.
struct ResultsGrid
{
    QStringList rowNames;
    QList<qint64> rowNumbers;
    QStringList colNames;
    QList<qint64> colNumbers;
    // One per cell, row by row; empty until a survey's results are computed.
    QList<ResultsCell> cells;

    int RowCount() const { return int(rowNames.size()); }
    int ColCount() const { return int(colNames.size()); }
    bool HasResults() const
    {
        return RowCount() > 0 && ColCount() > 0 &&
               cells.size() == qsizetype(RowCount()) * ColCount();
    }
    const ResultsCell& Cell(int row, int col) const
    {
        return cells.at(qsizetype(row) * ColCount() + col);
    }
};

// Model rows and columns in ascending number order, names without their
// surrounding blanks. A row or column without a number (null or blank)
// cannot hold answers and is left out.
void LoadModelRows(const Database& db, ResultsGrid& grid);
void LoadModelColumns(const Database& db, ResultsGrid& grid);
ResultsGrid LoadModelGrid(const Database& db);

// Sums and counts the survey's answers for every cell of the grid, row by
// row, as one state of the file.
void ComputeResults(const Database& db, SurveyNumber surveyId, ResultsGrid& grid);

// The fill of a cell by its mean as MeanText shows it: below 1, 1 to 2, above
// 2 to 3, above 3 to 4, above 4. A cell shown as "1.00" is never on the
// "below 1" fill, whatever the third decimal. A cell without answers takes
// NoAnswersColour instead, so it never reads as a poor result.
QColor BandColour(const ResultsCell& cell);

// The fill of a cell without answers: a grey unlike every band's fill.
QColor NoAnswersColour();

// The mean with two decimals and a point ("2.50", "0.18"), or "a" for a cell
// without answers. Halves round away from zero, worked out from the integer
// sum and count rather than from a rounded double.
QString MeanText(const ResultsCell& cell);

// Every model row's and column's name in full, one a line, under "Model
// rows:" and "Model columns:", for where a picture shows some cut short.
QString NamesInFull(const ResultsGrid& grid);

// The sum in decimal, however large.
QString SumText(AnswerSum sum);

// Where the grid's results count answers outside the scores 0 to 4, which
// no window stores: how many and in which cells (the first few by name),
// e.g. "2 answers outside 0 to 4 (in Row A / Col B) are counted in the
// means as stored". Empty when there are none.
QString OutsideScoresNote(const ResultsGrid& grid);
