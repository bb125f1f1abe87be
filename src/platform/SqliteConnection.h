#pragma once

#include "platform/DbConnection.h"

namespace dbengine_detail {

// Opens a database file through Qt's SQLite driver and runs statements on the
// engine's own interface under that connection. `mode` is the engine's URI
// mode: "rw" for an existing file, "rwc" to make a new one. The file is read
// once right away, so a file that is not a database fails here, unchanged.
std::shared_ptr<Connection> OpenSqliteFile(const QString& absolutePath, const QString& mode,
                                           int busyTimeoutMs);

} // namespace dbengine_detail
