#include "WholeFile.h"

#include "Texts.h"

#include <QFile>
#include <QFileInfo>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

// Ends a temporary file's name, before the six characters mkstemp() adds.
constexpr char TempMark[] = ".wazuna-";

// ".NAME.wazuna-XXXXXX", as open() makes them.
bool isTemporaryName(const char *name)
{
    const QByteArrayView text(name);
    const qsizetype mark = qsizetype(sizeof TempMark) - 1;
    if (!text.startsWith('.') || text.size() < 1 + mark + 6)
        return false;
    const QByteArrayView tail = text.last(mark + 6);
    if (!tail.startsWith(TempMark))
        return false;
    for (const char c : tail.last(6))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

unsigned newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

qsizetype readAll(int fd, QByteArray &bytes)
{
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    return got;
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
    m_temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) +
             TempMark + "XXXXXX";
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0)
        return fail(error, errno);
    // On a second descriptor of the same open file: the lock outlives the
    // close that commit() checks, up to the rename.
    m_lock = ::dup(m_fd);
    if (m_lock >= 0)
        ::flock(m_lock, LOCK_EX | LOCK_NB);
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
        unlock();
        return fail(error, m_code);
    }
    unlock();
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
    unlock();
}

void Writer::unlock()
{
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
}

int removeLeftovers(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        const int fd = ::openat(::dirfd(dir), entry->d_name,
                                O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Held by nobody: its writer is gone. Still the same file under that
        // name once locked, so nothing that took the name since is removed.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(::dirfd(dir), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
            ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    Writer file;
    return file.open(path, error) && (file.write(bytes), file.commit(error));
}

} // namespace WholeFile
