#include "platform/SqliteGuard.h"

#include "platform/FilePath.h"
#include "platform/QueltError.h"

#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace dbengine_detail {

namespace {

// ---------------------------------------------------------------- the file layer

// The databases open through the layer, by the full name the engine gives
// them, and how many of their opens may write: only those may create or
// delete the files beside them.
struct OpenDatabase
{
    int opens = 0;
    int writable = 0;
};

std::mutex g_openMutex;
std::map<std::string, OpenDatabase> g_open;

sqlite3_vfs* systemLayer()
{
    return static_cast<sqlite3_vfs*>(sqlite3_vfs_find(nullptr));
}

// What the engine keeps beside a database, by the suffix of its name.
constexpr const char* kCompanions[] = {"-journal", "-wal"};

// The database a -journal or -wal belongs to, if it is open through the
// layer; `writable` asks for an open that may write.
bool belongsToOpenDatabase(const char* name, bool writable)
{
    const std::string file(name);
    for (const char* suffix : kCompanions) {
        const size_t n = std::strlen(suffix);
        if (file.size() <= n || file.compare(file.size() - n, n, suffix) != 0)
            continue;
        const std::lock_guard<std::mutex> lock(g_openMutex);
        const auto found = g_open.find(file.substr(0, file.size() - n));
        if (found != g_open.end() && (writable ? found->second.writable : found->second.opens) > 0)
            return true;
    }
    return false;
}

// A name that is there but is no regular file: a pipe would block the first
// read forever, and a device or socket is no database.
bool presentButIrregular(const char* name)
{
    struct stat st;
    return ::stat(name, &st) == 0 && !S_ISREG(st.st_mode);
}

bool present(const char* name)
{
    struct stat st;
    return ::stat(name, &st) == 0;
}

// A database file, with the system's own file behind it in the same block of
// memory; its close is seen, so that the layer knows what is open.
struct GuardedFile
{
    sqlite3_file base;
    sqlite3_file* real;
    // Owned (sqlite3_malloc); null when the open was not counted.
    char* name;
    bool writable;
};

sqlite3_file* realOf(sqlite3_file* file)
{
    return reinterpret_cast<GuardedFile*>(file)->real;
}

void forget(GuardedFile* file)
{
    if (!file->name)
        return;
    {
        const std::lock_guard<std::mutex> lock(g_openMutex);
        const auto found = g_open.find(file->name);
        if (found != g_open.end()) {
            found->second.writable -= file->writable ? 1 : 0;
            if (--found->second.opens == 0)
                g_open.erase(found);
        }
    }
    sqlite3_free(file->name);
    file->name = nullptr;
}

const sqlite3_io_methods* guardedMethods(int version)
{
    static sqlite3_io_methods methods[4];
    static std::once_flag made;
    std::call_once(made, [] {
        for (int v = 1; v <= 3; ++v) {
            sqlite3_io_methods& m = methods[v];
            m.iVersion = v;
            m.xClose = [](sqlite3_file* f) {
                auto* file = reinterpret_cast<GuardedFile*>(f);
                const int rc = file->real->pMethods->xClose(file->real);
                forget(file);
                return rc;
            };
            m.xRead = [](sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
                return realOf(f)->pMethods->xRead(realOf(f), buffer, amount, offset);
            };
            m.xWrite = [](sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
                return realOf(f)->pMethods->xWrite(realOf(f), buffer, amount, offset);
            };
            m.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
                return realOf(f)->pMethods->xTruncate(realOf(f), size);
            };
            m.xSync = [](sqlite3_file* f, int flags) {
                return realOf(f)->pMethods->xSync(realOf(f), flags);
            };
            m.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
                return realOf(f)->pMethods->xFileSize(realOf(f), size);
            };
            m.xLock = [](sqlite3_file* f, int level) {
                return realOf(f)->pMethods->xLock(realOf(f), level);
            };
            m.xUnlock = [](sqlite3_file* f, int level) {
                return realOf(f)->pMethods->xUnlock(realOf(f), level);
            };
            m.xCheckReservedLock = [](sqlite3_file* f, int* out) {
                return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
            };
            m.xFileControl = [](sqlite3_file* f, int op, void* arg) {
                return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
            };
            m.xSectorSize = [](sqlite3_file* f) {
                return realOf(f)->pMethods->xSectorSize(realOf(f));
            };
            m.xDeviceCharacteristics = [](sqlite3_file* f) {
                return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
            };
            if (v < 2)
                continue;
            m.xShmMap = [](sqlite3_file* f, int page, int size, int extend, void volatile** out) {
                return realOf(f)->pMethods->xShmMap(realOf(f), page, size, extend, out);
            };
            m.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
                return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
            };
            m.xShmBarrier = [](sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); };
            m.xShmUnmap = [](sqlite3_file* f, int deleteFlag) {
                return realOf(f)->pMethods->xShmUnmap(realOf(f), deleteFlag);
            };
            if (v < 3)
                continue;
            m.xFetch = [](sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
                return realOf(f)->pMethods->xFetch(realOf(f), offset, amount, out);
            };
            m.xUnfetch = [](sqlite3_file* f, sqlite3_int64 offset, void* page) {
                return realOf(f)->pMethods->xUnfetch(realOf(f), offset, page);
            };
        }
    });
    return &methods[version < 1 ? 1 : version > 3 ? 3 : version];
}

int refuseOpen(sqlite3_file* file)
{
    file->pMethods = nullptr;
    return SQLITE_CANTOPEN;
}

int guardedOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    sqlite3_vfs* system = systemLayer();
    // Scratch space the engine names itself, in the system's folder for
    // such files, and removes as soon as it is open.
    if (!name)
        return system->xOpen(system, name, file, flags, outFlags);
    if (presentButIrregular(name))
        return refuseOpen(file);
    if (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)) {
        // Only an open that may write makes one that is not there yet.
        const bool creates = (flags & SQLITE_OPEN_CREATE) && !present(name);
        if (!belongsToOpenDatabase(name, creates))
            return refuseOpen(file);
        return system->xOpen(system, name, file, flags, outFlags);
    }
    // A super-journal is only ever made for several databases written in one
    // transaction, which the program never does; reading one is how a
    // journal makes the engine delete the files it lists, and then itself.
    if (!(flags & SQLITE_OPEN_MAIN_DB))
        return refuseOpen(file);
    auto* guarded = reinterpret_cast<GuardedFile*>(file);
    guarded->real = reinterpret_cast<sqlite3_file*>(guarded + 1);
    guarded->name = nullptr;
    guarded->writable = (flags & SQLITE_OPEN_READWRITE) != 0;
    const int rc = system->xOpen(system, name, guarded->real, flags, outFlags);
    guarded->base.pMethods =
        guarded->real->pMethods ? guardedMethods(guarded->real->pMethods->iVersion) : nullptr;
    if (rc != SQLITE_OK)
        return rc;
    guarded->writable = guarded->writable && !(outFlags && (*outFlags & SQLITE_OPEN_READONLY));
    guarded->name = sqlite3_mprintf("%s", static_cast<const char*>(name));
    if (!guarded->name)
        return SQLITE_NOMEM;
    const std::lock_guard<std::mutex> lock(g_openMutex);
    OpenDatabase& open = g_open[guarded->name];
    ++open.opens;
    open.writable += guarded->writable ? 1 : 0;
    return SQLITE_OK;
}

int guardedDelete(sqlite3_vfs*, const char* name, int syncFolder)
{
    if (!belongsToOpenDatabase(name, true))
        return SQLITE_IOERR_DELETE;
    sqlite3_vfs* system = systemLayer();
    return system->xDelete(system, name, syncFolder);
}

sqlite3_vfs* registeredLayer()
{
    static sqlite3_vfs layer;
    static std::once_flag registered;
    std::call_once(registered, [] {
        sqlite3_vfs* system = systemLayer();
        // Everything else as the system's layer does it; none of its other
        // functions depends on which layer it is called through.
        layer = *system;
        layer.pNext = nullptr;
        layer.zName = "quelt-guarded";
        layer.szOsFile = int(sizeof(GuardedFile)) + system->szOsFile;
        layer.xOpen = guardedOpen;
        layer.xDelete = guardedDelete;
        if (sqlite3_vfs_register(&layer, 0) != SQLITE_OK)
            throw QueltError(QStringLiteral("The database engine did not take the program's file "
                                            "layer."));
    });
    return &layer;
}

// ---------------------------------------------------------------- before the engine

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// The end of a rollback journal that names a super-journal: the name, its
// length and checksum, and the journal's magic number.
constexpr unsigned char kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr qint64 kTrailer = 16;
// Enough of a name to show; the engine reads none longer than a path.
constexpr qint64 kShownName = 512;

// The name a journal gives for the engine to delete after rolling it back,
// read as the engine reads it but without its checksum, so that nothing it
// might act on goes unseen. Empty when the journal names none.
QByteArray superJournalName(int fd, qint64 size)
{
    if (size < kTrailer)
        return {};
    unsigned char trailer[kTrailer];
    if (::pread(fd, trailer, kTrailer, size - kTrailer) != kTrailer ||
        std::memcmp(trailer + 8, kJournalMagic, sizeof kJournalMagic) != 0)
        return {};
    const quint32 length = (quint32(trailer[0]) << 24) | (quint32(trailer[1]) << 16) |
                           (quint32(trailer[2]) << 8) | quint32(trailer[3]);
    if (length == 0 || qint64(length) > size - kTrailer)
        return {};
    QByteArray name(qMin<qint64>(length, kShownName), '\0');
    if (::pread(fd, name.data(), size_t(name.size()), size - kTrailer - length) != name.size())
        return QByteArrayLiteral("?");
    // The engine reads the name as a C string.
    return name.left(name.indexOf('\0') < 0 ? name.size() : name.indexOf('\0'));
}

[[noreturn]] void refuseCompanion(const QString& shown, const QString& companion,
                                  const QString& kind)
{
    throw QueltError(QStringLiteral("The file %1 cannot be opened: %2 beside it is %3, where the "
                                    "database engine keeps a file of its own. Nothing was read "
                                    "or stored; move %2 away, then try again.")
                         .arg(shown, companion, kind),
                     {}, {}, shown);
}

} // namespace

const char* GuardedFileLayer()
{
    return registeredLayer()->zName;
}

void RefuseUnsafeFiles(const QString& shownPath, const QByteArray& nativePath)
{
    struct stat st;
    if (::stat(nativePath.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        throw QueltError(
            QStringLiteral("\"%1\" is %2, not a database file.").arg(shownPath, kindOf(st.st_mode)),
            {}, {}, shownPath);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const QByteArray companion = nativePath + suffix;
        if (::stat(companion.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            refuseCompanion(shownPath, nameOf(shownPath) + QLatin1String(suffix),
                            kindOf(st.st_mode));
    }
    const QByteArray journal = nativePath + "-journal";
    // Not blocking, should the journal have become a pipe since.
    const int fd = ::open(journal.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    QByteArray named;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        named = superJournalName(fd, st.st_size);
    ::close(fd);
    if (named.isEmpty())
        return;
    throw QueltError(
        QStringLiteral("The file %1 cannot be opened safely: its journal %2-journal names "
                       "another file, \"%3\", which the database engine would delete on "
                       "recovering the journal. This program never writes such a journal. "
                       "Nothing was read, stored or deleted; move %2-journal away from the "
                       "file, then run quelt-db check on it.")
            .arg(shownPath, nameOf(shownPath), QString::fromUtf8(named)),
        {}, {}, shownPath);
}

bool EngineUsesWal(const QByteArray& nativePath)
{
    struct stat st;
    if (::stat((nativePath + "-wal").constData(), &st) == 0)
        return true;
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char readVersion = 0;
    const bool read =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::pread(fd, &readVersion, 1, 19) == 1;
    ::close(fd);
    return read && readVersion == 2;
}

} // namespace dbengine_detail
