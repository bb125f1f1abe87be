#include "Command.h"
#include "Text.h"

#include "data/Answers.h"
#include "data/Questions.h"
#include "data/Schema.h"
#include "data/Surveys.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"

#include <QRandomGenerator>

namespace {

// The names of --rows or --cols. A stray ";" makes a model row or column that
// no one meant, and two of the same name cannot be told apart in any window,
// so both are refused before the file is made.
QStringList modelNames(const Options& options, const QString& option, const QString& what)
{
    const QString list = options.value(option);
    const QStringList names = SplitNames(list);
    if (!names.isEmpty() && list.trimmed().endsWith(u';'))
        throw UsageError(QStringLiteral("--%1 ends with \";\": leave it out, or name the last %2")
                             .arg(option, what));
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names.at(i).isEmpty()) {
            const QString where =
                i == 0 ? QStringLiteral("begins with an empty name")
                       : QStringLiteral("has an empty name after %1").arg(Quoted(names.at(i - 1)));
            throw UsageError(
                QStringLiteral("--%1 %2; every model %3 needs a name").arg(option, where, what));
        }
        if (!options.has(QStringLiteral("allow-duplicate-names")) && names.indexOf(names.at(i)) < i)
            throw UsageError(QStringLiteral("--%1 names %2 twice; give --allow-duplicate-names to "
                                            "keep both")
                                 .arg(option, Quoted(names.at(i))));
    }
    return names;
}

// The group given the consultants' rights on a server; a file has none.
QString consultants(const Options& options, const QString& location)
{
    if (!options.has(QStringLiteral("consultants")))
        return Schema::DefaultConsultants();
    if (!DBEngine::IsServer(location))
        throw UsageError(QStringLiteral("--consultants is for a database on a server"));
    return options.value(QStringLiteral("consultants"));
}

} // namespace

int RunInit(const QStringList& args, QTextStream& out)
{
    const Options options(
        args, {QStringLiteral("rows"), QStringLiteral("cols"), QStringLiteral("consultants")},
        {QStringLiteral("allow-duplicate-names")});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    if (!options.has(QStringLiteral("rows")) || !options.has(QStringLiteral("cols")))
        throw UsageError(QStringLiteral("both --rows and --cols are required"));
    const QStringList rows = modelNames(options, QStringLiteral("rows"), QStringLiteral("row"));
    const QStringList cols = modelNames(options, QStringLiteral("cols"), QStringLiteral("column"));
    Schema::CreateSurveyDatabase(file, rows, cols, {}, consultants(options, file));
    out << "Created " << Visible(file) << " with "
        << Counted(rows.size(), QStringLiteral("model row")) << " and "
        << Counted(cols.size(), QStringLiteral("model column")) << ".\n";
    return 0;
}

namespace {

// Short names: a name wider than its 1000-twip band runs into the next one.
const QStringList kDemoRows = {
    QStringLiteral("Leadership"), QStringLiteral("Dialogue"), QStringLiteral("Training"),
    QStringLiteral("Procedures"), QStringLiteral("Safety"),   QStringLiteral("Learning"),
};

const QStringList kDemoCols = {
    QStringLiteral("Awareness"), QStringLiteral("Insight"),  QStringLiteral("Buy-in"),
    QStringLiteral("Practice"),  QStringLiteral("Measures"), QStringLiteral("Review"),
};

// Question stems, one set per column; the row's topic goes into each.
const QList<QStringList> kStems = {
    {QStringLiteral("Do people know what good %1 looks like in their own job?"),
     QStringLiteral("Can staff name the person responsible for %1 in their area?"),
     QStringLiteral("Has %1 been discussed in a team meeting in the last month?"),
     QStringLiteral("Are newcomers told about the company's expectations for %1?")},
    {QStringLiteral("Can people explain why %1 matters to the business?"),
     QStringLiteral("Do supervisors explain the reasons behind %1 decisions?"),
     QStringLiteral("Is the link between %1 and daily work clear to everyone?")},
    {QStringLiteral("Do managers set aside time and money for %1?"),
     QStringLiteral("Do people volunteer to take part in %1 activities?"),
     QStringLiteral("Is %1 on the agenda of the management team's meetings?"),
     QStringLiteral("Do people keep to %1 commitments under time pressure?")},
    {QStringLiteral("Is %1 visible in the way work is done on the floor?"),
     QStringLiteral("Do teams follow the agreed %1 practices without reminders?")},
    {QStringLiteral("Is %1 measured with figures that people trust?"),
     QStringLiteral("Are %1 results shared with the people who do the work?"),
     QStringLiteral("Are %1 measures compared with earlier periods?")},
    {QStringLiteral("Is %1 reviewed at least once a year?"),
     QStringLiteral("Do reviews of %1 lead to changes that are followed up?"),
     QStringLiteral("Are lessons about %1 passed on to other sites?"),
     QStringLiteral("Does the review of %1 include the views of the workforce?")},
};

const QList<QPair<QString, QString>> kDemoSurveys = {
    {QStringLiteral("Anne O'Brien"), QStringLiteral("Northwind Foods")},
    {QStringLiteral("Jan de Vries"), QStringLiteral("Harbour Logistics")},
    {QStringLiteral("Maria Santos"), QStringLiteral("Northwind Foods")},
};

} // namespace

int RunDemo(const QStringList& args, QTextStream& out)
{
    const Options options(args, {QStringLiteral("consultants")});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    int questions = 0;
    // Filled in the transaction that makes the tables: a failure leaves no
    // half-made demo, neither a file nor tables on a server.
    const auto fill = [&](Database& db) {
        // A fixed seed: every demo file is the same, so screenshots compare.
        QRandomGenerator random(20261207);
        for (qint16 row = 0; row < kDemoRows.size(); ++row) {
            const QString topic = kDemoRows[row].toLower();
            for (qint16 col = 0; col < kDemoCols.size(); ++col) {
                const QStringList& stems = kStems[col];
                for (int k = 0; k < stems.size(); ++k) {
                    const QString label =
                        QStringLiteral("%1.%2.%3").arg(row + 1).arg(col + 1).arg(k + 1);
                    StoreQuestion(db, {label, stems[k].arg(topic), row, col});
                    ++questions;
                }
            }
        }
        // Each survey has its own level, so the results differ visibly.
        const double levels[] = {2.6, 1.6, 3.3};
        const QList<QuestionCell> cells = ReadQuestionCells(db);
        for (qsizetype s = 0; s < kDemoSurveys.size(); ++s) {
            const auto surveyId = qint16(s + 1);
            StoreSurveyHeader(db, surveyId, {kDemoSurveys[s].first, kDemoSurveys[s].second});
            QList<Answer> answers;
            for (const QuestionCell& question : cells) {
                const int cellBias = (question.rowNumber + 2 * question.colNumber) % 5 - 2;
                const double score = levels[s] + 0.5 * cellBias + (random.bounded(2.0) - 1.0);
                answers.append({question.id, qint16(qBound(0, qRound(score), 4))});
            }
            StoreAnswers(db, surveyId, answers);
        }
    };
    Schema::CreateSurveyDatabase(file, kDemoRows, kDemoCols, fill, consultants(options, file));
    out << "Created " << Visible(file) << ": a " << kDemoRows.size() << " x " << kDemoCols.size()
        << " model, " << questions << " questions, " << kDemoSurveys.size()
        << " surveys with answers.\n";
    return 0;
}
