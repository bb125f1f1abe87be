#pragma once

#include "common/Ui.h"

#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <chrono>
#include <string>
#include <vector>

class QComboBox;

// What every window benchmark needs: a folder of its own with the file the
// windows open, nothing left blocking on a message box, and no window of one
// benchmark surviving into the next.
namespace Bench {

// A temporary folder made the current one, holding `source` as quelt.mdb:
// a hard link to the cached file for benchmarks that only read (a copy where
// no link can be made), a private copy for those that write. The previous
// current folder comes back, and every window is closed, when it goes.
class Folder
{
public:
    enum Mode { Share, Copy };
    Folder(const QString& source, Mode mode);
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    QString FilePath() const;

private:
    QString m_previous;
    QString m_path;
};

// Takes every message box instead of showing it. A message other than the
// expected ones fails the benchmark: an error report means the figure timed
// a failure, not the work.
class Messages
{
public:
    explicit Messages(benchmark::State& state, QStringList expected = {});
    ~Messages();
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    // True (and the benchmark marked failed) once an unexpected message came.
    bool Failed() const { return m_failed; }

private:
    benchmark::State& m_state;
    QStringList m_expected;
    bool m_failed = false;
};

// Takes away, untimed, the answers stored for `survey` since it was made, so
// that every iteration of a Submit stores into the same file. Left to pile
// up, the iterations' own answers (as many as the runner chose to run, and
// on the server over every repetition) change what is measured: the
// window counts every answer of the cell after its Submit, and the inserts
// land among ever more of them.
class AnswersAdded
{
public:
    AnswersAdded(const QString& location, int survey);
    // Opens the database for each call, so no second connection is open
    // while the figure is timed.
    void TakeAway() const;

private:
    QString m_location;
    int m_survey;
    QString m_order;
    qint64 m_last = 0;
};

// The tests' own: let pending paints and deferred deletes run; close every
// window as the user's close box would.
using Ui::CloseAllWindows;
using Ui::Settle;
// A user's pick: the index moves, then the handler runs.
void Pick(QComboBox* combo, int index);

using Clock = std::chrono::steady_clock;
// Seconds since `start`, for benchmarks that time only part of an iteration.
double Seconds(Clock::time_point start);

QStringList Strings(const std::vector<std::string>& values);

// Where the benchmark sources live, for results.md.
QString SourceDir();

} // namespace Bench
