// Whole processes: the program's start-up to its main menu against a minimal
// Qt program showing one empty window, and the program's peak memory after
// Show Results at scale.

#include "BenchSupport.h"
#include "LargeDb.h"
#include "SqliteLimits.h"

#include "data/Statements.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Outcome
{
    int status = -1;
    std::string out;
    double cpuSeconds = 0; // user and system time of the process
};

// Runs a program in the current folder and waits for it; its output is kept,
// or with `discard` goes to /dev/null.
Outcome run(const char* program, std::vector<std::string> args = {}, bool discard = false)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (discard)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // Their warnings (no window manager offscreen, and the like) are noise here.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    Outcome outcome;
    if (spawned == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0)
                outcome.out.append(buffer, std::size_t(n));
        }
        int status = 0;
        struct rusage usage = {};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    close(pipeFds[0]);
    return outcome;
}

void startup(benchmark::State& state, const char* program, std::vector<std::string> args = {})
{
    for (auto _ : state) {
        if (run(program, args).status != 0) {
            state.SkipWithError("the start-up program failed");
            break;
        }
    }
}

void BM_Startup_Program(benchmark::State& state)
{
    startup(state, QUELT_STARTUP_PROGRAM);
}
BENCHMARK(BM_Startup_Program)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_Startup_Minimal(benchmark::State& state)
{
    startup(state, QUELT_STARTUP_MINIMAL);
}
BENCHMARK(BM_Startup_Minimal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// For reference: what a menu bar and a title cost any Qt program.
void BM_Startup_MinimalWithMenuAndTitle(benchmark::State& state)
{
    startup(state, QUELT_STARTUP_MINIMAL, {"--menu-and-title"});
}
BENCHMARK(BM_Startup_MinimalWithMenuAndTitle)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// Peak resident memory in MB as a counter; the time is of no interest.
void peak(benchmark::State& state, const char* program, std::vector<std::string> args)
{
    long kb = -1;
    for (auto _ : state) {
        const Outcome outcome = run(program, args);
        const std::size_t at = outcome.out.find("VmHWM ");
        if (outcome.status != 0 || at == std::string::npos) {
            state.SkipWithError("the program gave no peak memory");
            break;
        }
        kb = std::max(kb, std::stol(outcome.out.substr(at + 6)));
    }
    state.counters["peak_MB"] = double(kb) / 1024.0;
}

void BM_Memory_Program(benchmark::State& state)
{
    Bench::Folder folder(BenchData::LargeDb(), Bench::Folder::Share);
    peak(state, QUELT_STARTUP_PROGRAM,
         {"--show-results", std::to_string(BenchLimits::kSurvey)});
}
BENCHMARK(BM_Memory_Program)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

void BM_Memory_Minimal(benchmark::State& state)
{
    peak(state, QUELT_STARTUP_MINIMAL, {"--peak"});
}
BENCHMARK(BM_Memory_Minimal)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

// Every stored answer as CSV, to /dev/null: quelt-db export against the
// engine's own command-line shell running the same join with its values as
// plain columns, as a user would type it. Each takes seconds on one core, so
// its processor time is what is compared: on a shared machine the wall clock
// of so long a run mostly measures the other work there.
void exportTo(benchmark::State& state, const std::string& program,
              const std::vector<std::string>& args)
{
    for (auto _ : state) {
        const Outcome outcome = run(program.c_str(), args, true);
        if (outcome.status != 0) {
            state.SkipWithError("the export failed");
            break;
        }
        state.SetIterationTime(outcome.cpuSeconds);
    }
}

void BM_Export_Program(benchmark::State& state)
{
    exportTo(state, BenchData::QueltDbTool().toStdString(),
             {"export", BenchData::LargeDb().toStdString()});
}
BENCHMARK(BM_Export_Program)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

void BM_Export_Limit_Shell(benchmark::State& state)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        state.SkipWithError("sqlite3 is not installed; make deps installs it");
        return;
    }
    static const QRegularExpression line(QStringLiteral(R"(json_array\((.*?)\) AS line)"));
    const QString join = Sql::SelectAnswerLines().replace(line, QStringLiteral("\\1"));
    exportTo(state, shell.toStdString(),
             {"-csv", "-header", BenchData::LargeDb().toStdString(), join.toStdString()});
}
BENCHMARK(BM_Export_Limit_Shell)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

// quelt-db report as a whole process, so that reading, drawing and writing
// all count; its output is discarded or written to /dev/null.
void report(benchmark::State& state, const QString& file, std::vector<std::string> options)
{
    std::vector<std::string> args = {"report", file.toStdString()};
    args.insert(args.end(), options.begin(), options.end());
    const std::string tool = BenchData::QueltDbTool().toStdString();
    for (auto _ : state) {
        if (run(tool.c_str(), args, true).status != 0) {
            state.SkipWithError("the report failed");
            break;
        }
    }
}

// One survey and a comparison on the large file, to /dev/null.
void reportLarge(benchmark::State& state, std::vector<std::string> choice, const char* format)
{
    for (const char* a : {"--format", format, "--output", "/dev/null"})
        choice.emplace_back(a);
    report(state, BenchData::LargeDb(), std::move(choice));
}

void BM_Report_Survey(benchmark::State& state)
{
    reportLarge(state, {"--survey", "1"}, "png");
}
BENCHMARK(BM_Report_Survey)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_Report_Compare(benchmark::State& state)
{
    reportLarge(state, {"--compare", "1,2"}, "png");
}
BENCHMARK(BM_Report_Compare)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_Report_Pdf(benchmark::State& state)
{
    reportLarge(state, {"--survey", "1"}, "pdf");
}
BENCHMARK(BM_Report_Pdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// report --all over the largest model, its CSV to /dev/null: as made,
// without its indexes, with forged statistics.
void reportAll(benchmark::State& state, void (*change)(const QString&) = nullptr)
{
    Bench::Folder folder(BenchData::HundredDb(),
                         change ? Bench::Folder::Copy : Bench::Folder::Share);
    if (change)
        change(folder.FilePath());
    report(state, folder.FilePath(), {"--all", "--format", "csv"});
}

void BM_Hundred_ReportAll_Program(benchmark::State& state)
{
    reportAll(state);
}
BENCHMARK(BM_Hundred_ReportAll_Program)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

void BM_Hundred_ReportAll_NoIndex(benchmark::State& state)
{
    reportAll(state, BenchData::DropIndexes);
}
BENCHMARK(BM_Hundred_ReportAll_NoIndex)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

void BM_Hundred_ReportAll_Forged(benchmark::State& state)
{
    reportAll(state, BenchData::ForgeStatistics);
}
BENCHMARK(BM_Hundred_ReportAll_Forged)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);

} // namespace
