#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// Writing a page: whole or not at all, and not at all when the file
// already holds exactly these bytes (its time stays, so an upload by rsync
// or FTP sends only what changed).
namespace PageFile
{

enum class Outcome { Written, Unchanged, Failed };

// A new page is written as a file without a name and linked in under its
// name once whole (where the file system cannot, as a temporary file
// renamed into place); a page replaced is written to a temporary file in
// the same folder and renamed over it. No sync per file, which would make
// a large site ten times slower. A page replaced keeps its permissions; one its
// owner may not write, or a name that is not a plain file (a folder, a
// named pipe, a device), is Failed with the reason and left as it is.
Outcome write(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// Enough of a file's status to tell that nobody has written it since:
// every write, rename or change of its times sets its change time anew.
struct Stamp {
    quint64 ino = 0;
    qint64 changed = 0; // change time, in nanoseconds; 0: unknown
    static Stamp of(const struct ::stat &st);
    friend bool operator==(const Stamp &, const Stamp &) = default;
};

// The same for `name` in the folder open as `folder`; `stamp` is then
// that of the page as it is left, unless it was not written.
Outcome write(int folder, const QByteArray &name, const QByteArray &bytes, QString *error = nullptr,
              Stamp *stamp = nullptr);

// Removes what an interrupted run left in `folder`, so it is never
// published; gives how many files it removed.
int removeLeftovers(const QString &folder);

// The folder path and a name, with one separator between them.
QString join(const QString &folder, const QString &name);

} // namespace PageFile
