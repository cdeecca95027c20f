#include "Trash.h"

#include "WholeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Trash
{

namespace
{

// A folder of the trash that only we may change: a real folder (not a
// link to one), ours, and made with 0700 when missing.
bool ownFolder(const QByteArray &path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// A trash whose files and info folders are there (made if need be) and
// lie on the volume `device`.
bool usable(const QString &trash, dev_t device)
{
    const QByteArray top = QFile::encodeName(trash);
    if (!ownFolder(top) || !ownFolder(top + "/files") || !ownFolder(top + "/info"))
        return false;
    struct stat st;
    return ::stat((top + "/files").constData(), &st) == 0 && st.st_dev == device;
}

// "qa003.html", then "qa003.2.html", "qa003.3.html" and on.
QByteArray variant(const QByteArray &name, int n)
{
    if (n == 1)
        return name;
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray number = '.' + QByteArray::number(n);
    return dot > 0 ? name.left(dot) + number + name.mid(dot) : name + number;
}

} // namespace

QString of(const QString &folder)
{
    struct stat seen;
    if (::stat(QFile::encodeName(folder).constData(), &seen) != 0)
        return {};
    // The user's own trash, for the volume it lies on.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    struct stat home;
    if (QDir().mkpath(data) && ::stat(QFile::encodeName(data).constData(), &home) == 0 &&
        home.st_dev == seen.st_dev) {
        const QString trash = data + QStringLiteral("/Trash");
        return usable(trash, seen.st_dev) ? trash : QString();
    }
    // Another volume: its top folder's .Trash/UID, when an administrator
    // has set one up (a folder, not a link, with the sticky bit), else
    // .Trash-UID.
    const QString root = QStorageInfo(folder).rootPath();
    if (root.isEmpty())
        return {};
    const QString uid = QString::number(::getuid());
    const QString shared = QDir(root).filePath(QStringLiteral(".Trash"));
    struct stat st;
    if (::lstat(QFile::encodeName(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX)) {
        const QString trash = shared + u'/' + uid;
        if (usable(trash, seen.st_dev))
            return trash;
    }
    const QString own = QDir(root).filePath(QStringLiteral(".Trash-") + uid);
    return usable(own, seen.st_dev) ? own : QString();
}

std::unique_ptr<Taken> Taken::take(int dir, const QString &folder, const QString &trash,
                                   const QByteArray &name, int *code)
{
    std::unique_ptr<Taken> taken(new Taken);
    taken->m_dir = dir;
    taken->m_name = name;
    const auto fail = [code](int error) {
        if (code)
            *code = error;
        return nullptr;
    };
    if (!trash.isEmpty()) {
        // The note of where it came from first, under a name no other file
        // in the trash has; the file then goes in under the same name.
        const QByteArray top = QFile::encodeName(trash);
        const QByteArray origin =
            QUrl::toPercentEncoding(QDir(folder).absoluteFilePath(QFile::decodeName(name)), "/");
        const QByteArray note = "[Trash Info]\nPath=" + origin + "\nDeletionDate=" +
                                QDateTime::currentDateTime()
                                    .toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"))
                                    .toLatin1() +
                                '\n';
        for (int n = 1; n < 1000; ++n) {
            const QByteArray inTrash = variant(name, n);
            const QByteArray info = top + "/info/" + inTrash + ".trashinfo";
            const int fd = ::open(info.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) {
                if (errno == EEXIST)
                    continue;
                break;
            }
            const bool noted = ::write(fd, note.constData(), size_t(note.size())) == note.size();
            ::close(fd);
            const QByteArray target = top + "/files/" + inTrash;
            const int error = noted ? WholeFile::renameNew(dir, name, AT_FDCWD, target) : EIO;
            if (error == 0) {
                taken->m_taken = target;
                taken->m_info = info;
                break;
            }
            ::unlink(info.constData());
            if (error == ENOENT)
                return fail(ENOENT);
            if (error != EEXIST)
                break; // no rename into the trash here: taken aside instead
        }
    }
    if (taken->m_taken.isEmpty()) {
        static std::atomic<unsigned> counter{0};
        const QByteArray aside = ".wazuna-removing-" + QByteArray::number(::getpid()) + '-' +
                                 QByteArray::number(++counter);
        if (const int error = WholeFile::renameNew(dir, name, dir, aside))
            return fail(error);
        taken->m_taken = aside;
    }
    if (::fstatat(taken->inTrash() ? AT_FDCWD : dir, taken->m_taken.constData(), &taken->m_status,
                  AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        taken->putBack();
        return fail(error);
    }
    return taken;
}

Taken::~Taken()
{
    if (!m_settled)
        putBack();
}

int Taken::open() const
{
    return ::openat(inTrash() ? AT_FDCWD : m_dir, m_taken.constData(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool Taken::discard(int *code)
{
    m_settled = true;
    if (inTrash() || ::unlinkat(m_dir, m_taken.constData(), 0) == 0)
        return true;
    if (code)
        *code = errno;
    m_settled = false;
    return false;
}

void Taken::forgetInfo()
{
    if (!m_info.isEmpty())
        ::unlink(m_info.constData());
    m_info.clear();
}

bool Taken::putBack(int *code)
{
    m_settled = true;
    const int from = inTrash() ? AT_FDCWD : m_dir;
    const int error = WholeFile::renameNew(from, m_taken, m_dir, m_name);
    if (error == 0) {
        forgetInfo();
        return true;
    }
    if (code)
        *code = error;
    // The name was taken meanwhile: the file stays where the user finds
    // it, in the trash with its note, or beside the new one.
    if (!inTrash())
        for (int n = 1; n < 1000; ++n) {
            const QByteArray bak =
                m_name + ".bak" + (n == 1 ? QByteArray() : '-' + QByteArray::number(n));
            if (WholeFile::renameNew(m_dir, m_taken, m_dir, bak) != EEXIST)
                break;
        }
    return false;
}

} // namespace Trash
