#include "shell/frmMain.h"

#include "platform/DbEngine.h"
#include "platform/ErrorReport.h"
#include "shell/frmMainMenu.h"

StartOptions ParseStartOptions(const QStringList& args, const QString& environment)
{
    StartOptions options;
    if (!environment.isEmpty())
        options.database = environment;
    const auto wrong = [&](const QString& why) {
        if (options.error.isEmpty())
            options.error = why;
    };
    bool chosen = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        QString value;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
            continue;
        }
        if (arg == QLatin1String("--version")) {
            options.version = true;
            continue;
        }
        if (arg == QLatin1String("--database")) {
            if (i + 1 >= args.size()) {
                wrong(QStringLiteral("--database needs a LOCATION"));
                continue;
            }
            value = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--database="))) {
            value = arg.mid(11);
        } else {
            wrong(QStringLiteral("unknown argument '%1'").arg(arg));
            continue;
        }
        if (chosen)
            wrong(QStringLiteral("--database is given more than once"));
        else if (value.isEmpty())
            wrong(QStringLiteral("--database needs a LOCATION"));
        options.database = value;
        chosen = true;
    }
    return options;
}

QString StartHelp()
{
    return QStringLiteral(
        "Usage: quelt [--database LOCATION]\n"
        "       quelt --help | --version\n"
        "\n"
        "Quelt Analysis Software: questions on an assessment model, surveys captured\n"
        "cell by cell, and each survey's results as a colour-coded grid.\n"
        "\n"
        "  --database LOCATION  the survey database every window works on: a file\n"
        "                       path, or a PostgreSQL database as a libpq URI, e.g.\n"
        "                         postgresql://user@host:5432/quelt?sslmode=verify-full\n"
        "                         postgresql:///?service=quelt  (pg_service.conf)\n"
        "  -h, --help           this text\n"
        "  --version            the program's version\n"
        "\n"
        "Without --database, the environment variable QUELT_DATABASE names the\n"
        "LOCATION; without either, quelt.mdb in the current folder.\n"
        "A server's password goes in ~/.pgpass, a service file or the environment\n"
        "variable PGPASSWORD, never into LOCATION.\n");
}

void Main(const QString& database)
{
    if (!database.isEmpty())
        DBEngine::SetSurveyDatabaseName(database);
    RunGuarded(nullptr, [] { ShowForm<frmMainMenu>(); });
}
