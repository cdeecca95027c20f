#include "PageFile.h"

#include "db/Texts.h"
#include "db/WholeFile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace PageFile
{

namespace
{

const QLatin1StringView TempPrefix(".wazuna-page-");
const QLatin1StringView TempSuffix(".tmp");

void setError(QString *error, int code)
{
    if (error)
        *error = Texts::Reason::ofErrno(code);
}

void stampAt(int dir, const QByteArray &name, Stamp *stamp)
{
    struct stat st;
    if (stamp && ::fstatat(dir, name.constData(), &st, 0) == 0)
        *stamp = Stamp::of(st);
}

// Whether the open file, of `size` bytes, holds exactly `bytes`. Read a
// block at a time: a buffer the size of the largest file compared (the
// record of a large site) would stay with its thread, the window's own.
bool holds(int fd, off_t size, const QByteArray &bytes)
{
    if (size != bytes.size())
        return false;
    thread_local QByteArray buffer;
    for (qsizetype at = 0; at < bytes.size();) {
        buffer.resize(std::min<qsizetype>(bytes.size() - at, 64 * 1024));
        if (WholeFile::readAll(fd, buffer) != buffer.size() ||
            std::memcmp(buffer.constData(), bytes.constData() + at, size_t(buffer.size())) != 0)
            return false;
        at += buffer.size();
    }
    return true;
}

Outcome failed(QString *error, int code)
{
    setError(error, code);
    return Outcome::Failed;
}

Outcome failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return Outcome::Failed;
}

// Why a name that is there cannot be a page, or an empty string.
QString notAPage(mode_t mode)
{
    if (S_ISDIR(mode))
        return Texts::Reason::isFolder();
    return S_ISREG(mode) ? QString() : Texts::Reason::notAFile();
}

// Every byte into a file just made, then closed; false with errno set.
bool fill(int fd, const QByteArray &bytes)
{
    const bool written = WholeFile::writeAll(fd, bytes);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written)
        errno = writeErrno;
    return written && closed;
}

// Writes the bytes to a temporary file in the folder, with the permissions
// `mode` if one is given (else those of any new file of the user: 0666 less
// the umask); gives its name, or an empty one with the reason.
QByteArray temporary(int dir, const QByteArray &bytes, int mode, QString *error)
{
    static std::atomic<unsigned> counter{0};
    const QByteArray temp = QByteArray(TempPrefix.data(), TempPrefix.size()) +
                            QByteArray::number(::getpid()) + '-' + QByteArray::number(++counter) +
                            QByteArray(TempSuffix.data(), TempSuffix.size());
    const int fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, errno);
        return {};
    }
    if (mode >= 0 && ::fchmod(fd, mode_t(mode)) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlinkat(dir, temp.constData(), 0);
        setError(error, code);
        return {};
    }
    if (!fill(fd, bytes)) {
        const int code = errno;
        ::unlinkat(dir, temp.constData(), 0);
        setError(error, code);
        return {};
    }
    return temp;
}

// Replaces a page that is there: the new bytes go to a temporary file with
// the old page's permissions, renamed over it, so the old page stays whole
// until then.
Outcome replace(int dir, const QByteArray &name, const QByteArray &bytes, int mode, QString *error,
                Stamp *stamp)
{
    const QByteArray temp = temporary(dir, bytes, mode, error);
    if (temp.isEmpty())
        return Outcome::Failed;
    if (::renameat(dir, temp.constData(), dir, name.constData()) != 0) {
        const int code = errno;
        ::unlinkat(dir, temp.constData(), 0);
        return failed(error, code);
    }
    stampAt(dir, name, stamp);
    return Outcome::Written;
}

// A page that is there: kept if it holds the bytes, else replaced, unless
// its owner may not write it. Never opened unless it is a plain file, so a
// named pipe or a device cannot hold up the run.
Outcome keepOrReplace(int dir, const QByteArray &name, const struct stat &seen,
                      const QByteArray &bytes, QString *error, Stamp *stamp)
{
    if (const QString reason = notAPage(seen.st_mode); !reason.isEmpty())
        return failed(error, reason);
    if (seen.st_size == bytes.size()) {
        // Non-blocking all the same, should a pipe have taken its place
        // since: that one reads as empty and is replaced, and no fstat per
        // page is paid for a race that rare.
        const int fd =
            ::openat(dir, name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return failed(error, errno);
        const bool same = holds(fd, seen.st_size, bytes);
        ::close(fd);
        if (same) {
            if (stamp)
                *stamp = Stamp::of(seen);
            return Outcome::Unchanged;
        }
    }
    // By the bits, not by access(): a run as root may write anything.
    if (!(seen.st_mode & S_IWUSR))
        return failed(error, Texts::Reason::readOnly());
    return replace(dir, name, bytes, int(seen.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)), error,
                   stamp);
}

// A new page as a file without a name until it is whole, then linked in
// under its name: one change to the folder, as many as writing it in place,
// and a run killed meanwhile leaves nothing at all. Not over a file that
// appeared meanwhile. Nothing, with errno, where the file system or a
// missing /proc does not allow it.
std::optional<Outcome> linkNew(int dir, const QByteArray &name, const QByteArray &bytes,
                               QString *error, Stamp *stamp)
{
    // Any failure to make one is left to the named temporary file, which
    // reports its own.
    const int fd = ::openat(dir, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::nullopt;
    if (!WholeFile::writeAll(fd, bytes)) {
        const int code = errno;
        ::close(fd);
        return failed(error, code);
    }
    char proc[32];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    const int linked = ::linkat(AT_FDCWD, proc, dir, name.constData(), AT_SYMLINK_FOLLOW);
    const int code = errno;
    struct stat st;
    // The link counts as a change: the stamp is taken after it.
    if (linked == 0 && stamp && ::fstat(fd, &st) == 0)
        *stamp = Stamp::of(st);
    ::close(fd);
    if (linked == 0)
        return Outcome::Written;
    // No /proc, or the name appeared meanwhile: the named way decides.
    if (code == ENOENT || code == EEXIST)
        return std::nullopt;
    return failed(error, code);
}

Outcome writeOrKeep(int dir, const QByteArray &name, const QByteArray &bytes, QString *error,
                    Stamp *stamp)
{
    // A new page goes through a temporary file too, so a run killed on a
    // first write into an empty folder leaves no half page.
    for (int attempt = 0;; ++attempt) {
        struct stat st;
        if (::fstatat(dir, name.constData(), &st, 0) == 0)
            return keepOrReplace(dir, name, st, bytes, error, stamp);
        if (errno != ENOENT)
            return failed(error, errno);
        if (attempt == 0)
            if (const std::optional<Outcome> linked = linkNew(dir, name, bytes, error, stamp))
                return *linked;
        const QByteArray temp = temporary(dir, bytes, -1, error);
        if (temp.isEmpty())
            return Outcome::Failed;
        // Not over a file that appeared meanwhile: that one is looked at
        // again. What stat cannot see (a link to nowhere) is replaced on
        // the second go, and so is everything where the file system has
        // no such rename.
        int done = attempt == 0
                       ? ::renameat2(dir, temp.constData(), dir, name.constData(), RENAME_NOREPLACE)
                       : ::renameat(dir, temp.constData(), dir, name.constData());
        if (done != 0 && (errno == EINVAL || errno == ENOSYS))
            done = ::renameat(dir, temp.constData(), dir, name.constData());
        if (done == 0) {
            stampAt(dir, name, stamp);
            return Outcome::Written;
        }
        const int code = errno;
        ::unlinkat(dir, temp.constData(), 0);
        if (code != EEXIST || attempt > 0)
            return failed(error, code);
    }
}

} // namespace

Outcome write(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : encoded.left(slash);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failed(error, errno);
    const Outcome outcome = write(dir, encoded.mid(slash + 1), bytes, error);
    ::close(dir);
    return outcome;
}

Outcome write(int folder, const QByteArray &name, const QByteArray &bytes, QString *error,
              Stamp *stamp)
{
    return writeOrKeep(folder, name, bytes, error, stamp);
}

Stamp Stamp::of(const struct ::stat &st)
{
    return {quint64(st.st_ino), qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

int removeLeftovers(const QString &folder)
{
    // Read with readdir: a folder of a hundred thousand pages is listed in
    // a few milliseconds, where a sorted QDir listing takes a good part of
    // a second.
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return 0;
    const QByteArray prefix(TempPrefix.data(), TempPrefix.size());
    const QByteArray suffix(TempSuffix.data(), TempSuffix.size());
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name.startsWith(prefix) && name.endsWith(suffix) &&
            ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

QString join(const QString &folder, const QString &name)
{
    if (folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QDir::separator() + name;
}

} // namespace PageFile
