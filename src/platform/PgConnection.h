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
// session is waited for up to `lockTimeoutMs`; a server that cannot be
// reached is given up after 10 seconds, and one that leaves a statement
// unanswered for `answerLimitMs` (0: no limit) too, closing the connection.
// The session's search path is pg_catalog alone: statements name the schema
// of every table.
// A connection let go of in a sound state is kept for a few seconds and
// taken again by the next opening of the same location with the same
// settings.
std::shared_ptr<Connection> OpenServerDatabase(const QString& location, bool readOnly,
                                               int lockTimeoutMs, int answerLimitMs);

// Closes the connections kept for reuse.
void CloseIdleServerConnections();

} // namespace dbengine_detail
