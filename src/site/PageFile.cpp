#include "PageFile.h"

#include "db/Texts.h"
#include "db/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QIODevice>

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

// Replaces a file that is there: the new bytes go to a temporary file
// that is renamed over it, so the old page stays whole until then.
Outcome replace(const QByteArray &name, const QByteArray &bytes, QString *error)
{
    const qsizetype slash = name.lastIndexOf('/');
    static std::atomic<unsigned> counter{0};
    const QByteArray temp = name.left(slash + 1) +
                            QByteArray(TempPrefix.data(), TempPrefix.size()) +
                            QByteArray::number(::getpid()) + '-' + QByteArray::number(++counter) +
                            QByteArray(TempSuffix.data(), TempSuffix.size());
    // The permissions of any new file of the user: 0666 less the umask.
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return failed(error, errno);
    if (!fill(fd, temp, bytes, error))
        return Outcome::Failed;
    if (::rename(temp.constData(), name.constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return failed(error, code);
    }
    return Outcome::Written;
}

Outcome writeOrKeep(const QByteArray &name, const QByteArray &bytes, QString *error)
{
    const int existing = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (existing >= 0) {
        const bool same = holds(existing, bytes);
        ::close(existing);
        return same ? Outcome::Unchanged : replace(name, bytes, error);
    }
    if (errno != ENOENT)
        return replace(name, bytes, error);

    // A new page: there is no good page to keep whole, so it is written in
    // place, and removed again if it cannot be written in full.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? replace(name, bytes, error) : failed(error, errno);
    return fill(fd, name, bytes, error) ? Outcome::Written : Outcome::Failed;
}

} // namespace

Outcome write(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeOrKeep(QFile::encodeName(path), bytes, error);
}

bool write(QIODevice &device, const QByteArray &bytes, QString *error)
{
    if (device.write(bytes) != bytes.size()) {
        if (error)
            *error = device.errorString();
        return false;
    }
    return true;
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
