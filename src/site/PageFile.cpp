#include "PageFile.h"

#include "db/Texts.h"
#include "db/WholeFile.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

// Whether the open file holds exactly `bytes`: read to one byte past
// them, so a longer file shows, without asking for its size first.
bool holds(int fd, const QByteArray &bytes)
{
    thread_local QByteArray buffer;
    buffer.resize(bytes.size() + 1);
    qsizetype got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, size_t(buffer.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    return got == bytes.size() &&
           std::memcmp(buffer.constData(), bytes.constData(), size_t(bytes.size())) == 0;
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

// Writes the bytes into a file just made at `name`; a file that could not
// be written in full is removed again.
bool fill(int fd, const QByteArray &name, const QByteArray &bytes, QString *error)
{
    const bool written = WholeFile::writeAll(fd, bytes);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    const int closeErrno = errno;
    if (written && closed)
        return true;
    ::unlink(name.constData());
    setError(error, !written ? writeErrno : closeErrno);
    return false;
}

// Writes the bytes to a temporary file beside `name`, with the permissions
// `mode` if one is given (else those of any new file of the user: 0666 less
// the umask); gives its name, or an empty one with the reason.
QByteArray temporary(const QByteArray &name, const QByteArray &bytes, int mode, QString *error)
{
    const qsizetype slash = name.lastIndexOf('/');
    static std::atomic<unsigned> counter{0};
    const QByteArray temp = name.left(slash + 1) +
                            QByteArray(TempPrefix.data(), TempPrefix.size()) +
                            QByteArray::number(::getpid()) + '-' + QByteArray::number(++counter) +
                            QByteArray(TempSuffix.data(), TempSuffix.size());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, errno);
        return {};
    }
    if (mode >= 0 && ::fchmod(fd, mode_t(mode)) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.constData());
        setError(error, code);
        return {};
    }
    return fill(fd, temp, bytes, error) ? temp : QByteArray();
}

// Replaces a page that is there: the new bytes go to a temporary file with
// the old page's permissions, renamed over it, so the old page stays whole
// until then.
Outcome replace(const QByteArray &name, const QByteArray &bytes, int mode, QString *error)
{
    const QByteArray temp = temporary(name, bytes, mode, error);
    if (temp.isEmpty())
        return Outcome::Failed;
    if (::rename(temp.constData(), name.constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return failed(error, code);
    }
    return Outcome::Written;
}

// A page that is there: kept if it holds the bytes, else replaced, unless
// its owner may not write it. Never opened unless it is a plain file, so a
// named pipe or a device cannot hold up the run.
Outcome keepOrReplace(const QByteArray &name, const struct stat &seen, const QByteArray &bytes,
                      QString *error)
{
    if (const QString reason = notAPage(seen.st_mode); !reason.isEmpty())
        return failed(error, reason);
    // Non-blocking all the same, should a pipe have taken its place since:
    // that one reads as empty and is replaced, and no fstat per page is
    // paid for a race that rare.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(error, errno);
    const bool same = holds(fd, bytes);
    ::close(fd);
    if (same)
        return Outcome::Unchanged;
    // By the bits, not by access(): a run as root may write anything.
    if (!(seen.st_mode & S_IWUSR))
        return failed(error, Texts::Reason::readOnly());
    return replace(name, bytes, int(seen.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)), error);
}

Outcome writeOrKeep(const QByteArray &name, const QByteArray &bytes, QString *error)
{
    // A new page goes through a temporary file too, so a run killed on a
    // first write into an empty folder leaves no half page, only a
    // leftover the next run removes.
    for (int attempt = 0;; ++attempt) {
        struct stat st;
        if (::stat(name.constData(), &st) == 0)
            return keepOrReplace(name, st, bytes, error);
        if (errno != ENOENT)
            return failed(error, errno);
        const QByteArray temp = temporary(name, bytes, -1, error);
        if (temp.isEmpty())
            return Outcome::Failed;
        // Not over a file that appeared meanwhile: that one is looked at
        // again. What stat cannot see (a link to nowhere) is replaced on
        // the second go, and so is everything where the file system has
        // no such rename.
        int done = attempt == 0 ? ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD,
                                              name.constData(), RENAME_NOREPLACE)
                                : ::rename(temp.constData(), name.constData());
        if (done != 0 && (errno == EINVAL || errno == ENOSYS))
            done = ::rename(temp.constData(), name.constData());
        if (done == 0)
            return Outcome::Written;
        const int code = errno;
        ::unlink(temp.constData());
        if (code != EEXIST || attempt > 0)
            return failed(error, code);
    }
}

} // namespace

Outcome write(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeOrKeep(QFile::encodeName(path), bytes, error);
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
