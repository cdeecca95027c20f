#pragma once

#include <QByteArray>
#include <QString>

// A file written whole or not at all: a temporary file in the same folder,
// every write, the sync and the close checked, then renamed over the old
// one. The temporary file is named ".NAME.wazuna-XXXXXX" and locked while
// it is written, so that what a killed run left can be told from a run
// still writing, and from other programs' files. The old file keeps its permissions; a new one gets
// what the umask gives. A link is followed and kept; a folder, a device or pipe and a file the user
// may not write are refused, not replaced. For files the user cannot afford to lose (the list of
// databases, exports); pages skip the sync for speed.
namespace WholeFile
{

// False with the reason, in the user's words, in *error; the old file is
// then untouched and no temporary file is left.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// The same, a block at a time, for files too large to hold: open(), any
// number of write(), then commit(). Until commit() succeeds the old file
// is untouched; a Writer dropped before it leaves nothing behind.
class Writer
{
public:
    Writer() = default;
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;
    ~Writer() { discard(); }

    bool open(const QString &path, QString *error = nullptr);
    // False once any write failed; commit() then gives the reason.
    bool write(const QByteArray &bytes);
    bool commit(QString *error = nullptr);
    void discard();

private:
    void unlock();

    QByteArray m_target;
    QByteArray m_temp;
    QByteArray m_folder;
    unsigned m_mode = 0;
    int m_fd = -1;
    int m_lock = -1; // holds the temporary file's lock until it has its name
    int m_code = 0;
};

// Removes from `folder` what a Writer killed before its commit left there:
// files of the temporary names it gives, owned by this user, that no
// living Writer holds. Gives how many it removed.
int removeLeftovers(const QString &folder);

// The permissions a new file of the user gets: 0666 less the umask, not
// the fixed ones of a temporary file.
unsigned newFileMode();

// Every byte into an open file, going on after a short write or a signal;
// false with errno set.
bool writeAll(int fd, const QByteArray &bytes);
// Fills `bytes` from an open file, going on after a short read or a signal;
// gives how many bytes it read before the file's end or a failure.
qsizetype readAll(int fd, QByteArray &bytes);

// Renames `from` to `to` without ever replacing a file that is there or
// appears meanwhile, also where the volume has neither that rename nor hard
// links (FAT, exFAT, SMB, some FUSE volumes). 0, or the errno of the
// failure; `from` is then where it was.
int renameNew(const QByteArray &from, const QByteArray &to);
// The same for names in the folders open as `fromDir` and `toDir`
// (AT_FDCWD: the current folder, or a full path).
int renameNew(int fromDir, const QByteArray &from, int toDir, const QByteArray &to);

} // namespace WholeFile
