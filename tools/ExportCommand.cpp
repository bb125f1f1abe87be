#include "Command.h"
#include "Output.h"
#include "data/Csv.h"

#include "data/Answers.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"

#include <optional>

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
    const Options options(args, {QStringLiteral("output")}, {QStringLiteral("raw")});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    const QString path = options.value(QStringLiteral("output"));
    const CsvTexts texts =
        options.has(QStringLiteral("raw")) ? CsvTexts::AsStored : CsvTexts::Neutralised;
    RefuseOutputOverDatabase(path, file);

    const Database db = OpenSurveyDatabaseForReading(file);
    out.flush();
    std::optional<Output> named;
    Output& output = path.isEmpty() ? Output::Standard() : named.emplace(path);
    // Millions of lines: each is made in UTF-8 in one reused buffer, and a
    // failed write stops the export at once.
    const CsvTarget target = output.IsTerminal() ? CsvTarget::Terminal : CsvTarget::File;
    QByteArray record = CsvRecord(kColumns).toUtf8();
    output.Put(record);
    ReadAnswerLines(db, [&](const QList<QByteArrayView>& fields) {
        record.resize(0);
        AppendCsvRecord(record, fields, texts, target);
        output.Put(record);
    });
    output.Finish();
    return 0;
}
