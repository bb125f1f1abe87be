#pragma once

#include <QString>

// Why nothing could be stored in the database file at `path`, in the words
// the engine's own failures use: the file is read-only, or its folder does
// not let the engine write the journal it keeps beside the file during a
// write. Empty when both can be written, and for a file that is not there
// (opening it says so). Asks the system, not the engine: nothing is opened.
QString WriteRefusal(const QString& path);

// The operating system's name for the user this program runs as, which a
// file's history records as who changed it: the login name, or the user's
// number where the system has no name for it.
QString OperatingSystemUser();
