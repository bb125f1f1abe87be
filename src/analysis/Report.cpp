#include "analysis/Report.h"

#include "data/Answers.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"
#include "platform/TextSet.h"

#include <QHash>
#include <algorithm>

namespace {

QList<SurveyNumber> numbersOf(const QList<SurveyEntry>& entries)
{
    QList<SurveyNumber> numbers;
    for (const SurveyEntry& entry : entries)
        numbers.append(entry.id);
    return numbers;
}

QString numberList(const QList<SurveyNumber>& ids)
{
    QStringList numbers;
    for (SurveyNumber id : ids)
        numbers.append(DecimalText(id));
    return numbers.join(QStringLiteral(", "));
}

// What a user can ask for instead of a survey that is not there.
QString storedRange(const QList<SurveyEntry>& stored)
{
    if (stored.isEmpty())
        return QStringLiteral("it holds no surveys yet");
    if (stored.size() == 1)
        return QStringLiteral("its one survey is numbered %1").arg(stored.first().id);
    return QStringLiteral("its %1 surveys are numbered from %2 to %3")
        .arg(stored.size())
        .arg(stored.first().id)
        .arg(stored.last().id);
}

QString surveyTitle(const SurveyEntry& entry)
{
    return QStringLiteral("Survey %1: %2, %3")
        .arg(DecimalText(entry.id), entry.header.completedBy, entry.header.company);
}

QString listTitle(const QList<SurveyNumber>& ids)
{
    constexpr qsizetype kListed = 12;
    if (ids.size() <= kListed)
        return QStringLiteral("%1 surveys: %2").arg(ids.size()).arg(numberList(ids));
    return QStringLiteral("%1 surveys: %2, ... %3")
        .arg(ids.size())
        .arg(numberList(ids.mid(0, kListed - 1)), DecimalText(ids.last()));
}

// The entries of the asked-for surveys, in the order asked; every one must
// be stored.
QList<SurveyEntry> chosen(const QList<SurveyEntry>& stored, const QList<SurveyNumber>& ids,
                          const QString& path)
{
    // Looked up, not searched for: a file holds up to 32,767 surveys, and
    // --surveys may name each of them.
    QHash<SurveyNumber, qsizetype> at;
    at.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i)
        at.insert(stored.at(i).id, i);
    QList<SurveyEntry> entries;
    QStringList missing;
    for (SurveyNumber id : ids) {
        const auto found = at.constFind(id);
        if (found == at.constEnd())
            missing.append(DecimalText(id));
        else
            entries.append(stored.at(*found));
    }
    if (!missing.isEmpty())
        throw QueltError(QStringLiteral("%1 has no survey numbered %2; %3.")
                             .arg(path, missing.join(QStringLiteral(", ")), storedRange(stored)));
    return entries;
}

QList<SurveyEntry> ofCompany(const QList<SurveyEntry>& stored, const QString& company,
                             const QString& path)
{
    QList<SurveyEntry> entries;
    const QStringList companies = CompaniesOf(stored);
    for (const SurveyEntry& entry : stored) {
        if (entry.header.company == company.trimmed())
            entries.append(entry);
    }
    if (entries.isEmpty()) {
        constexpr qsizetype kNamed = 10;
        QStringList named;
        for (const QString& name : companies.mid(0, kNamed))
            named.append(u'"' + name + u'"');
        throw QueltError(
            companies.isEmpty()
                ? QStringLiteral("%1 has no survey of the company \"%2\"; it holds no surveys yet.")
                      .arg(path, company)
                : QStringLiteral("%1 has no survey of the company \"%2\"; its companies are %3%4.")
                      .arg(path, company, named.join(QStringLiteral(", ")),
                           companies.size() > kNamed ? QStringLiteral(", ...") : QString()));
    }
    return entries;
}

QList<ResultsCell> cellsOf(const Database& db, SurveyNumber id, const ResultsGrid& model)
{
    ResultsGrid grid = model;
    ComputeResults(db, id, grid);
    return grid.cells;
}

// ---------------------------------------------------------------- change

// The change in hundredths, rounded half away from zero, from the exact
// difference sumB/countB - sumA/countA; a product of two sums may pass 64
// bits, so the arithmetic is wider.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

Wide changeInHundredths(const ResultsCell& before, const ResultsCell& after)
{
    const Wide numerator = Wide(after.sum) * before.count - Wide(before.sum) * after.count;
    const UWide denominator = UWide(before.count) * UWide(after.count);
    const bool negative = numerator < 0;
    const UWide magnitude = negative ? UWide(-numerator) : UWide(numerator);
    const UWide scaled = magnitude * 100;
    UWide hundredths = scaled / denominator;
    const UWide rest = scaled % denominator;
    if (rest >= denominator - rest)
        ++hundredths;
    return negative ? -Wide(hundredths) : Wide(hundredths);
}

} // namespace

Report ComputeReport(const Database& db, const ReportRequest& request)
{
    const QString path = db.FileName();
    const QList<SurveyEntry> stored = ReadSurveyEntries(db);
    Report report;
    report.kind = request.kind;
    report.source = path;
    report.made = QDateTime::currentDateTime();
    report.grid = LoadModelGrid(db);

    if (request.company) {
        report.company = request.company->trimmed();
        report.surveys = ofCompany(stored, *request.company, path);
    } else if (request.all) {
        if (stored.isEmpty())
            throw QueltError(QStringLiteral("There are no surveys in %1.").arg(path));
        report.surveys = stored;
    } else {
        report.surveys = chosen(stored, request.surveys, path);
    }
    const QList<SurveyNumber> ids = numbersOf(report.surveys);

    switch (request.kind) {
    case ReportKind::Survey:
        report.title = surveyTitle(report.surveys.first());
        ComputeResults(db, ids.first(), report.grid);
        break;
    case ReportKind::Combined: {
        report.title = listTitle(ids);
        const QList<CellTotals> totals =
            ReadCombinedTotals(db, request.all ? QList<SurveyNumber>() : ids,
                               report.grid.rowNumbers, report.grid.colNumbers);
        for (const CellTotals& cell : totals) {
            report.grid.cells.append({cell.sum, cell.count, cell.outside});
            report.surveysAnswered.append(cell.surveys);
        }
        break;
    }
    case ReportKind::Comparison:
        if (ids.size() != 2 || ids.first() == ids.last())
            throw QueltError(QStringLiteral("A comparison needs two different surveys."));
        report.title = QStringLiteral("Survey %1 compared with survey %2")
                           .arg(DecimalText(ids.first()), DecimalText(ids.last()));
        for (SurveyNumber id : ids)
            report.series.append(cellsOf(db, id, report.grid));
        break;
    case ReportKind::Trend:
        // Surveys are numbered as they are started: number order is the
        // order in time.
        std::sort(report.surveys.begin(), report.surveys.end(),
                  [](const SurveyEntry& a, const SurveyEntry& b) { return a.id < b.id; });
        report.title =
            request.company
                ? QStringLiteral("%1: %2").arg(
                      report.company, Counted(report.surveys.size(), QStringLiteral("survey")))
                : QStringLiteral("Trend over %1").arg(listTitle(numbersOf(report.surveys)));
        for (const SurveyEntry& entry : report.surveys)
            report.series.append(cellsOf(db, entry.id, report.grid));
        break;
    }
    return report;
}

Report SurveyReport(const Database& db, SurveyNumber survey, const ResultsGrid& results)
{
    Report report;
    report.source = db.FileName();
    report.made = QDateTime::currentDateTime();
    report.grid = results;
    SurveyEntry entry{survey, {}};
    if (const std::optional<SurveyHeader> header = ReadSurveyHeader(db, survey))
        entry.header = *header;
    report.surveys = {entry};
    report.title = surveyTitle(entry);
    return report;
}

void LoadReportQuestions(const Database& db, Report& report)
{
    // One or two surveys are told apart; more are summed up per question.
    const bool bySurvey =
        report.kind == ReportKind::Survey || report.kind == ReportKind::Comparison;
    report.questions = ReadQuestionScores(db, numbersOf(report.surveys), bySurvey);
}

QString ChangeText(const ResultsCell& before, const ResultsCell& after)
{
    if (!before.HasAnswers() || !after.HasAnswers())
        return QStringLiteral("a");
    const Wide change = changeInHundredths(before, after);
    const UWide magnitude = change < 0 ? UWide(-change) : UWide(change);
    const QString sign = change > 0   ? QStringLiteral("+")
                         : change < 0 ? QStringLiteral("-")
                                      : QString();
    return sign + QString::number(quint64(magnitude / 100)) + u'.' +
           QStringLiteral("%1").arg(uint(magnitude % 100), 2, 10, QLatin1Char('0'));
}

QColor ChangeColour(const ResultsCell& before, const ResultsCell& after)
{
    if (!before.HasAnswers() || !after.HasAnswers())
        return NoAnswersColour();
    const Wide change = changeInHundredths(before, after);
    if (change <= -50)
        return QColor(224, 102, 102);
    if (change < 0)
        return QColor(244, 188, 188);
    if (change == 0)
        return QColor(255, 255, 255);
    if (change < 50)
        return QColor(188, 232, 188);
    return QColor(92, 184, 92);
}

QString CellLine(const Report& report, int row, int col)
{
    switch (report.kind) {
    case ReportKind::Survey:
        return MeanText(report.grid.Cell(row, col));
    case ReportKind::Combined: {
        const qsizetype at = qsizetype(row) * report.grid.ColCount() + col;
        return QStringLiteral("%1 (%2/%3)")
            .arg(MeanText(report.grid.Cell(row, col)))
            .arg(report.surveysAnswered.at(at))
            .arg(report.grid.Cell(row, col).count);
    }
    case ReportKind::Comparison:
        return QStringLiteral("%1 %2 %3")
            .arg(MeanText(report.Before(row, col)), MeanText(report.After(row, col)),
                 ChangeText(report.Before(row, col), report.After(row, col)));
    case ReportKind::Trend: {
        QStringList means;
        const qsizetype at = qsizetype(row) * report.grid.ColCount() + col;
        for (const QList<ResultsCell>& cells : report.series)
            means.append(MeanText(cells.at(at)));
        return means.join(u' ');
    }
    }
    return {};
}

QColor CellColour(const Report& report, int row, int col)
{
    const qsizetype at = qsizetype(row) * report.grid.ColCount() + col;
    switch (report.kind) {
    case ReportKind::Survey:
    case ReportKind::Combined:
        return BandColour(report.grid.Cell(row, col));
    case ReportKind::Comparison:
        return ChangeColour(report.Before(row, col), report.After(row, col));
    case ReportKind::Trend:
        return BandColour(report.series.last().at(at));
    }
    return {};
}

QStringList CompaniesOf(const QList<SurveyEntry>& surveys)
{
    QStringList companies;
    TextSet seen;
    for (const SurveyEntry& entry : surveys)
        if (seen.Insert(entry.header.company))
            companies.append(entry.header.company);
    return companies;
}

QString OutsideScoresNote(const Report& report)
{
    if (report.series.isEmpty())
        return OutsideScoresNote(report.grid);
    QStringList notes;
    for (qsizetype i = 0; i < report.series.size(); ++i) {
        ResultsGrid one = report.grid;
        one.cells = report.series.at(i);
        if (const QString note = OutsideScoresNote(one); !note.isEmpty())
            notes.append(
                QStringLiteral("survey %1: %2").arg(DecimalText(report.surveys.at(i).id), note));
    }
    return notes.join(QStringLiteral("; "));
}

QString SurveyNumbers(const Report& report)
{
    return numberList(numbersOf(report.surveys));
}

QString CellExplanation(const Report& report)
{
    switch (report.kind) {
    case ReportKind::Survey:
        return QStringLiteral("Each cell: the mean of the survey's answers to its questions "
                              "(a: no answers).");
    case ReportKind::Combined:
        return QStringLiteral("Each cell: the mean of all the surveys' answers to its questions "
                              "(a: none), then how many of the surveys answered there and how "
                              "many answers there are (2/8: 2 surveys, 8 answers).");
    case ReportKind::Comparison:
        return QStringLiteral("Each cell: the mean of survey %1, the mean of survey %2 and the "
                              "change from the first to the second (a: no answers, so no "
                              "change).")
            .arg(DecimalText(report.surveys.first().id), DecimalText(report.surveys.last().id));
    case ReportKind::Trend:
        return QStringLiteral("Each cell: the mean of every survey in number order (%1; a: no "
                              "answers).")
            .arg(SurveyNumbers(report));
    }
    return {};
}
