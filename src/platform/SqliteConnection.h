#pragma once

#include "platform/DbConnection.h"

#include <chrono>

namespace dbengine_detail {

// How a file is opened: an existing one for reading and writing, a new one,
// or an existing one that nothing may change, not even a journal beside it.
// Scratch is a database in memory only, never a file.
enum class OpenMode { ReadWrite, Create, ReadOnly, Scratch };

struct EngineLimits
{
    // How long a statement waits for another program's lock.
    int busyTimeoutMs = 5000;
    // How long one statement may keep the engine busy; 0 for no limit.
    int statementLimitMs = 0;
};

// The time one action's statements have together, from its start: every
// statement on this thread stops once `deadline` has passed. limitMs 0: none.
struct ActionLimit
{
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    int limitMs = 0;
};
// Sets the limit for the statements to come and gives the one before.
ActionLimit SwapActionLimit(const ActionLimit& limit);

// Opens a database file through Qt's SQLite driver and runs statements on the
// engine's own interface under that connection. `shownPath` is what messages
// call the file; `nativePath` its bytes as the operating system has them,
// which need not be UTF-8. The file is read once right away, so a file that
// is not a database fails here, unchanged.
std::shared_ptr<Connection> OpenSqliteFile(const QString& shownPath, const QByteArray& nativePath,
                                           OpenMode mode, const EngineLimits& limits);

// The longest text or value a connection reads or stores, in bytes. A window
// shows a text of this length in well under a second; a file made by other
// means can hold texts far longer, which would take the program's memory.
constexpr int kLongestValueBytes = 1000000;

} // namespace dbengine_detail
