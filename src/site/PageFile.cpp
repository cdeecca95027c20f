#include "PageFile.h"

#include <QDir>
#include <QFile>
#include <QIODevice>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
        *error = QString::fromLocal8Bit(std::strerror(code));
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Whether the file at `name` holds exactly `bytes`.
bool holds(const QByteArray &name, const QByteArray &bytes)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {
    };
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == bytes.size();
    if (same) {
        thread_local QByteArray buffer;
        buffer.resize(bytes.size() + 1); // one more, to see the file has not grown
        qsizetype got = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data() + got, size_t(buffer.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
            if (got == buffer.size())
                break;
        }
        same = got == bytes.size() &&
               std::memcmp(buffer.constData(), bytes.constData(), size_t(bytes.size())) == 0;
    }
    ::close(fd);
    return same;
}

} // namespace

Outcome write(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    if (holds(name, bytes))
        return Outcome::Unchanged;

    const qsizetype slash = name.lastIndexOf('/');
    static std::atomic<unsigned> counter{0};
    const QByteArray temp = name.left(slash + 1) +
                            QByteArray(TempPrefix.data(), TempPrefix.size()) +
                            QByteArray::number(::getpid()) + '-' + QByteArray::number(++counter) +
                            QByteArray(TempSuffix.data(), TempSuffix.size());
    // The permissions of any new file of the user: 0666 less the umask.
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, errno);
        return Outcome::Failed;
    }
    const bool written = writeAll(fd, bytes.constData(), bytes.size());
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    const int closeErrno = errno;
    if (!written || !closed) {
        ::unlink(temp.constData());
        setError(error, !written ? writeErrno : closeErrno);
        return Outcome::Failed;
    }
    if (::rename(temp.constData(), name.constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        setError(error, code);
        return Outcome::Failed;
    }
    return Outcome::Written;
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
    const QDir dir(folder);
    int removed = 0;
    const QStringList names =
        dir.entryList({TempPrefix + u'*' + TempSuffix}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        removed += QFile::remove(dir.filePath(name)) ? 1 : 0;
    return removed;
}

QString join(const QString &folder, const QString &name)
{
    if (folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QDir::separator() + name;
}

} // namespace PageFile
