#pragma once

#include "analysis/Results.h"
#include "data/ReportReaders.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// What a report is of: one survey, several together, two side by side, or a
// sequence of surveys in number order.
enum class ReportKind { Survey, Combined, Comparison, Trend };

struct ReportRequest
{
    ReportKind kind = ReportKind::Survey;
    // Survey: one; Combined and Trend: as asked for (empty with `all` or a
    // company); Comparison: the earlier view first, then the later.
    QList<SurveyNumber> surveys;
    bool all = false;
    // Trend: every survey of this company, when given.
    std::optional<QString> company;
};

// One report, computed whole before anything is drawn or written.
struct Report
{
    ReportKind kind = ReportKind::Survey;
    // The model; for Survey and Combined also the cells' totals.
    ResultsGrid grid;
    // Combined: per cell, how many of the surveys answered there.
    QList<qint64> surveysAnswered;
    // The surveys reported on, with their headers, in the report's order.
    QList<SurveyEntry> surveys;
    // Comparison and Trend: each survey's cells, in the order of `surveys`.
    QList<QList<ResultsCell>> series;
    QString company; // Trend of one company
    QString title;
    // The database it came from, as messages name it, and when it was made.
    QString source;
    QDateTime made;
    // Every question with its scores, for the document's pages on the cells;
    // read only for a document (LoadReportQuestions).
    std::optional<QList<QuestionScore>> questions;

    bool CoversSeveral() const { return kind != ReportKind::Survey; }
    // Comparison: the cell's mean in the first and second survey.
    const ResultsCell& Before(int row, int col) const { return at(series.first(), row, col); }
    const ResultsCell& After(int row, int col) const { return at(series.last(), row, col); }

private:
    const ResultsCell& at(const QList<ResultsCell>& cells, int row, int col) const
    {
        return cells.at(qsizetype(row) * grid.ColCount() + col);
    }
};

// Reads what the request asks for. Surveys that are not stored, a company
// without surveys, or a comparison of a survey with itself are errors that
// say what is there instead.
Report ComputeReport(const Database& db, const ReportRequest& request);

// The report of one survey whose results are computed already (as a window
// shows them), with its header read from `db`.
Report SurveyReport(const Database& db, SurveyNumber survey, const ResultsGrid& results);

// Adds every question's scores to the report, for the document's pages.
void LoadReportQuestions(const Database& db, Report& report);

// The change from one mean to the other with two decimals and its sign
// ("+0.50", "-1.25", "0.00"), worked out exactly from the sums and counts;
// "a" when either has no answers.
QString ChangeText(const ResultsCell& before, const ResultsCell& after);
// The fill of a compared cell by its change as shown: declines red,
// improvements green, a half point or more in the stronger shade, no change
// white; grey when either side has no answers.
QColor ChangeColour(const ResultsCell& before, const ResultsCell& after);

// What one cell of the report says in a line of text: the mean (Survey);
// the mean and (surveys/answers) (Combined); both means and the change
// (Comparison); each survey's mean (Trend).
QString CellLine(const Report& report, int row, int col);
// The fill of that cell: its band (the last survey's in a trend), or its
// change in a comparison.
QColor CellColour(const Report& report, int row, int col);

// A sentence on what the cells hold, for the foot of a table or picture.
QString CellExplanation(const Report& report);

// The companies of the surveys, each once, in the order of its first.
QStringList CompaniesOf(const QList<SurveyEntry>& surveys);

// Where the report's means count answers outside the scores 0 to 4, as
// OutsideScoresNote of the grid says it; in a comparison or trend, for each
// survey that has any ("survey 3: 2 answers ..."), joined by "; ". Empty
// when there are none.
QString OutsideScoresNote(const Report& report);

// The surveys as a list of numbers, "1, 3, 5".
QString SurveyNumbers(const Report& report);
