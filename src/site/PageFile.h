#pragma once

#include <QByteArray>
#include <QString>

// Writing a page: whole or not at all, and not at all when the file
// already holds exactly these bytes (its time stays, so an upload by rsync
// or FTP sends only what changed).
namespace PageFile
{

enum class Outcome { Written, Unchanged, Failed };

// Every page, new or replaced, is written to a temporary file in the same
// folder and renamed into place; no sync per file, which would make a large
// site ten times slower. A page replaced keeps its permissions; one its
// owner may not write, or a name that is not a plain file (a folder, a
// named pipe, a device), is Failed with the reason and left as it is.
Outcome write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Removes what an interrupted run left in `folder`, so it is never
// published; gives how many files it removed.
int removeLeftovers(const QString &folder);

// The folder path and a name, with one separator between them.
QString join(const QString &folder, const QString &name);

} // namespace PageFile
