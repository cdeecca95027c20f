#include "WholeFile.h"

#include "Texts.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WholeFile
{

namespace
{

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

bool fail(QString *error, int code)
{
    return fail(error, Texts::Reason::ofErrno(code));
}

} // namespace

unsigned newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    // A link is followed: the file it names is replaced, the link kept.
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink(); ++depth) {
        if (depth == 40)
            return fail(error, ELOOP);
        info.setFile(info.symLinkTarget());
    }
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());

    // The old file's permissions, or those a new file of the user gets.
    // A rename would replace what no write could change: a folder, a device
    // or pipe, a file its owner made read-only.
    struct stat old {
    };
    mode_t mode;
    if (::stat(target.constData(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            return fail(error, Texts::Reason::isFolder());
        if (!S_ISREG(old.st_mode))
            return fail(error, Texts::Reason::notAFile());
        if (::access(target.constData(), W_OK) != 0)
            return errno == EACCES ? fail(error, Texts::Reason::readOnly()) : fail(error, errno);
        mode = old.st_mode & 07777;
    } else {
        mode = mode_t(newFileMode());
    }

    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") +
                                        info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(error, errno);

    int code = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    if (code == 0 && std::rename(temp.constData(), target.constData()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(temp.constData());
        return fail(error, code);
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace WholeFile
