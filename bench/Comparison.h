#pragma once

#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

// The comparison of every figure of the program with its limit: collected
// from the benchmark runs as they are reported, printed at the end and
// written to bench/results.md with a description of the machine.
namespace BenchReport {

struct Measurement
{
    // Per-iteration wall time of each repetition, in milliseconds.
    std::vector<double> timesMs;
    std::map<std::string, double> counters;
    std::string error;

    double BestMs() const;
    double MedianMs() const;
};

// Prints the runs as the console reporter does and keeps their timings.
class Collector : public benchmark::ConsoleReporter
{
public:
    Collector();
    void ReportRuns(const std::vector<Run>& runs) override;
    const std::map<std::string, Measurement>& Results() const { return m_results; }

private:
    std::map<std::string, Measurement> m_results;
};

struct RunInfo
{
    std::string loadBefore;
    std::string loadAfter;
    int repetitions = 0;
};

// Reads /proc/loadavg: the three load averages.
std::string LoadAverage();

// Prints the table. Writes results.md when every figure was measured,
// keeping the notes below the marker line of the file as they are.
void Report(const Collector& collector, const RunInfo& info, const std::string& resultsPath);

} // namespace BenchReport
