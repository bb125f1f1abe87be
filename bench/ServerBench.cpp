// The server's limits: what psql and libpq alone need for Show Results' one
// grouped statement and for a full cell's 32 inserts.

#include "ServerBench.h"

#include "BenchSupport.h"
#include "LargeDb.h"
#include "SqliteLimits.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <libpq-fe.h>
#include <vector>

namespace BenchServer {

namespace {

QString g_location;
QString g_why;

QString script()
{
    return QStringLiteral(QUELT_SOURCE_DIR "/tests/server/pg-server");
}

QString stateFile()
{
    return BenchData::CacheDir() + QStringLiteral("/pg-server");
}

void stop()
{
    const QByteArray command =
        (script() + u' ' + QStringLiteral("stop ") + stateFile()).toLocal8Bit();
    if (std::system(command.constData()) != 0)
        std::fprintf(stderr, "the benchmark server did not stop cleanly\n");
}

bool run(const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        g_why = QStringLiteral("%1 %2 failed").arg(program, args.join(u' '));
        return false;
    }
    return true;
}

} // namespace

QString LargeDb(QString* why)
{
    static bool tried = false;
    if (!tried) {
        tried = true;
        const QString large = BenchData::LargeDb();
        if (run(script(), {QStringLiteral("start"), stateFile()}, 120000)) {
            std::atexit(stop);
            QFile file(stateFile() + QStringLiteral(".location"));
            file.open(QIODevice::ReadOnly);
            const QString admin = QString::fromUtf8(file.readAll().trimmed());
            const QString location = QString(admin).replace(QStringLiteral(":///postgres?"),
                                                            QStringLiteral(":///quelt?"));
            std::fprintf(stderr, "Filling the benchmark server from %s (a few minutes)...\n",
                         qPrintable(large));
            if (run(QStringLiteral("psql"),
                    {admin, QStringLiteral("-qc"), QStringLiteral("CREATE DATABASE quelt")},
                    30000) &&
                run(BenchData::QueltDbTool(), {QStringLiteral("copy"), large, location}, 1800000) &&
                run(QStringLiteral("psql"),
                    {location, QStringLiteral("-qc"), QStringLiteral("VACUUM ANALYZE")}, 600000))
                g_location = location;
        }
    }
    if (why)
        *why = g_why;
    return g_location;
}

} // namespace BenchServer

namespace {

// Show Results' statement as psql sends it: a whole process, which connects,
// runs the one grouped statement and prints every row.
void BM_Server_ShowResults_Limit_Psql(benchmark::State& state)
{
    QString why;
    const QString location = BenchServer::LargeDb(&why);
    if (location.isEmpty())
        return state.SkipWithError(qPrintable(why));
    const QString sql =
        QStringLiteral("SELECT row_id, col_id, SUM(answer), COUNT(answer) FROM survey_results, "
                       "question WHERE survey_results.question_id = question.id AND survey_id = "
                       "%1 GROUP BY row_id, col_id")
            .arg(BenchLimits::kSurvey);
    for (auto _ : state) {
        QProcess psql;
        psql.start(QStringLiteral("psql"), {location, QStringLiteral("-Atqc"), sql});
        psql.waitForFinished(60000);
        if (psql.readAllStandardOutput().count('\n') != BenchData::kRows * BenchData::kCols)
            state.SkipWithError("psql gave other rows");
    }
}
BENCHMARK(BM_Server_ShowResults_Limit_Psql)->Unit(benchmark::kMillisecond);

// A full cell's Submit through libpq alone: a connection, as each Submit
// makes one, and 32 prepared inserts in one transaction.
void BM_Server_Submit_Limit_PreparedInserts(benchmark::State& state)
{
    QString why;
    const QString location = BenchServer::LargeDb(&why);
    if (location.isEmpty())
        return state.SkipWithError(qPrintable(why));
    const QByteArray conninfo = location.toUtf8();
    std::vector<int> questions;
    {
        PGconn* c = PQconnectdb(conninfo.constData());
        PGresult* r = PQexec(c, QStringLiteral("SELECT id FROM question WHERE row_id = %1 AND "
                                               "col_id = %2 ORDER BY id")
                                    .arg(BenchLimits::kSubmitRow)
                                    .arg(BenchLimits::kSubmitCol)
                                    .toUtf8()
                                    .constData());
        for (int i = 0; i < PQntuples(r); ++i)
            questions.push_back(std::atoi(PQgetvalue(r, i, 0)));
        PQclear(r);
        PQfinish(c);
    }
    const Bench::AnswersAdded added(location, BenchLimits::kSurvey);
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        PGconn* c = PQconnectdb(conninfo.constData());
        PQclear(PQprepare(c, "ins",
                          "INSERT INTO survey_results (survey_id, question_id, answer) "
                          "VALUES ($1, $2, $3)",
                          3, nullptr));
        PQclear(PQexec(c, "BEGIN"));
        for (std::size_t k = 0; k < questions.size(); ++k) {
            const std::string survey = std::to_string(BenchLimits::kSurvey);
            const std::string question = std::to_string(questions[k]);
            const std::string answer = std::to_string(k % 5);
            const char* values[] = {survey.c_str(), question.c_str(), answer.c_str()};
            PGresult* r = PQexecPrepared(c, "ins", 3, values, nullptr, nullptr, 0);
            if (PQresultStatus(r) != PGRES_COMMAND_OK)
                state.SkipWithError("insert failed");
            PQclear(r);
        }
        PQclear(PQexec(c, "COMMIT"));
        PQfinish(c);
        state.SetIterationTime(Bench::Seconds(start));
        added.TakeAway();
    }
}
BENCHMARK(BM_Server_Submit_Limit_PreparedInserts)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
