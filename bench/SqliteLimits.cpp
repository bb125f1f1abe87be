// What the database engine alone needs for the work of a window: the limits
// the program's figures are compared with. Each iteration opens the file and
// closes it again, as every operation of the program must.

#include "BenchSupport.h"
#include "LargeDb.h"
#include "SqliteLimits.h"

#include <QDir>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace BenchLimits {

Db::Db(const QString& path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        const std::string error = sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        throw std::runtime_error(error);
    }
    sqlite3_busy_timeout(m_db, 5000);
}

Db::~Db()
{
    sqlite3_close(m_db);
}

void Db::exec(const char* sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sql) + ": " + sqlite3_errmsg(m_db));
}

sqlite3_stmt* Db::prepare(const char* sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sql) + ": " + sqlite3_errmsg(m_db));
    return s;
}

std::vector<std::pair<int, std::string>> CellQuestions(Db& db, int row, int col)
{
    const std::string sql = "SELECT id, label, question_text FROM question WHERE row_id = " +
                            std::to_string(row) + " AND col_id = " + std::to_string(col) + " ";
    sqlite3_stmt* s = db.prepare(sql.c_str());
    std::vector<std::pair<int, std::string>> questions;
    while (sqlite3_step(s) == SQLITE_ROW)
        questions.emplace_back(sqlite3_column_int(s, 0),
                               reinterpret_cast<const char*>(sqlite3_column_text(s, 2)));
    sqlite3_finalize(s);
    return questions;
}

std::vector<std::string> Column(const QString& path, const char* sql)
{
    Db db(path);
    sqlite3_stmt* s = db.prepare(sql);
    std::vector<std::string> values;
    while (sqlite3_step(s) == SQLITE_ROW)
        values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    return values;
}

} // namespace BenchLimits

namespace {

using BenchLimits::Db;

// (a) The per-cell statements the results window once ran, back to back,
// each text joined and prepared as the window's were, on a copy without the
// survey's index, as files were then: with it, the engine starts each of
// them from all of the survey's answers.
void BM_ShowResults_Limit_PerCellStatements(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Copy);
    const QString path = folder.FilePath();
    Db(path).exec("DROP INDEX survey_results_survey");
    for (auto _ : state) {
        Db db(path);
        qint64 total = 0;
        for (int r = 0; r < BenchData::kRows; ++r) {
            for (int c = 0; c < BenchData::kCols; ++c) {
                const std::string sql =
                    "SELECT SUM(answer) as iSum, COUNT(answer) as iCount FROM survey_results, "
                    "question WHERE survey_results.question_id = question.id AND survey_id = " +
                    std::to_string(BenchLimits::kSurvey) + " AND row_id = " + std::to_string(r) +
                    " AND col_id = " + std::to_string(c);
                sqlite3_stmt* s = db.prepare(sql.c_str());
                if (sqlite3_step(s) == SQLITE_ROW)
                    total += sqlite3_column_int64(s, 1);
                sqlite3_finalize(s);
            }
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ShowResults_Limit_PerCellStatements)->Unit(benchmark::kMillisecond);

// (b) One statement for every cell's sum and count (over `surveys`, with
// how many of them answered), on a copy indexed for it.
void groupedStatement(benchmark::State& state, const QString& file, const char* surveys)
{
    Bench::Folder folder(file, Bench::Folder::Copy);
    Db(folder.FilePath())
        .exec("CREATE INDEX survey_results_by_survey "
              "ON survey_results (survey_id, question_id, answer)");
    const std::string sql =
        std::string("SELECT row_id, col_id, COUNT(DISTINCT survey_id), SUM(answer), "
                    "COUNT(answer) FROM survey_results JOIN question ON "
                    "survey_results.question_id = question.id WHERE survey_id IN (") +
        surveys + ") GROUP BY row_id, col_id";
    for (auto _ : state) {
        Db db(folder.FilePath());
        sqlite3_stmt* s = db.prepare(sql.c_str());
        qint64 total = 0;
        while (sqlite3_step(s) == SQLITE_ROW)
            total += sqlite3_column_int64(s, 4);
        sqlite3_finalize(s);
        benchmark::DoNotOptimize(total);
    }
}

void BM_ShowResults_Limit_OneGroupedStatement(benchmark::State& state)
{
    const std::string survey = std::to_string(BenchLimits::kSurvey);
    groupedStatement(state, BenchData::LargeDb(), survey.c_str());
}
BENCHMARK(BM_ShowResults_Limit_OneGroupedStatement)->Unit(benchmark::kMillisecond);

void BM_Hundred_ShowResults_Limit_OneGroupedStatement(benchmark::State& state)
{
    const std::string survey = std::to_string(BenchLimits::kSurvey);
    groupedStatement(state, BenchData::HundredDb(), survey.c_str());
}
BENCHMARK(BM_Hundred_ShowResults_Limit_OneGroupedStatement)->Unit(benchmark::kMillisecond);

// Every survey's answers together, as report --all reads them.
void BM_Hundred_ReportAll_Limit_OneGroupedStatement(benchmark::State& state)
{
    groupedStatement(state, BenchData::HundredDb(), "SELECT id FROM survey");
}
BENCHMARK(BM_Hundred_ReportAll_Limit_OneGroupedStatement)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

// A full cell's Submit: 32 prepared inserts in one transaction, on a copy of
// the large file so the index takes them where the window's would go.
void BM_Submit_Limit_PreparedInserts(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Copy);
    std::vector<int> questions;
    {
        Db db(folder.FilePath());
        for (const auto& q : BenchLimits::CellQuestions(db, BenchLimits::kSubmitRow,
                                                         BenchLimits::kSubmitCol))
            questions.push_back(q.first);
    }
    const Bench::AnswersAdded added(folder.FilePath(), BenchLimits::kSurvey);
    for (auto _ : state) {
        const Bench::Clock::time_point start = Bench::Clock::now();
        {
            Db db(folder.FilePath());
            sqlite3_stmt* s = db.prepare(
                "INSERT INTO survey_results (survey_id, question_id, answer) VALUES (?, ?, ?)");
            db.exec("BEGIN IMMEDIATE");
            for (std::size_t k = 0; k < questions.size(); ++k) {
                sqlite3_bind_int(s, 1, BenchLimits::kSurvey);
                sqlite3_bind_int(s, 2, questions[k]);
                sqlite3_bind_int(s, 3, int(k % 5));
                if (sqlite3_step(s) != SQLITE_DONE)
                    state.SkipWithError("insert failed");
                sqlite3_reset(s);
            }
            db.exec("COMMIT");
            sqlite3_finalize(s);
        }
        state.SetIterationTime(Bench::Seconds(start));
        added.TakeAway();
    }
}
BENCHMARK(BM_Submit_Limit_PreparedInserts)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
