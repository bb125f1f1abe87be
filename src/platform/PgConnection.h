#pragma once

#include "platform/DbConnection.h"

namespace dbengine_detail {

// Whether a location names a database server (a libpq URI, "postgresql://"
// or "postgres://") rather than a file.
bool IsServerLocation(const QString& location);

// Connects to the server database a libpq URI names, through Qt's PostgreSQL
// driver, and runs statements on libpq's own interface under that
// connection. Passwords come from where libpq users keep them (~/.pgpass,
// PGPASSWORD, a service file), never from the location. `readOnly` makes
// every transaction of the connection read-only. A lock held by another
// desktop is waited for up to `lockTimeoutMs`; a server that does not answer
// is given up after 10 seconds.
std::shared_ptr<Connection> OpenServerDatabase(const QString& location, bool readOnly,
                                               int lockTimeoutMs);

} // namespace dbengine_detail
