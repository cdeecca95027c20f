#include "Backups.h"

#include "Database.h"
#include "SetAside.h"
#include "Texts.h"
#include "WholeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Backups
{

namespace
{

constexpr int Kept = 10;    // the newest copies, whatever their age
constexpr int KeptDays = 7; // then the newest of each of these days
// Pages copied at a time (8 MB of the 16 KB pages the engine makes):
// between steps the database is free for other programs to write.
constexpr int StepPages = 512;
// A copy restarts when another program writes between its steps; after
// this many restarts it is finished in one step, other writers waiting.
constexpr int Restarts = 3;
constexpr int BusyMs = 5000;

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

std::optional<QString> none(QString *error, const QString &reason)
{
    fail(error, reason);
    return std::nullopt;
}

// The name's parts that tell this database's copies from the others'.
struct Naming {
    QString prefix; // "STEM-HASH-"
    QString suffix; // ".mdb", or empty
};

Naming namingOf(const QString &database)
{
    const QFileInfo given(database);
    // The same file by any path, a link or a relative name, has one name.
    const QString canonical = given.canonicalFilePath();
    const QFileInfo info(canonical.isEmpty() ? QDir::cleanPath(given.absoluteFilePath())
                                             : canonical);
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(info.absoluteFilePath()),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(10);
    // A long name is cut, so that the time still fits in a file name.
    QString stem = info.completeBaseName().left(60);
    if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    const QString suffix = info.suffix().left(16);
    return {stem + u'-' + QString::fromLatin1(hash) + u'-',
            suffix.isEmpty() ? QString() : u'.' + suffix};
}

const QString TimeFormat = QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'");

QString nameFor(const Naming &naming, const QDateTime &time)
{
    return naming.prefix + time.toUTC().toString(TimeFormat) + naming.suffix;
}

// The time a copy's name gives; nothing for a name that is not a copy of
// this database (another's, a temporary file).
std::optional<QDateTime> timeOf(const QString &name, const Naming &naming)
{
    if (!name.startsWith(naming.prefix) || !name.endsWith(naming.suffix))
        return std::nullopt;
    const QStringView stamp =
        QStringView(name).sliced(naming.prefix.size()).chopped(naming.suffix.size());
    if (stamp.size() != 19 || stamp[8] != u'T' || stamp[18] != u'Z')
        return std::nullopt;
    const QDate date = QDate::fromString(stamp.first(8).toString(), u"yyyyMMdd");
    const QTime time = QTime::fromString(stamp.sliced(9, 9).toString(), u"HHmmsszzz");
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).toLocalTime();
}

// This database's copies, newest first, without reading them.
QList<Copy> scan(const QString &database)
{
    const Naming naming = namingOf(database);
    const QDir dir(folder());
    QList<Copy> copies;
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
        if (const std::optional<QDateTime> time = timeOf(info.fileName(), naming))
            copies.append({info.absoluteFilePath(), *time, -1, info.size()});
    std::sort(copies.begin(), copies.end(), [](const Copy &a, const Copy &b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return copies;
}

// Our mark in the file's header, read without SQLite: a connection that
// may write would roll back another program's journal.
bool isOurs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray head = file.read(100);
    return head.size() == 100 && head.startsWith(QByteArrayView("SQLite format 3\0", 16)) &&
           qFromBigEndian<qint32>(head.constData() + 68) == Database::ApplicationId;
}

QString sqliteReason(sqlite3 *db, int code)
{
    return Database::reason(code, QString::fromUtf8(sqlite3_errstr(code)),
                            db ? sqlite3_system_errno(db) : 0);
}

void syncFolder(const QString &path)
{
    const int dir = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// A temporary file beside `target`, named as WholeFile names its own so that
// what a killed run left is removed the same way; locked while it is
// written. Gives its descriptor, or -1 with errno.
int makeTemporary(const QString &target, QByteArray &temp)
{
    const QFileInfo info(target);
    temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) +
           ".wazuna-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd >= 0)
        ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

// The copy itself: source to the temporary file, page by page.
bool backUp(const QString &database, const QByteArray &temp, const Progress &progress,
            QString *error)
{
    sqlite3 *source = nullptr;
    sqlite3 *target = nullptr;
    const auto close = qScopeGuard([&] {
        sqlite3_close_v2(source);
        sqlite3_close_v2(target);
    });
    // Writable, as every reading of the engine: a journal left by a killed
    // writer is rolled back, not copied over.
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &source,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return fail(error, sqliteReason(source, sqlite3_errcode(source)));
    if (sqlite3_open_v2(temp.constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        return fail(error, sqliteReason(target, sqlite3_errcode(target)));
    sqlite3_busy_timeout(source, BusyMs);
    // No journal beside the temporary file: a copy that fails is thrown
    // away whole, and the file is synced once, at the end.
    if (sqlite3_exec(target, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;", nullptr,
                     nullptr, nullptr) != SQLITE_OK)
        return fail(error, sqliteReason(target, sqlite3_errcode(target)));
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        return fail(error, sqliteReason(target, sqlite3_errcode(target)));
    int code = SQLITE_OK;
    int restarts = 0;
    int left = -1;
    while (code == SQLITE_OK) {
        code = sqlite3_backup_step(backup, restarts < Restarts ? StepPages : -1);
        if (code != SQLITE_OK)
            break;
        const int now = sqlite3_backup_remaining(backup);
        if (left >= 0 && now >= left)
            ++restarts;
        left = now;
        if (progress) {
            const int total = sqlite3_backup_pagecount(backup);
            progress(total - now, total);
        }
    }
    const int finished = sqlite3_backup_finish(backup);
    if (code != SQLITE_DONE || finished != SQLITE_OK)
        return fail(error, sqliteReason(target, code != SQLITE_DONE ? code : finished));
    const int closed = sqlite3_close(target);
    if (closed != SQLITE_OK)
        return fail(error, sqliteReason(target, closed));
    target = nullptr;
    return true;
}

} // namespace

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/wazuna/backups");
}

QString pathFor(const QString &database, const QDateTime &time)
{
    return folder() + u'/' + nameFor(namingOf(database), time);
}

std::optional<QString> make(const QString &database, QString *error, const Progress &progress)
{
    const QFileInfo info(database);
    if (database.isEmpty())
        return none(error, Texts::Reason::noFileName());
    if (!info.exists())
        return none(error, Texts::Reason::fileMissing());
    if (!info.isFile())
        return none(error, info.isDir() ? Texts::Reason::isFolder() : Texts::Reason::notAFile());
    if (!isOurs(database))
        return none(error, Texts::Reason::notOurs());

    const QString dir = folder();
    if (!QDir().mkpath(dir))
        return none(error, Texts::Reason::cannotWriteFolder() + u'\n' + dir);
    WholeFile::removeLeftovers(dir);

    QDateTime time = QDateTime::currentDateTimeUtc();
    QByteArray temp;
    const int fd = makeTemporary(pathFor(database, time), temp);
    if (fd < 0)
        return none(error, Texts::Reason::ofErrno(errno) + u'\n' + dir);
    bool done = false;
    const auto cleanUp = qScopeGuard([&] {
        if (!done)
            ::unlink(temp.constData());
        ::close(fd);
    });
    if (!backUp(database, temp, progress, error))
        return std::nullopt;
    if (::fsync(fd) != 0)
        return none(error, Texts::Reason::ofErrno(errno));
    // Never over another copy: one taken in the same millisecond moves on
    // by one.
    QString path;
    for (int tries = 0;; ++tries) {
        path = pathFor(database, time);
        const int code = WholeFile::renameNew(temp, QFile::encodeName(path));
        if (code == 0)
            break;
        if (code != EEXIST || tries == 100)
            return none(error, Texts::Reason::ofErrno(code));
        time = time.addMSecs(1);
    }
    done = true;
    syncFolder(dir);
    prune(database, QDateTime::currentDateTime());
    return path;
}

QList<Copy> list(const QString &database)
{
    QList<Copy> copies = scan(database);
    for (Copy &copy : copies) {
        // Read as a file that cannot change: nothing, not even a lock or a
        // journal, is written beside it.
        const QByteArray uri =
            "file:" + QFile::encodeName(copy.path).toPercentEncoding("/") + "?immutable=1";
        sqlite3 *db = nullptr;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_open_v2(uri.constData(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, "SELECT count(*) FROM tbl1", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            copy.records = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
    }
    return copies;
}

void prune(const QString &database, const QDateTime &now)
{
    const QDate today = now.toLocalTime().date();
    QSet<QDate> days;
    const QList<Copy> copies = scan(database);
    for (qsizetype i = 0; i < copies.size(); ++i) {
        const QDate day = copies[i].time.date();
        const qint64 age = day.daysTo(today);
        const bool newestOfDay = age >= 0 && age < KeptDays && !days.contains(day);
        if (newestOfDay)
            days.insert(day);
        if (i >= Kept && !newestOfDay)
            QFile::remove(copies[i].path);
    }
}

bool restore(const QString &database, const Copy &copy, QString *aside, QString *error,
             const std::function<void()> &setAside)
{
    if (aside)
        aside->clear();
    if (database.isEmpty())
        return fail(error, Texts::Reason::noFileName());
    const QString target = QFileInfo(database).absoluteFilePath();
    const QString folder = QFileInfo(target).absolutePath();

    // The copy goes in beside the database under a temporary name first: a
    // copy that cannot be made (a full disk) leaves the database as it is.
    const int in = ::open(QFile::encodeName(copy.path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return fail(error, Texts::Reason::ofErrno(errno) + u'\n' + copy.path);
    QByteArray temp;
    const int out = makeTemporary(target, temp);
    bool done = false;
    const auto cleanUp = qScopeGuard([&] {
        ::close(in);
        if (out >= 0) {
            if (!done)
                ::unlink(temp.constData());
            ::close(out);
        }
    });
    if (out < 0)
        return fail(error, Texts::Reason::ofErrno(errno));
    struct stat from {
    }, old{};
    if (::fstat(in, &from) != 0 || !S_ISREG(from.st_mode))
        return fail(error, Texts::Reason::notAFile() + u'\n' + copy.path);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(in, block.data(), size_t(block.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(error, Texts::Reason::ofErrno(errno) + u'\n' + copy.path);
        if (n == 0)
            break;
        if (!WholeFile::writeAll(out, QByteArray::fromRawData(block.constData(), n)))
            return fail(error, Texts::Reason::ofErrno(errno));
    }
    // The database's own permissions, as a file saved over it would keep.
    const bool existed = ::lstat(QFile::encodeName(target).constData(), &old) == 0;
    const mode_t mode = existed ? (old.st_mode & 07777) : mode_t(WholeFile::newFileMode());
    if (::fchmod(out, mode) != 0 || ::fsync(out) != 0)
        return fail(error, Texts::Reason::ofErrno(errno));

    QString went;
    if (existed) {
        QString reason;
        const std::optional<QString> moved = SetAside::file(target, &reason);
        if (!moved)
            return fail(error,
                        QStringLiteral("元のファイルを移動できないため、戻しませんでした\n") +
                            reason);
        went = *moved;
        if (aside)
            *aside = went;
    }
    if (setAside)
        setAside();
    const int code = WholeFile::renameNew(temp, QFile::encodeName(target));
    if (code == 0) {
        done = true;
        syncFolder(folder);
        return true;
    }
    const QString why = code == EEXIST ? QStringLiteral("その間にほかのファイルが同じ名前で"
                                                        "作られたため、置き換えませんでした")
                                       : Texts::Reason::ofErrno(code);
    if (!existed)
        return fail(error, why);
    // Back where it was, with its journal, while the name is still free;
    // otherwise the user is told where it is.
    if (WholeFile::renameNew(QFile::encodeName(went), QFile::encodeName(target)) != 0)
        return fail(error, why + QStringLiteral("\n元のファイルは次の場所にあります\n") + went);
    WholeFile::renameNew(QFile::encodeName(went + QStringLiteral("-journal")),
                         QFile::encodeName(target + QStringLiteral("-journal")));
    // Out of the trash again: its note of where the file came from goes.
    const QFileInfo inTrash(went);
    if (inTrash.absolutePath() != folder && inTrash.dir().dirName() == u"files")
        QFile::remove(inTrash.dir().absolutePath() + QStringLiteral("/../info/") +
                      inTrash.fileName() + QStringLiteral(".trashinfo"));
    if (aside)
        aside->clear();
    return fail(error, why);
}

QString notMade(const QString &database, const QString &reason)
{
    return QStringLiteral("バックアップを作成できませんでした\n") + database + u'\n' + reason;
}

} // namespace Backups
