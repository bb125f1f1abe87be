#include "Command.h"

#include "data/FileChecks.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"
#include "platform/TerminalText.h"

int RunIndex(const QStringList& args, QTextStream& out)
{
    const Options options(args, {});
    const QString file = options.expect(1, QStringLiteral("one LOCATION")).first();
    Database db = OpenSurveyDatabase(file);

    QList<WantedIndex> missing;
    for (const WantedIndex& wanted : WantedIndexes()) {
        const QString existing = FindIndexesLike(db, wanted).complete;
        if (existing.isEmpty()) {
            missing.append(wanted);
        } else {
            out << wanted.name << ": present";
            if (existing.compare(wanted.name, Qt::CaseInsensitive) != 0)
                out << " (as " << Visible(existing) << ")";
            out << '\n';
        }
    }
    if (missing.isEmpty())
        return 0;
    // All of them or none: a failure leaves the file as it was.
    Transaction batch(db);
    for (const WantedIndex& wanted : missing)
        db.Execute(wanted.statement);
    batch.Commit();
    for (const WantedIndex& wanted : missing)
        out << wanted.name << ": created\n";
    return 0;
}
