#include "Command.h"
#include "Csv.h"
#include "Output.h"

#include "data/Answers.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"

namespace {

const QStringList kColumns = {
    QStringLiteral("survey_id"),   QStringLiteral("completed_by"), QStringLiteral("company"),
    QStringLiteral("question_id"), QStringLiteral("label"),        QStringLiteral("question_text"),
    QStringLiteral("row_number"),  QStringLiteral("row_name"),     QStringLiteral("col_number"),
    QStringLiteral("col_name"),    QStringLiteral("answer"),
};

} // namespace

int RunExport(const QStringList& args, QTextStream& out)
{
    const Options options(args, {QStringLiteral("output")});
    const QString file = options.expect(1, QStringLiteral("one FILE")).first();
    const QString output = options.value(QStringLiteral("output"));
    RefuseOutputOverDatabase(output, file);

    const Database db = OpenSurveyDatabaseForReading(file);
    WriteText(output, out, [&](QTextStream& s) {
        s << CsvRecord(kColumns);
        ReadAnswerLines(db, [&](const QStringList& fields) { s << CsvRecord(fields); });
    });
    return 0;
}
