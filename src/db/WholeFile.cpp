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

namespace
{

// Whether `name` in `dir` still names the file `made` describes.
bool stillNames(int dir, const QByteArray &name, const struct stat &made)
{
    struct stat now {
    };
    return ::fstatat(dir, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == made.st_dev && now.st_ino == made.st_ino;
}

} // namespace

int renameNew(const QByteArray &from, const QByteArray &to)
{
    return renameNew(AT_FDCWD, from, AT_FDCWD, to);
}

int renameNew(int fromDir, const QByteArray &from, int toDir, const QByteArray &to)
{
    if (::renameat2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // Without that rename (NFS, older FUSE volumes): a new link fails where
    // the name is taken.
    if (::linkat(fromDir, from.constData(), toDir, to.constData(), 0) == 0) {
        ::unlinkat(fromDir, from.constData(), 0);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    // Nor hard links: the name is taken by an empty file of our own, which
    // fails where another file is, and only that file is renamed over.
    const int fd =
        ::openat(toDir, to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    struct stat made {
    };
    const bool known = ::fstat(fd, &made) == 0;
    ::close(fd);
    if (!known || !stillNames(toDir, to, made))
        return EEXIST;
    if (::renameat(fromDir, from.constData(), toDir, to.constData()) == 0)
        return 0;
    const int code = errno;
    if (stillNames(toDir, to, made))
        ::unlinkat(toDir, to.constData(), 0);
    return code;
}

bool Writer::open(const QString &path, QString *error)
{
    discard();
    m_code = 0;
    if (path.isEmpty())
        return fail(error, Texts::Reason::noFileName());
    // A link is followed: the file it names is replaced, the link kept.
    QFileInfo info(path);
    for (int depth = 0; info.isSymLink(); ++depth) {
        if (depth == 40)
            return fail(error, ELOOP);
        info.setFile(info.symLinkTarget());
    }
    m_target = QFile::encodeName(info.absoluteFilePath());

    // The old file's permissions, or those a new file of the user gets.
    // A rename would replace what no write could change: a folder, a device
    // or pipe, a file its owner made read-only.
    struct stat old {
    };
    if (::stat(m_target.constData(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            return fail(error, Texts::Reason::isFolder());
        if (!S_ISREG(old.st_mode))
            return fail(error, Texts::Reason::notAFile());
        if (::access(m_target.constData(), W_OK) != 0)
            return errno == EACCES ? fail(error, Texts::Reason::readOnly()) : fail(error, errno);
        m_mode = old.st_mode & 07777;
    } else {
        m_mode = newFileMode();
    }

    m_folder = QFile::encodeName(info.absolutePath());
    m_temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                               QStringLiteral(".XXXXXX"));
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0)
        return fail(error, errno);
    return true;
}

bool Writer::write(const QByteArray &bytes)
{
    if (m_fd < 0 && m_code == 0)
        m_code = EBADF;
    if (m_code == 0 && !writeAll(m_fd, bytes))
        m_code = errno;
    return m_code == 0;
}

bool Writer::commit(QString *error)
{
    if (m_fd < 0)
        return fail(error, m_code ? m_code : EBADF);
    if (m_code == 0 && (::fchmod(m_fd, mode_t(m_mode)) != 0 || ::fsync(m_fd) != 0))
        m_code = errno;
    if (::close(m_fd) != 0 && m_code == 0)
        m_code = errno;
    m_fd = -1;
    if (m_code == 0 && std::rename(m_temp.constData(), m_target.constData()) != 0)
        m_code = errno;
    if (m_code != 0) {
        ::unlink(m_temp.constData());
        return fail(error, m_code);
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void Writer::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.constData());
        m_fd = -1;
    }
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    Writer file;
    return file.open(path, error) && (file.write(bytes), file.commit(error));
}

} // namespace WholeFile
