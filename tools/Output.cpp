#include "Output.h"

#include "Command.h"

#include "platform/QueltError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void RefuseOutputOverDatabase(const QString& output, const QString& database)
{
    if (output.isEmpty())
        return;
    const QFileInfo out(output);
    const QFileInfo db(database);
    const bool same = out.exists() && db.exists()
                          ? out.canonicalFilePath() == db.canonicalFilePath()
                          : out.absoluteFilePath() == db.absoluteFilePath();
    if (same)
        throw UsageError(QStringLiteral("--output must not name the database file"));
}

namespace {

// Small writes gather here; one system call per this much keeps a large
// export from costing a call per line.
constexpr qsizetype kBufferSize = 1 << 16;

QString reason(int error)
{
    const QString text = QString::fromLocal8Bit(std::strerror(error));
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("the disk is full (%1)").arg(text);
    return text;
}

bool sameFile(const struct stat& a, int fd)
{
    struct stat b;
    return fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where a path that may be a chain of symbolic links ends, even when the end
// does not exist yet: the file is made there and the links are kept.
QByteArray followLinks(QByteArray path)
{
    for (int hops = 0; hops < 40; ++hops) {
        char target[4096];
        const ssize_t n = readlink(path.constData(), target, sizeof target - 1);
        if (n < 0)
            return path;
        const QByteArray next(target, n);
        if (next.startsWith('/')) {
            path = next;
        } else {
            const qsizetype slash = path.lastIndexOf('/');
            path = slash < 0 ? next : path.left(slash + 1) + next;
        }
    }
    return path;
}

// The file being written beside its final place, for the signal handler: a
// fixed buffer, as only async-signal-safe calls may be made there.
char g_unfinished[4096];

void removeUnfinished(int signal)
{
    if (g_unfinished[0] != '\0')
        unlink(g_unfinished);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void setUnfinished(const QByteArray& path)
{
    const qsizetype n = path.size() < qsizetype(sizeof g_unfinished) ? path.size() : 0;
    std::memcpy(g_unfinished, path.constData(), size_t(n));
    g_unfinished[n] = '\0';
}

mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

void Output::HandleSignals()
{
    std::signal(SIGXFSZ, SIG_IGN);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, removeUnfinished);
}

Output::Output()
{
    m_where = QStringLiteral("Standard output");
    m_fd = STDOUT_FILENO;
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

Output& Output::Standard()
{
    static Output standard;
    return standard;
}

bool Output::IsTerminal() const
{
    return m_fd >= 0 && isatty(m_fd) == 1;
}

Output::Output(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const QString shown = QFileInfo(path).absoluteFilePath();
    struct stat st;
    if (stat(native.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw QueltError(QStringLiteral("%1 is a folder; name a file to write to.").arg(shown));
        // Already where standard output or error goes (/dev/stdout, or a file
        // the shell opened): written there, as the shell's redirection meant.
        for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            if (sameFile(st, fd)) {
                m_kind = Kind::Through;
                m_fd = dup(fd);
                break;
            }
        }
        if (m_kind != Kind::Through && !S_ISREG(st.st_mode)) {
            m_kind = Kind::Through;
            m_fd = ::open(native.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        }
        if (m_kind == Kind::Through) {
            m_where = shown;
            if (m_fd < 0)
                throw QueltError(QStringLiteral("%1 could not be opened for writing: %2.")
                                     .arg(shown, reason(errno)));
            open(QIODevice::WriteOnly | QIODevice::Unbuffered);
            return;
        }
    } else if (errno != ENOENT) {
        throw QueltError(
            QStringLiteral("The file %1 could not be made: %2.").arg(shown, reason(errno)));
    }

    m_kind = Kind::Replace;
    m_where = QStringLiteral("The file %1").arg(shown);
    char* real = realpath(native.constData(), nullptr);
    m_target = real ? QByteArray(real) : followLinks(native);
    std::free(real);
    QByteArray name = m_target + ".XXXXXX";
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw QueltError(
            QStringLiteral("The file %1 could not be made: %2.").arg(shown, reason(errno)));
    m_temporary = name;
    setUnfinished(m_temporary);
    // The mode the file would have had when written in place.
    const mode_t mode = stat(m_target.constData(), &st) == 0 ? st.st_mode & 07777 : newFileMode();
    if (fchmod(m_fd, mode) != 0) {
        const int error = errno;
        discard();
        throw QueltError(
            QStringLiteral("The file %1 could not be made: %2.").arg(shown, reason(error)));
    }
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

Output::~Output()
{
    discard();
}

void Output::discard()
{
    if (m_kind == Kind::Standard || m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        unlink(m_temporary.constData());
    m_temporary.clear();
    setUnfinished({});
}

void Output::fail(const QString& what, int error)
{
    if (m_failure.isEmpty())
        m_failure = QStringLiteral("%1 could not be %2: %3.").arg(m_where, what, reason(error));
}

void Output::raise() const
{
    throw QueltError(m_failure);
}

void Output::drain()
{
    const char* data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0 && m_failure.isEmpty()) {
        const ssize_t n = ::write(m_fd, data, size_t(left));
        if (n < 0) {
            if (errno != EINTR)
                fail(QStringLiteral("written"), errno);
            continue;
        }
        data += n;
        left -= n;
    }
    m_buffer.clear();
}

qint64 Output::writeData(const char* data, qint64 size)
{
    if (!m_failure.isEmpty())
        return -1;
    m_buffer.append(data, size);
    if (m_buffer.size() >= kBufferSize)
        drain();
    return m_failure.isEmpty() ? size : -1;
}

void Output::Put(const char* data, qsizetype size)
{
    if (writeData(data, size) < 0)
        raise();
}

void Output::Finish()
{
    drain();
    if (!m_failure.isEmpty())
        raise();
    if (m_kind == Kind::Standard || m_fd < 0)
        return;
    // Some file systems only find out at the sync or the close that the disk
    // is full.
    if (m_kind == Kind::Replace && fdatasync(m_fd) != 0)
        fail(QStringLiteral("written"), errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        fail(QStringLiteral("written"), errno);
    if (m_failure.isEmpty() && m_kind == Kind::Replace &&
        rename(m_temporary.constData(), m_target.constData()) != 0)
        fail(QStringLiteral("put in place"), errno);
    if (m_kind == Kind::Replace && !m_failure.isEmpty())
        unlink(m_temporary.constData());
    m_temporary.clear();
    setUnfinished({});
    close();
    if (!m_failure.isEmpty())
        raise();
}

void WriteText(const QString& path, QTextStream& out,
               const std::function<void(QTextStream&, bool terminal)>& write)
{
    out.flush();
    if (path.isEmpty()) {
        write(out, Output::Standard().IsTerminal());
        out.flush();
        Output::Standard().Finish();
        return;
    }
    Output output(path);
    QTextStream stream(&output);
    write(stream, output.IsTerminal());
    stream.flush();
    output.Finish();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    Output output(path);
    output.Put(bytes);
    output.Finish();
}
