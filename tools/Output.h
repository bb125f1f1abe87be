#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QTextStream>
#include <functional>

// A usage error when an output path names the database itself: a report must
// never take the place of the file it reports on.
void RefuseOutputOverDatabase(const QString& output, const QString& database);

// Where a command's output goes, and the one place that writes it.
//
// - Standard output (Output::Standard()) is written as it comes.
// - A regular file, or a name that does not exist yet, appears only whole: it
//   is written beside its final place and renamed there once complete, so a
//   failure leaves whatever was there before, or nothing.
// - Anything else a path can name (a device such as /dev/null, a named pipe,
//   a process substitution, the file standard output already goes to) is
//   written straight through and never replaced.
//
// Every write is checked. The first failure is kept, later writes are dropped,
// and Finish() (or Put()) reports it naming where the output was going; a
// full disk is called that.
class Output : public QIODevice
{
public:
    // Opens `path` for writing as described above; a path that cannot take
    // output (a folder, a socket, a missing folder) throws QueltError.
    explicit Output(const QString& path);
    ~Output() override;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // The process's standard output, shared by everything that prints.
    static Output& Standard();

    // Whether the output goes to a terminal, which must be shown stored texts
    // rather than be given them to act on.
    bool IsTerminal() const;

    // A file over its size limit fails its write like a full disk instead of
    // ending the program, and an interrupted or terminated program takes its
    // unfinished file with it. Called once, at the start.
    static void HandleSignals();

    // Writes bytes; throws QueltError once a write has failed.
    void Put(const char* data, qsizetype size);
    void Put(const QByteArray& bytes) { Put(bytes.constData(), bytes.size()); }

    // Writes out what is buffered and completes the output: a file is synced
    // and moved into place, a device closed. Throws QueltError on any failure.
    // Standard output stays open and may be finished again.
    void Finish();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    enum class Kind { Standard, Replace, Through };
    Output();
    void drain();
    void fail(const QString& what, int error);
    [[noreturn]] void raise() const;
    void discard();

    Kind m_kind = Kind::Standard;
    int m_fd = -1;
    QString m_where;        // as messages name it
    QByteArray m_target;    // Replace: the file to move into place
    QByteArray m_temporary; // Replace: where it is written first
    QByteArray m_buffer;
    QString m_failure;
};

// Writes text to `path`, or to standard output when path is empty (after what
// `out` holds), through an Output; `write` is told whether that is a terminal.
void WriteText(const QString& path, QTextStream& out,
               const std::function<void(QTextStream&, bool terminal)>& write);

// The same for bytes made whole beforehand (images, documents).
void WriteBytes(const QString& path, const QByteArray& bytes);
