// The benchmark runner: a QApplication for the windows (offscreen unless a
// platform is asked for), the cached files made first, every benchmark, then
// the comparison table, printed and written to bench/results.md.

#include "BenchSupport.h"
#include "Comparison.h"
#include "LargeDb.h"

#include "platform/Toolkit.h"

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kRepetitions = 5;

QtMessageHandler g_qtHandler = nullptr;

// The offscreen platform has no window manager to raise windows or take size
// hints; its word on each show would bury the figures.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QLatin1String("This plugin does not support")))
        return;
    g_qtHandler(type, context, text);
}

void makeFiles()
{
    const bool cached = QFile::exists(BenchData::CacheDir() + QStringLiteral("/large.mdb")) &&
                        QFile::exists(BenchData::CacheDir() + QStringLiteral("/hundred.mdb"));
    if (!cached)
        std::cout << "Making the benchmark files in " << BenchData::CacheDir().toStdString()
                  << " (once; about a minute)..." << std::endl;
    BenchData::LargeDb();
    BenchData::HundredDb();
    BenchData::ManySurveysDb();
    BenchData::DemoDb();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_qtHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    InitToolkit(app);

    // Defaults first, so flags given on the command line win.
    std::vector<std::string> args = {
        argv[0],
        "--benchmark_repetitions=" + std::to_string(kRepetitions),
        "--benchmark_enable_random_interleaving=true",
        "--benchmark_min_time=0.3",
    };
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    std::vector<char*> benchArgv;
    for (std::string& a : args)
        benchArgv.push_back(a.data());
    int benchArgc = int(benchArgv.size());
    benchmark::Initialize(&benchArgc, benchArgv.data());
    if (benchmark::ReportUnrecognizedArguments(benchArgc, benchArgv.data()))
        return 1;

    makeFiles();
    BenchReport::RunInfo info;
    info.repetitions = kRepetitions;
    for (const std::string& a : args) {
        if (a.rfind("--benchmark_repetitions=", 0) == 0)
            info.repetitions = std::stoi(a.substr(a.find('=') + 1));
    }
    info.loadBefore = BenchReport::LoadAverage();
    BenchReport::Collector collector;
    try {
        benchmark::RunSpecifiedBenchmarks(&collector);
    } catch (const TestAbort& missing) {
        // A window or control the benchmark drives is not there: no figure
        // of this run means anything.
        std::cerr << "The benchmarks stopped: " << missing.what() << std::endl;
        return 1;
    }
    info.loadAfter = BenchReport::LoadAverage();
    const QString results = Bench::SourceDir() + QStringLiteral("/bench/results.md");
    BenchReport::Report(collector, info, results.toStdString());
    benchmark::Shutdown();
    return 0;
}
