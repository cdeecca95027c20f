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
    QStringList entries;  // as far as they could be read
    bool read = false;    // the file was opened and read to its end
    bool damaged = false; // part of it could not be read as entries
    QString problem;      // why it was not read whole, in the user's words

    // Only a list read whole may be written back: anything else would lose
    // or change entries.
    bool whole() const { return read && !damaged; }
};

Contents read(const QString &path);

// The whole file or nothing; false with the reason in *error. An entry that
// could not be read back as it is (see unwritable) is refused, and then
// nothing is written.
bool write(const QString &path, const QStringList &entries, QString *error = nullptr);

// Whether a title or a path can be written and read back intact: no double
// quote, no line break, and only characters CP932 holds. Gives the first
// that cannot be.
std::optional<QString> unwritable(const QString &text);

// The reason given for such a character.
QString cannotHold(const QString &character);

// The database of an entry: what follows its first "/", or all of it.
QString databaseOf(const QString &entry);

} // namespace DbListFile
