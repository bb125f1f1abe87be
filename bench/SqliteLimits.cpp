// What the database engine alone needs for the work of a window: the limits
// the program's figures are compared with.

#include "LargeDb.h"

#include "data/Schema.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace {

class Db
{
public:
    explicit Db(const QString& path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~Db() { sqlite3_close(m_db); }
    operator sqlite3*() const { return m_db; }
    void exec(const char* sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
    }

private:
    sqlite3* m_db = nullptr;
};

constexpr int kSurvey = 50;

// (a) The same per-cell statements as the results window, back to back,
// each text joined and prepared as the window's are.
void BM_ShowResults_Limit_PerCellStatements(benchmark::State& state)
{
    Db db(BenchData::LargeDb());
    for (auto _ : state) {
        qint64 total = 0;
        for (int r = 0; r < BenchData::kRows; ++r) {
            for (int c = 0; c < BenchData::kCols; ++c) {
                const std::string sql =
                    "SELECT SUM(answer) as iSum, COUNT(answer) as iCount FROM survey_results, "
                    "question WHERE survey_results.question_id = question.id AND survey_id = " +
                    std::to_string(kSurvey) + " AND row_id = " + std::to_string(r) +
                    " AND col_id = " + std::to_string(c);
                sqlite3_stmt* s = nullptr;
                sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
                if (sqlite3_step(s) == SQLITE_ROW)
                    total += sqlite3_column_int64(s, 1);
                sqlite3_finalize(s);
            }
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ShowResults_Limit_PerCellStatements)->Unit(benchmark::kMillisecond);

// (b) One statement for every cell's sum and count, on a copy indexed for it.
void BM_ShowResults_Limit_OneGroupedStatement(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = BenchData::CopyToTemp(BenchData::LargeDb(), dir.path());
    Db db(path);
    db.exec("CREATE INDEX survey_results_by_survey ON survey_results (survey_id, question_id, answer)");
    const char* sql =
        "SELECT row_id, col_id, SUM(answer), COUNT(answer) FROM survey_results JOIN question "
        "ON survey_results.question_id = question.id WHERE survey_id = ?1 GROUP BY row_id, col_id";
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    for (auto _ : state) {
        qint64 total = 0;
        sqlite3_bind_int(s, 1, kSurvey);
        while (sqlite3_step(s) == SQLITE_ROW)
            total += sqlite3_column_int64(s, 3);
        sqlite3_reset(s);
        benchmark::DoNotOptimize(total);
    }
    sqlite3_finalize(s);
}
BENCHMARK(BM_ShowResults_Limit_OneGroupedStatement)->Unit(benchmark::kMillisecond);

// 32 prepared inserts in one transaction: a full cell's Submit.
void BM_Submit_Limit_PreparedInserts(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = BenchData::CopyToTemp(BenchData::DemoDb(), dir.path());
    Db db(path);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(
        db, "INSERT INTO survey_results (survey_id, question_id, answer) VALUES (?, ?, ?)", -1, &s,
        nullptr);
    for (auto _ : state) {
        db.exec("BEGIN IMMEDIATE");
        for (int q = 1; q <= 32; ++q) {
            sqlite3_bind_int(s, 1, 1);
            sqlite3_bind_int(s, 2, q);
            sqlite3_bind_int(s, 3, q % 5);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        db.exec("COMMIT");
    }
    sqlite3_finalize(s);
}
BENCHMARK(BM_Submit_Limit_PreparedInserts)->Unit(benchmark::kMillisecond);

} // namespace
