#pragma once

#include <QByteArray>
#include <QString>

// What keeps a database file from reaching beyond itself. The engine trusts
// the files beside a database: a journal may name another file to delete
// once it is rolled back, and any of them may be a pipe that blocks the
// first read forever. Both are refused here, before the engine sees them.
namespace dbengine_detail {

// The engine's file layer every connection opens through: the system's own,
// except that it creates and deletes no file other than an open database's
// own -journal, -wal and -shm (and scratch files it makes without a name),
// changes none of them for a database open only for reading, and opens
// nothing that is not a regular file. Registered with the engine once.
const char* GuardedFileLayer();

// Refuses, without waiting on anything, a database that is not a regular
// file, a -journal, -wal or -shm beside it that is not one, and a journal
// that names another file for the engine to delete. A missing database is
// left to the open (which says so).
void RefuseUnsafeFiles(const QString& shownPath, const QByteArray& nativePath);

// Whether the engine will read the file in WAL mode: its header says so
// (read version 2, byte 19, whatever byte 18 holds), or a -wal lies beside
// it, which the engine opens whatever the header says.
bool EngineUsesWal(const QByteArray& nativePath);

} // namespace dbengine_detail
