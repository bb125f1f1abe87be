#include "Command.h"

#include "data/Schema.h"
#include "data/SurveyFile.h"
#include "platform/DbEngine.h"

int RunUpgrade(const QStringList& args, QTextStream& out)
{
    const Options options(args, {QStringLiteral("consultants")});
    const QString location = options.expect(1, QStringLiteral("one LOCATION")).first();
    if (!DBEngine::IsServer(location)) {
        if (options.has(QStringLiteral("consultants")))
            throw UsageError(QStringLiteral("--consultants is for a database on a server"));
        out << location << " is a file; a file needs no upgrade.\n";
        return 0;
    }
    Database db = OpenSurveyDatabaseAsIs(location, false);
    const QStringList done =
        Schema::UpgradeServerDatabase(db, options.has(QStringLiteral("consultants"))
                                              ? options.value(QStringLiteral("consultants"))
                                              : Schema::DefaultConsultants());
    if (done.isEmpty()) {
        out << db.FileName() << " is up to date (version " << Schema::kServerVersion
            << "); nothing was changed.\n";
        return 0;
    }
    out << "Upgraded " << db.FileName() << " to version " << Schema::kServerVersion << ":\n";
    for (const QString& line : done)
        out << "  " << line << '\n';
    return 0;
}
