// Loaded into quelt-db (LD_PRELOAD) by OutputsTest: makes one of the last
// steps of writing an output file fail, as a failing disk or file system can
// make it fail after every write went well. QUELT_FAIL_CALL names the step
// (fdatasync, close or rename), QUELT_FAIL_PATH the output: the step fails
// for it and for whatever is written beside it under a longer name.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

template <class F>
F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool failing(const char* call, const char* path)
{
    const char* wanted = std::getenv("QUELT_FAIL_CALL");
    const char* output = std::getenv("QUELT_FAIL_PATH");
    return wanted && output && path && std::strcmp(wanted, call) == 0 &&
           std::strncmp(path, output, std::strlen(output)) == 0;
}

bool failingFd(const char* call, int fd)
{
    char link[64] = "/proc/self/fd/";
    char digits[16];
    int n = 0;
    for (unsigned value = unsigned(fd); n == 0 || value > 0; value /= 10)
        digits[n++] = char('0' + value % 10);
    char* at = link + std::strlen(link);
    while (n > 0)
        *at++ = digits[--n];
    char path[4096];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length < 0)
        return false;
    path[length] = '\0';
    return failing(call, path);
}

} // namespace

extern "C" int fdatasync(int fd)
{
    if (failingFd("fdatasync", fd)) {
        errno = EIO;
        return -1;
    }
    return next<int (*)(int)>("fdatasync")(fd);
}

extern "C" int close(int fd)
{
    const bool fail = failingFd("close", fd);
    const int result = next<int (*)(int)>("close")(fd);
    if (fail) {
        errno = EIO;
        return -1;
    }
    return result;
}

extern "C" int rename(const char* from, const char* to)
{
    if (failing("rename", to)) {
        errno = EIO;
        return -1;
    }
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}
