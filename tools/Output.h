#pragma once

#include <QString>
#include <QTextStream>
#include <functional>

class Database;
class QIODevice;

// A usage error when an output path names the database itself: a report must
// never take the place of the file it reports on.
void RefuseOutputOverDatabase(const QString& output, const QString& database);

// Writes text to `path`, or to `out` when path is empty. A file appears only
// whole: it is written beside its final place and renamed there on success, so
// a failure leaves whatever was there before, or nothing.
void WriteText(const QString& path, QTextStream& out,
               const std::function<void(QTextStream&)>& write);

// The same for bytes made by a writer that needs a device (images, documents).
void WriteFile(const QString& path, const std::function<void(QIODevice&)>& write);
