#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Copies of a database taken before it is changed, so that a slip (a
// deletion, an import of the wrong file) can be undone by going back to
// one. They live in one folder of the user's data, not beside the
// database, named "STEM-HASH-TIME.SUFFIX": HASH is of the database's full
// path, so that two databases of the same name in different folders keep
// apart, and TIME is UTC to the millisecond. A copy is never written to
// once it has its name.
namespace Backups
{

// $XDG_DATA_HOME/wazuna/backups (~/.local/share/wazuna/backups).
QString folder();

// Called between the steps of a long copy with the pages copied so far and
// the pages of the database, for a window that wants to keep painting.
using Progress = std::function<void(int done, int total)>;

// Copies the database now with SQLite's online backup, consistent even
// while another program writes to it; written whole, then renamed into
// place. Then drops the copies of this database that are no longer kept
// (see prune). Gives the copy's path; nothing, with the reason, when no
// copy was made (nothing is then left in the folder).
std::optional<QString> make(const QString &database, QString *error = nullptr,
                            const Progress &progress = {});

struct Copy {
    QString path;
    QDateTime time; // local time
    qint64 records; // -1 when the copy cannot be read
    qint64 size;
};
// The copies of this database, newest first.
QList<Copy> list(const QString &database);

// The name a copy of `database` taken at `time` gets in folder().
QString pathFor(const QString &database, const QDateTime &time);

// Keeps the newest 10 copies of this database and the newest of each of
// the last 7 days up to `now` (local days); removes the others. Copies of
// other databases are not looked at.
void prune(const QString &database, const QDateTime &now);

// Puts a copy of `copy` in the database's place; the copy itself stays.
// The file there is first set aside as データベースの指定 does it (to the
// trash, else beside it as NAME.bak): *aside is where it went, empty when
// there was no file. Never over a file that appears at the name meanwhile:
// the old file then goes back if it can, and *error says where it is.
// `setAside`, when given, is called between the two (a test plays another
// program there).
bool restore(const QString &database, const Copy &copy, QString *aside, QString *error,
             const std::function<void()> &setAside = {});

// What the user is told when no copy could be made.
QString notMade(const QString &database, const QString &reason);

} // namespace Backups
