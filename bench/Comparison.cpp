#include "Comparison.h"

#include <QGuiApplication>
#include <QSysInfo>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sqlite3.h>
#include <sstream>
#include <thread>

namespace BenchReport {

namespace {

// Time: the program's figure at most `goal` times the limit's. Deadline: at
// most `goal` ms, whatever the limit's (shown beside it).
enum class Kind { Time, PeakMemory, Reference, Deadline };

struct Figure
{
    const char* what;
    const char* program;
    const char* limitWhat;
    const char* limit;
    // The largest ratio allowed; for memory, the largest peak in MB; for a
    // deadline, the longest time in ms.
    double goal;
    Kind kind = Kind::Time;
};

const Figure kFigures[] = {
    {"Show Results, 31 x 31 cells, 100 surveys: the whole click and its repaint",
     "BM_ShowResults_Program",
     "(a) the 961 per-cell statements the click once ran, C API, on a copy without the "
     "survey's index",
     "BM_ShowResults_Limit_PerCellStatements", 1.3},
    {"Show Results, as above", "BM_ShowResults_Program",
     "(b) one grouped statement, on a copy indexed for it",
     "BM_ShowResults_Limit_OneGroupedStatement", 1.5},
    {"Show Results, 100 x 100 cells (30,000 questions), 100 surveys answered",
     "BM_Hundred_ShowResults_Program", "(b) at 100 x 100",
     "BM_Hundred_ShowResults_Limit_OneGroupedStatement", 1.5},
    {"Show Results, 100 x 100, the file without its two indexes", "BM_Hundred_ShowResults_NoIndex",
     "(b) at 100 x 100", "BM_Hundred_ShowResults_Limit_OneGroupedStatement", 10000, Kind::Deadline},
    {"Show Results, 100 x 100, forged planner statistics", "BM_Hundred_ShowResults_Forged",
     "(b) at 100 x 100", "BM_Hundred_ShowResults_Limit_OneGroupedStatement", 10000, Kind::Deadline},
    {"report --all, 100 x 100, 32,767 surveys (3,000,000 answers), CSV, whole process",
     "BM_Hundred_ReportAll_Program",
     "one grouped statement over every survey, on a copy indexed for it, C API",
     "BM_Hundred_ReportAll_Limit_OneGroupedStatement", 10000, Kind::Deadline},
    {"report --all, as above, the file without its two indexes", "BM_Hundred_ReportAll_NoIndex",
     "as above", "BM_Hundred_ReportAll_Limit_OneGroupedStatement", 10000, Kind::Deadline},
    {"report --all, as above, forged planner statistics", "BM_Hundred_ReportAll_Forged", "as above",
     "BM_Hundred_ReportAll_Limit_OneGroupedStatement", 10000, Kind::Deadline},
    {"Submit of a full cell (32 scores) into the large file, the cell's first of the survey",
     "BM_Submit_Program", "32 prepared inserts in one transaction, C API",
     "BM_Submit_Limit_PreparedInserts", 1.5},
    {"Submit with Replace of a cell submitted before: its 32 answers into the history, 32 new "
     "ones",
     "BM_SubmitReplace_Program", "Submit with Add of the same cell, as Submit stored before",
     "BM_SubmitAdd_Program", 1.5},
    {"Choosing a cell of 32 questions: rows refilled and repainted", "BM_ChooseCell_Program",
     "the cell's statement (C API) set on the same 32 rows, one repaint",
     "BM_ChooseCell_Limit_StatementAndRows", 2.0},
    {"Choosing a cell of 32,003 questions, up to its first rows on screen", "BM_LargeCell_Program",
     "the file opened as the window opens it, the cell read by the window's reader",
     "BM_LargeCell_Limit_ReadQuestions", 2.0},
    {"First show of the answering window, 31 x 31 model, 100 surveys", "BM_FirstShow_Survey_Large",
     "the window built and shown, pickers filled by one addItems each",
     "BM_FirstShow_Survey_Large_Limit", 2.0},
    {"First show of the answering window, 32,767 surveys", "BM_FirstShow_Survey_ManySurveys",
     "as above", "BM_FirstShow_Survey_ManySurveys_Limit", 2.0},
    {"First show of the results window, 31 x 31 model, 100 surveys", "BM_FirstShow_Results_Large",
     "the window built and shown, lists filled by one addItems each, the empty grid drawn",
     "BM_FirstShow_Results_Large_Limit", 2.0},
    {"First show of the results window, 32,767 surveys", "BM_FirstShow_Results_ManySurveys",
     "as above", "BM_FirstShow_Results_ManySurveys_Limit", 2.0},
    {"Start-up to the main menu on screen, whole process", "BM_Startup_Program",
     "a minimal Qt program showing one empty window", "BM_Startup_Minimal", 1.2},
    {"Start-up, for reference", "BM_Startup_Program",
     "the minimal program with the same three menus and 24 pt title, plain Qt",
     "BM_Startup_MinimalWithMenuAndTitle", 0, Kind::Reference},
    {"Server: Show Results, 31 x 31 cells, 100 surveys, over a local socket",
     "BM_Server_ShowResults_Program", "the one grouped statement sent by psql (a whole process)",
     "BM_Server_ShowResults_Limit_Psql", 2.0},
    {"Server: Submit of a full cell (32 scores)", "BM_Server_Submit_Program",
     "a connection and 32 prepared inserts in one transaction, libpq",
     "BM_Server_Submit_Limit_PreparedInserts", 1.5},
    {"Server: Submit with Replace of a cell submitted before", "BM_Server_SubmitReplace_Program",
     "Submit with Add of the same cell", "BM_Server_SubmitAdd_Program", 1.5},
    {"Export of every answer (3,075,200 CSV lines) to /dev/null, whole process, processor time",
     "BM_Export_Program", "the engine's own shell (sqlite3 -csv) running the same join",
     "BM_Export_Limit_Shell", 1.5},
    {"Report: a one-survey PDF of the 31 x 31 model (a page of grid, then 30,752 questions), "
     "whole process",
     "BM_Report_Pdf", "a one-survey PNG report, whole process", "BM_Report_Survey", 2000.0,
     Kind::Deadline},
    {"Report: two surveys compared, PNG, whole process", "BM_Report_Compare",
     "a one-survey PNG report, whole process", "BM_Report_Survey", 2.0},
    {"Peak resident memory (VmHWM) after Show Results at scale", "BM_Memory_Program",
     "the minimal Qt program", "BM_Memory_Minimal", 80.0, Kind::PeakMemory},
};

struct Step
{
    const char* what;
    const char* benchmark;
};

const Step kShowResultsSteps[] = {
    {"The whole click, repaint included", "BM_ShowResults_Program"},
    {"Its queries through the program's engine layer", "BM_ShowResults_Part_Queries"},
    {"Its drawing: cleared, filled, printed, lined, the shown part repainted",
     "BM_ShowResults_Part_Drawing"},
    {"Its one grouped statement, through the C API on an indexed copy: limit (b)",
     "BM_ShowResults_Limit_OneGroupedStatement"},
};

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\"");
    const auto last = s.find_last_not_of(" \t\"\n");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// The value after "key" and a separator in a text file of key/value lines.
std::string fileValue(const char* path, const std::string& key, char separator)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            const auto at = line.find(separator);
            if (at != std::string::npos)
                return trim(line.substr(at + 1));
        }
    }
    return "unknown";
}

std::string formatMs(double ms)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(ms < 1 ? 3 : ms < 10 ? 2 : 1) << ms << " ms";
    return out.str();
}

std::string formatMb(double mb)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(1) << mb << " MB";
    return out.str();
}

std::string formatRatio(double r)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(2) << r << "x";
    return out.str();
}

const Measurement* find(const Collector& c, const char* name)
{
    const auto it = c.Results().find(name);
    if (it == c.Results().end() || !it->second.error.empty())
        return nullptr;
    if (it->second.timesMs.empty() && it->second.counters.empty())
        return nullptr;
    return &it->second;
}

double peakMb(const Measurement& m)
{
    const auto it = m.counters.find("peak_MB");
    return it == m.counters.end() ? -1 : it->second;
}

std::string machine(const RunInfo& info)
{
    std::ostringstream out;
    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    const std::string memKb = fileValue("/proc/meminfo", "MemTotal", ':');
    std::ostringstream memory;
    memory << std::fixed << std::setprecision(1) << std::atof(memKb.c_str()) / 1048576.0
           << " GiB";
    out << "| Machine | |\n|---|---|\n"
        << "| Date | " << date << " |\n"
        << "| CPU | " << fileValue("/proc/cpuinfo", "model name", ':') << ", "
        << std::thread::hardware_concurrency() << " cores |\n"
        << "| Memory | " << memory.str() << " |\n"
        << "| System | " << fileValue("/etc/os-release", "PRETTY_NAME", '=') << ", kernel "
        << QSysInfo::kernelVersion().toStdString() << " |\n"
        << "| Qt | " << qVersion() << ", platform " << QGuiApplication::platformName().toStdString()
        << " |\n"
        << "| SQLite | " << sqlite3_libversion() << " |\n"
        << "| Load average (1, 5, 15 min) | before " << info.loadBefore << "; after "
        << info.loadAfter << " |\n";
    return out.str();
}

struct Table
{
    std::string text;
    bool complete = true;
};

Table figures(const Collector& c)
{
    Table table;
    std::ostringstream out;
    out << "| Figure | Program | Limit | Limit's figure | Ratio | Goal | Met |\n"
        << "|---|---:|---|---:|---:|---:|:---:|\n";
    for (const Figure& f : kFigures) {
        const Measurement* program = find(c, f.program);
        const Measurement* limit = find(c, f.limit);
        out << "| " << f.what << " | ";
        if (!program || !limit) {
            table.complete = false;
            out << (program ? "" : "not measured") << " | " << f.limitWhat << " | "
                << (limit ? "" : "not measured") << " | | | |\n";
            continue;
        }
        if (f.kind == Kind::PeakMemory) {
            const double p = peakMb(*program);
            const double l = peakMb(*limit);
            out << formatMb(p) << " | " << f.limitWhat << " | " << formatMb(l) << " | "
                << formatRatio(p / l) << " | under " << formatMb(f.goal) << " | "
                << (p < f.goal ? "yes" : "**no**") << " |\n";
        } else {
            const double p = program->BestMs();
            const double l = limit->BestMs();
            const double ratio = p / l;
            out << formatMs(p) << " | " << f.limitWhat << " | " << formatMs(l) << " | "
                << formatRatio(ratio) << " | ";
            if (f.kind == Kind::Reference)
                out << "none | |\n";
            else if (f.kind == Kind::Deadline)
                out << "under " << formatMs(f.goal) << " | " << (p < f.goal ? "yes" : "**no**")
                    << " |\n";
            else
                out << "at most " << formatRatio(f.goal) << " | "
                    << (ratio <= f.goal ? "yes" : "**no**") << " |\n";
        }
    }
    table.text = out.str();
    return table;
}

std::string steps(const Collector& c)
{
    std::ostringstream out;
    out << "| Step | Time |\n|---|---:|\n";
    for (const Step& step : kShowResultsSteps) {
        const Measurement* m = find(c, step.benchmark);
        out << "| " << step.what << " | " << (m ? formatMs(m->BestMs()) : "not measured") << " |\n";
    }
    return out.str();
}

std::string everyRun(const Collector& c)
{
    std::ostringstream out;
    out << "| Benchmark | Best | Median | Repetitions |\n|---|---:|---:|---:|\n";
    for (const auto& [name, m] : c.Results()) {
        out << "| " << name << " | ";
        if (!m.error.empty()) {
            out << "failed: " << m.error << " | | |\n";
            continue;
        }
        if (m.counters.count("peak_MB")) {
            out << formatMb(peakMb(m)) << " (peak) | | 1 |\n";
            continue;
        }
        out << formatMs(m.BestMs()) << " | " << formatMs(m.MedianMs()) << " | "
            << m.timesMs.size() << " |\n";
    }
    return out.str();
}

const char* const kMarker =
    "<!-- make bench rewrites everything above this line and keeps the notes below. -->";

std::string keptNotes(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    const auto at = text.find(kMarker);
    if (at == std::string::npos)
        return "\n## Notes\n\n(none yet)\n";
    return text.substr(at + std::char_traits<char>::length(kMarker));
}

} // namespace

double Measurement::BestMs() const
{
    return timesMs.empty() ? -1 : *std::min_element(timesMs.begin(), timesMs.end());
}

double Measurement::MedianMs() const
{
    if (timesMs.empty())
        return -1;
    std::vector<double> sorted = timesMs;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

Collector::Collector() : ConsoleReporter(OO_Tabular) {}

void Collector::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration)
            continue;
        Measurement& m = m_results[run.run_name.function_name];
        if (run.error_occurred) {
            m.error = run.error_message;
            continue;
        }
        const double perUnit = benchmark::GetTimeUnitMultiplier(run.time_unit);
        m.timesMs.push_back(run.GetAdjustedRealTime() / perUnit * 1e3);
        for (const auto& [name, counter] : run.counters)
            m.counters[name] = std::max(m.counters.count(name) ? m.counters[name] : 0.0,
                                        double(counter.value));
    }
    ConsoleReporter::ReportRuns(runs);
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void Report(const Collector& collector, const RunInfo& info, const std::string& resultsPath)
{
    const Table table = figures(collector);
    std::cout << "\nThe program beside the engine's own limit (best of " << info.repetitions
              << " repetitions, wall clock):\n\n"
              << table.text << "\nShow Results, step by step:\n\n"
              << steps(collector) << std::endl;
    if (!table.complete) {
        std::cout << "Not every figure was measured; " << resultsPath << " is left as it was."
                  << std::endl;
        return;
    }
    const std::string notes = keptNotes(resultsPath);
    std::ofstream out(resultsPath, std::ios::trunc);
    out << "# Benchmarks at the largest model\n\n"
        << "Written by `make bench`. The large file has 31 x 31 cells with 32 questions each "
           "(30,752 questions) and 100 surveys answering every question (3,075,200 answers); it "
           "is made by `quelt-db init` and filled in bulk, with no statistics gathered. The "
           "pickers are also measured on a file with 32,767 surveys. The largest model the "
           "program supports is made the same way: 100 x 100 cells with 3 questions each "
           "(30,000 questions) and 32,767 survey headers, the first 100 answering every "
           "question (3,000,000 answers); it is also measured as a copy without its two "
           "indexes and as a copy with planner statistics forged to send the engine "
           "astray.\n\n"
        << machine(info)
        << "\nThe numbers come from a shared 2-core virtual machine: other builds and tests may "
           "have run at the same time (see the load average). Times are wall clock, the best of "
        << info.repetitions
        << " repetitions (each the mean of its iterations); the program's figures and their "
           "limits run in one process, their repetitions interleaved in random order. Files are "
           "read from the operating system's cache.\n\n"
        << "## The program beside the engine's own limit\n\n"
        << table.text << "\n## Show Results, step by step\n\n"
        << steps(collector) << "\n## Every benchmark\n\n"
        << everyRun(collector) << "\n"
        << kMarker << notes;
    std::cout << "Written to " << resultsPath << std::endl;
}

} // namespace BenchReport
