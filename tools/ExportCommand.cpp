#include "Command.h"
#include "Output.h"
#include "data/Csv.h"

#include "data/Answers.h"
#include "data/Schema.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/QueltError.h"

#include <optional>

namespace {

const QStringList kColumns = {
    QStringLiteral("survey_id"),   QStringLiteral("completed_by"), QStringLiteral("company"),
    QStringLiteral("question_id"), QStringLiteral("label"),        QStringLiteral("question_text"),
    QStringLiteral("row_number"),  QStringLiteral("row_name"),     QStringLiteral("col_number"),
    QStringLiteral("col_name"),    QStringLiteral("answer"),
};

// Who stored the answer, its survey's header and its question, and when.
const QStringList kStorerColumns = {
    QStringLiteral("stored_by"),          QStringLiteral("stored_at"),
    QStringLiteral("survey_stored_by"),   QStringLiteral("survey_stored_at"),
    QStringLiteral("question_stored_by"), QStringLiteral("question_stored_at"),
};

// Whether an answer is stored or a correction took it out, and when and by
// whom it was taken out.
const QStringList kHistoryColumns = {QStringLiteral("status"), QStringLiteral("changed_at"),
                                     QStringLiteral("changed_by")};

} // namespace

int RunExport(const QStringList& args, QTextStream& out)
{
    const Options options(
        args, {QStringLiteral("output")},
        {QStringLiteral("raw"), QStringLiteral("stored-by"), QStringLiteral("with-history")});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    const QString path = options.value(QStringLiteral("output"));
    const CsvTexts texts =
        options.has(QStringLiteral("raw")) ? CsvTexts::AsStored : CsvTexts::Neutralised;
    RefuseOutputOverDatabase(path, file);

    const Database db = OpenSurveyDatabaseForReading(file);
    const bool storers = options.has(QStringLiteral("stored-by"));
    if (storers && !db.IsServer())
        throw UsageError(QStringLiteral("--stored-by is for a server database; a file records "
                                        "no logins"));
    if (storers && !Schema::WritesThroughFunctions(db))
        throw QueltError(QStringLiteral("The database %1 records no logins yet: it was made by an "
                                        "earlier version, and its owner upgrades it with "
                                        "quelt-db upgrade.")
                             .arg(db.FileName()),
                         {}, {}, db.FileName());
    out.flush();
    std::optional<Output> named;
    Output& output = path.isEmpty() ? Output::Standard() : named.emplace(path);
    // Millions of lines: each is made in UTF-8 in one reused buffer, and a
    // failed write stops the export at once.
    const CsvTarget target = output.IsTerminal() ? CsvTarget::Terminal : CsvTarget::File;
    const bool history = options.has(QStringLiteral("with-history"));
    QByteArray record = CsvRecord((storers ? kColumns + kStorerColumns : kColumns) +
                                  (history ? kHistoryColumns : QStringList()))
                            .toUtf8();
    output.Put(record);
    const auto write = [&](const QList<QByteArrayView>& fields) {
        record.resize(0);
        AppendCsvRecord(record, fields, texts, target);
        output.Put(record);
    };
    if (!history) {
        ReadAnswerLines(db, write, storers);
        output.Finish();
        return 0;
    }
    // One state of the database: an answer moved meanwhile is written once.
    ReadTransaction snapshot(db);
    ReadAnswerLines(
        db,
        [&](const QList<QByteArrayView>& fields) {
            write(fields + QList<QByteArrayView>{"stored", {}, {}});
        },
        storers);
    ReadMovedAnswerLines(db, write, storers);
    snapshot.Commit();
    output.Finish();
    return 0;
}
