// quelt-db correct, withdraw and history: mistakes put right, and every
// change listed.

#include "Command.h"
#include "Output.h"
#include "Text.h"

#include "data/Corrections.h"
#include "data/Csv.h"
#include "data/Model.h"
#include "data/SurveyFile.h"
#include "platform/Convert.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <optional>

namespace {

// A number option: a whole number the program holds (16 bits).
qint16 numberOption(const Options& options, const QString& name)
{
    try {
        return CInt16(options.value(name).trimmed(), QStringLiteral("--%1").arg(name));
    } catch (const QueltError& e) {
        throw UsageError(e.message());
    }
}

std::optional<QString> textOption(const Options& options, const QString& name)
{
    return options.has(name) ? std::optional<QString>(options.value(name)) : std::nullopt;
}

// How a history and a message name a text column.
QString columnName(const QString& column)
{
    if (column == QLatin1String("completed_by"))
        return QStringLiteral("completed by");
    if (column == QLatin1String("question_text"))
        return QStringLiteral("text");
    return column;
}

// The name of model row or column `number`, or nothing when the model has
// no such number.
std::optional<QString> modelName(const QList<ModelLine>& lines, qint16 number)
{
    for (const ModelLine& line : lines) {
        if (line.number == DecimalText(number))
            return line.name;
    }
    return std::nullopt;
}

int correctAnswer(Database& db, const Options& options, QTextStream& out)
{
    const SurveyNumber survey = numberOption(options, QStringLiteral("survey"));
    const qint16 question = numberOption(options, QStringLiteral("question"));
    const qint16 score = numberOption(options, QStringLiteral("answer"));
    if (score < 0 || score > 4)
        throw UsageError(QStringLiteral("--answer is a score from 0 to 4"));
    const QStringList old = ReplaceAnswer(db, survey, question, score);
    out << "Survey " << survey << ", question " << question << ": replaced "
        << (old.size() == 1 ? "the answer " : "the answers ") << Visible(old.join(u", "))
        << " with " << score << "; the history keeps " << (old.size() == 1 ? "it" : "them")
        << ".\n";
    return 0;
}

int correctTexts(const QString& what, const QList<TextCorrection>& corrected, QTextStream& out)
{
    if (corrected.isEmpty()) {
        out << what << ": every text given is stored already; nothing was changed.\n";
        return 0;
    }
    for (const TextCorrection& c : corrected)
        out << what << ": " << columnName(c.column) << ' ' << Quoted(c.before, 60) << " is now "
            << Quoted(c.after, 60) << ".\n";
    out << "The history keeps what " << (corrected.size() == 1 ? "it was" : "they were") << ".\n";
    return 0;
}

} // namespace

int RunCorrect(const QStringList& args, QTextStream& out)
{
    const Options options(args, {QStringLiteral("survey"), QStringLiteral("question"),
                                 QStringLiteral("answer"), QStringLiteral("completed-by"),
                                 QStringLiteral("company"), QStringLiteral("label"),
                                 QStringLiteral("text")});
    const QString location = options.expect(1, QStringLiteral("one LOCATION")).first();
    const bool header =
        options.has(QStringLiteral("completed-by")) || options.has(QStringLiteral("company"));
    const bool questionTexts =
        options.has(QStringLiteral("label")) || options.has(QStringLiteral("text"));
    const bool answer = options.has(QStringLiteral("answer"));
    if (int(header) + int(questionTexts) + int(answer) != 1)
        throw UsageError(QStringLiteral("give one of --answer, --completed-by/--company or "
                                        "--label/--text"));
    if (answer &&
        !(options.has(QStringLiteral("survey")) && options.has(QStringLiteral("question"))))
        throw UsageError(QStringLiteral("--answer needs --survey N and --question Q"));
    if (header &&
        (!options.has(QStringLiteral("survey")) || options.has(QStringLiteral("question"))))
        throw UsageError(QStringLiteral("--completed-by and --company need --survey N alone"));
    if (questionTexts &&
        (!options.has(QStringLiteral("question")) || options.has(QStringLiteral("survey"))))
        throw UsageError(QStringLiteral("--label and --text need --question Q alone"));
    if (questionTexts && options.has(QStringLiteral("text")) &&
        options.value(QStringLiteral("text")).trimmed().isEmpty())
        throw UsageError(QStringLiteral("--text needs the question's text"));

    Database db = OpenSurveyDatabase(location);
    if (answer)
        return correctAnswer(db, options, out);
    if (header) {
        const SurveyNumber survey = numberOption(options, QStringLiteral("survey"));
        return correctTexts(QStringLiteral("Survey %1").arg(survey),
                            CorrectSurveyHeader(db, survey,
                                                textOption(options, QStringLiteral("completed-by")),
                                                textOption(options, QStringLiteral("company"))),
                            out);
    }
    const qint16 question = numberOption(options, QStringLiteral("question"));
    return correctTexts(QStringLiteral("Question %1").arg(question),
                        CorrectQuestion(db, question, textOption(options, QStringLiteral("label")),
                                        textOption(options, QStringLiteral("text"))),
                        out);
}

int RunWithdraw(const QStringList& args, QTextStream& out)
{
    const Options options(args,
                          {QStringLiteral("survey"), QStringLiteral("row"), QStringLiteral("col")});
    const QString location = options.expect(1, QStringLiteral("one LOCATION")).first();
    for (const QString& needed :
         {QStringLiteral("survey"), QStringLiteral("row"), QStringLiteral("col")}) {
        if (!options.has(needed))
            throw UsageError(QStringLiteral("--survey N, --row R and --col C are needed"));
    }
    const SurveyNumber survey = numberOption(options, QStringLiteral("survey"));
    const qint16 row = numberOption(options, QStringLiteral("row"));
    const qint16 col = numberOption(options, QStringLiteral("col"));
    Database db = OpenSurveyDatabase(location);
    const auto refuse = [&](const QString& why) {
        throw QueltError(why + QStringLiteral("; nothing was withdrawn."), {}, {}, db.FileName());
    };
    if (!ReadSurveyHeader(db, survey))
        refuse(QStringLiteral("No survey has the number %1").arg(survey));
    const std::optional<QString> rowName = modelName(ReadModelRows(db), row);
    const std::optional<QString> colName = modelName(ReadModelColumns(db), col);
    if (!rowName || !colName)
        refuse(QStringLiteral("The model has no %1 %2")
                   .arg(rowName ? QStringLiteral("column") : QStringLiteral("row"))
                   .arg(rowName ? col : row));
    const qint64 moved = WithdrawCellAnswers(db, survey, row, col);
    if (moved == 0)
        refuse(QStringLiteral("Survey %1 has no answers in model row %2, model column %3")
                   .arg(survey)
                   .arg(row)
                   .arg(col));
    out << "Withdrew " << Counted(moved, QStringLiteral("answer")) << " of survey " << survey
        << " from model row " << row << " (" << Visible(*rowName) << "), model column " << col
        << " (" << Visible(*colName) << "); the history keeps them.\n";
    return 0;
}

namespace {

// What a change was about, as the history lists it.
QString changeWhat(const HistoryEntry& e)
{
    const auto number = [](const std::optional<qint64>& n) {
        return n ? DecimalText(*n) : QStringLiteral("?");
    };
    if (e.action == QLatin1String("replaced"))
        return QStringLiteral("answers of survey %1 to question %2 replaced")
            .arg(number(e.survey), number(e.question));
    if (e.action == QLatin1String("withdrawn"))
        return QStringLiteral("answers of survey %1 in model row %2, model column %3 withdrawn")
            .arg(number(e.survey), number(e.rowNumber), number(e.colNumber));
    if (e.survey)
        return QStringLiteral("%1 of survey %2").arg(columnName(e.action), number(e.survey));
    return QStringLiteral("%1 of question %2").arg(columnName(e.action), number(e.question));
}

// The old value: a text, or the answers a change moved (each question's
// named where a whole cell was withdrawn).
QString changeOld(const HistoryEntry& e)
{
    if (e.action != QLatin1String("replaced") && e.action != QLatin1String("withdrawn"))
        return e.before;
    QStringList parts;
    for (const auto& [question, score] : e.moved) {
        if (e.action == QLatin1String("replaced"))
            parts.append(score);
        else
            parts.append(QStringLiteral("question %1: %2").arg(question).arg(score));
    }
    return parts.join(e.action == QLatin1String("replaced") ? QStringLiteral(", ")
                                                            : QStringLiteral("; "));
}

QString optionalNumber(const std::optional<qint64>& n)
{
    return n ? DecimalText(*n) : QString();
}

} // namespace

int RunHistory(const QStringList& args, QTextStream& out)
{
    const Options options(
        args, {QStringLiteral("survey"), QStringLiteral("format"), QStringLiteral("output")});
    const QString location = options.expect(1, QStringLiteral("one LOCATION")).first();
    const QString format = options.value(QStringLiteral("format")).toLower();
    if (options.has(QStringLiteral("format")) && format != QLatin1String("text") &&
        format != QLatin1String("csv"))
        throw UsageError(QStringLiteral("--format is one of text|csv"));
    std::optional<SurveyNumber> survey;
    if (options.has(QStringLiteral("survey")))
        survey = numberOption(options, QStringLiteral("survey"));
    const QString path = options.value(QStringLiteral("output"));
    RefuseOutputOverDatabase(path, location);

    const Database db = OpenSurveyDatabaseForReading(location);
    const QList<HistoryEntry> history = ReadHistory(db, survey);
    const bool csv = format == QLatin1String("csv");
    WriteText(path, out, [&](QTextStream& stream, bool terminal) {
        if (csv) {
            const CsvTarget target = terminal ? CsvTarget::Terminal : CsvTarget::File;
            stream << CsvRecord({QStringLiteral("when"), QStringLiteral("who"),
                                 QStringLiteral("what"), QStringLiteral("survey_id"),
                                 QStringLiteral("question_id"), QStringLiteral("row_number"),
                                 QStringLiteral("col_number"), QStringLiteral("old"),
                                 QStringLiteral("new")});
            for (const HistoryEntry& e : history)
                stream << CsvRecord({e.when, e.who, changeWhat(e), optionalNumber(e.survey),
                                     optionalNumber(e.question), optionalNumber(e.rowNumber),
                                     optionalNumber(e.colNumber), changeOld(e), e.after},
                                    CsvTexts::Neutralised, target);
            return;
        }
        if (history.isEmpty())
            stream << "No changes are recorded"
                   << (survey ? QStringLiteral(" for survey %1").arg(*survey) : QString()) << " in "
                   << Visible(db.FileName()) << ".\n";
        for (const HistoryEntry& e : history) {
            stream << Visible(e.when) << "  " << Visible(e.who) << "  " << Visible(changeWhat(e))
                   << ": ";
            if (e.action == QLatin1String("withdrawn"))
                stream << Visible(changeOld(e));
            else if (e.action == QLatin1String("replaced"))
                stream << Visible(changeOld(e)) << " -> " << Visible(e.after);
            else
                stream << '"' << Visible(e.before) << "\" -> \"" << Visible(e.after) << '"';
            stream << '\n';
        }
    });
    return 0;
}
