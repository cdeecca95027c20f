#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The list of several databases: a text file in CP932, one entry a line,
// each a double quote, the title, "/", the database path, a double quote
// and CR LF. Read back field by field as that writing pairs with: a quoted
// field up to its closing quote, an unquoted one up to the next comma or
// the line's end. Files written by the Windows tool of old read here, and
// files written here read there.
namespace DbListFile
{

struct Contents {
    QStringList entries;
    bool read = false;    // the file could be opened
    bool damaged = false; // part of it could not be read as entries
};

Contents read(const QString &path);

// The whole file or nothing; false with the reason in *error.
bool write(const QString &path, const QStringList &entries, QString *error = nullptr);

// Whether a title or a path can be written and read back intact: no double
// quote, and only characters CP932 holds. Gives the first that cannot be.
std::optional<QString> unwritable(const QString &text);

// The database of an entry: what follows its first "/", or all of it.
QString databaseOf(const QString &entry);

} // namespace DbListFile
