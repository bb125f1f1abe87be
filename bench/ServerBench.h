#pragma once

#include <QString>

// The large file on a throwaway database server of the benchmark's own
// (tests/server/pg-server), over its Unix socket: started and filled by
// `quelt-db copy` the first time it is asked for, statistics gathered as a
// server does by itself, stopped when the benchmarks end.
namespace BenchServer {

// The server database's location; empty, with the reason in `why`, when no
// server could be had.
QString LargeDb(QString* why);

} // namespace BenchServer
