#pragma once

#include <QSet>
#include <QString>

#include <utility>

class Dialogs;

// Takes a copy of a database before the window changes its records: once
// a database a session, before its first change, and before every import.
// A copy that fails is told to the user and the change still goes ahead.
class BackupGuard
{
public:
    explicit BackupGuard(Dialogs &dialogs) : m_dialogs(dialogs) {}

    // Before a record is added, changed or deleted.
    void beforeChange(const QString &database);
    // Before a file's records are added: a copy each time.
    void beforeImport(const QString &database);

private:
    using File = std::pair<quint64, quint64>; // device, inode
    void copy(const QString &database, const File &file, bool alwaysTell);

    Dialogs &m_dialogs;
    // By the file, not its path: the same database by another path is
    // copied once, and a new file under the same name (a restore, a new
    // database over the old) once more.
    QSet<File> m_copied;
    QSet<File> m_told;
};
