#pragma once

#include <QString>

// Benchmark files, made once and cached outside the source tree
// ($QUELT_BENCH_CACHE, else ~/.cache/quelt-bench). Each is made by
// `quelt-db init` and then filled in bulk, with nothing run on it afterwards
// (no statistics), as a user's file grows.
namespace BenchData {

inline constexpr int kRows = 31;
inline constexpr int kCols = 31;
inline constexpr int kQuestionsPerCell = 32;
inline constexpr int kSurveys = 100;

// 31 x 31 cells, 32 questions each, 100 surveys answering every question once.
QString LargeDb();
// The demo file of `quelt-db demo`.
QString DemoDb();
// The 6 x 6 model with 32,767 survey headers and no answers: the pickers' worst case.
QString ManySurveysDb();
// A 3 x 3 model whose cell (1, 0) holds kLargeCellQuestions questions, one survey.
inline constexpr int kLargeCellQuestions = 32003;
QString LargeCellDb();

// The largest model the program supports: 100 x 100 cells, 3 questions
// each (30,000), 32,767 survey headers, the first 100 of which answer every
// question once (3,000,000 answers).
inline constexpr int kHundred = 100;
inline constexpr int kHundredQuestionsPerCell = 3;
QString HundredDb();

// What a file made by other means may have done to a copy of a benchmark
// file: its two indexes dropped, or planner statistics written that tell the
// engine the answers' index finds nothing and the questions are one.
void DropIndexes(const QString& path);
void ForgeStatistics(const QString& path);

// A fresh copy of a cached file in a temporary folder, for benchmarks that write.
QString CopyToTemp(const QString& source, const QString& folder);

QString CacheDir();
// The quelt-db binary the files are made with.
QString QueltDbTool();

} // namespace BenchData
