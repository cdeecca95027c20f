// Preloaded into a process of tst_platform: appends the path of every file
// the process opens, one a line, to the file named by WAZUNA_OPEN_LOG. An
// inotify watch would see the opens of every process on the machine.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

int logFd = -1;

__attribute__((constructor)) void openLog()
{
    if (const char *name = std::getenv("WAZUNA_OPEN_LOG"))
        logFd = int(::syscall(SYS_openat, AT_FDCWD, name, O_WRONLY | O_APPEND | O_CLOEXEC));
}

// `path` as opened relative to `dir`, made absolute.
void note(int dir, const char *path)
{
    if (logFd < 0 || !path)
        return;
    char line[8192];
    int n = 0;
    if (path[0] != '/') {
        if (dir == AT_FDCWD) {
            if (!::getcwd(line, sizeof line / 2))
                return;
            n = int(std::strlen(line));
        } else {
            char link[64];
            std::snprintf(link, sizeof link, "/proc/self/fd/%d", dir);
            const ssize_t got = ::readlink(link, line, sizeof line / 2);
            if (got < 0)
                return;
            n = int(got);
        }
        line[n++] = '/';
    }
    n += std::snprintf(line + n, sizeof line - size_t(n), "%s\n", path);
    if (n >= int(sizeof line) || ::write(logFd, line, size_t(n)) < 0)
        return;
}

template <class F> F real(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

// The mode is there only when the flags create a file.
static mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

// Every door of the C library into opening a file by name.
#define OPEN(name)                                                                                 \
    extern "C" int name(const char *path, int flags, ...)                                          \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = modeOf(flags, args);                                                   \
        va_end(args);                                                                              \
        note(AT_FDCWD, path);                                                                      \
        return real<int (*)(const char *, int, mode_t)>(#name)(path, flags, mode);                 \
    }
#define OPENAT(name)                                                                               \
    extern "C" int name(int dir, const char *path, int flags, ...)                                 \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = modeOf(flags, args);                                                   \
        va_end(args);                                                                              \
        note(dir, path);                                                                           \
        return real<int (*)(int, const char *, int, mode_t)>(#name)(dir, path, flags, mode);       \
    }
// The checked forms that a fortified build calls when no mode is given.
#define OPEN_2(name)                                                                               \
    extern "C" int name(const char *path, int flags)                                               \
    {                                                                                              \
        note(AT_FDCWD, path);                                                                      \
        return real<int (*)(const char *, int)>(#name)(path, flags);                               \
    }
#define OPENAT_2(name)                                                                             \
    extern "C" int name(int dir, const char *path, int flags)                                      \
    {                                                                                              \
        note(dir, path);                                                                           \
        return real<int (*)(int, const char *, int)>(#name)(dir, path, flags);                     \
    }
#define FOPEN(name)                                                                                \
    extern "C" FILE *name(const char *path, const char *how)                                       \
    {                                                                                              \
        note(AT_FDCWD, path);                                                                      \
        return real<FILE *(*)(const char *, const char *)>(#name)(path, how);                      \
    }

OPEN(open)
OPEN(open64)
OPENAT(openat)
OPENAT(openat64)
OPEN_2(__open_2)
OPEN_2(__open64_2)
OPENAT_2(__openat_2)
OPENAT_2(__openat64_2)
FOPEN(fopen)
FOPEN(fopen64)
