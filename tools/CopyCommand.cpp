#include "Command.h"

#include "data/Schema.h"
#include "data/SurveyFile.h"
#include "data/Transfer.h"
#include "platform/DbEngine.h"
#include "platform/TerminalText.h"

int RunCopy(const QStringList& args, QTextStream& out)
{
    const Options options(args, {QStringLiteral("consultants")});
    const QStringList ends = options.expect(2, QStringLiteral("FROM and TO"));
    if (options.has(QStringLiteral("consultants")) && !DBEngine::IsServer(ends.at(1)))
        throw UsageError(QStringLiteral("--consultants is for a TO on a server"));
    Database from = DBEngine::OpenDatabaseForReading(ends.at(0));
    NameSchema(from);
    const QList<CopiedTable> copied = CopySurveyDatabase(
        from, ends.at(1),
        options.has(QStringLiteral("consultants")) ? options.value(QStringLiteral("consultants"))
                                                   : Schema::DefaultConsultants());
    QStringList counts;
    for (const CopiedTable& table : copied)
        counts.append(QStringLiteral("%1 %2").arg(table.rows).arg(table.table));
    out << "Copied " << Visible(from.FileName()) << " to " << Visible(ends.at(1)) << ": "
        << counts.join(QStringLiteral(", ")) << "; row counts and totals agree.\n";
    return 0;
}
