#pragma once

#include "db/Database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The records of a database to and from CSV (RFC 4180) and TSV files, the
// way spreadsheets and other tools exchange them.
namespace CsvTransfer
{

enum class Encoding { Utf8, ShiftJis }; // UTF-8 is written with a BOM

struct Exported {
    bool ok = false;
    int records = 0;
    bool refused = false; // !ok because records cannot be written in Shift_JIS
    QString message;      // when !ok: why, in the user's words, ready for a message box
};
// Answers cross the file as the answer box shows them when `br` is set (the
// window's Check1): on the way out "<br>" comes off where it stands before
// a line break (brhiku), so a spreadsheet shows plain line breaks; on the
// way in every line break of an answer, CR LF, LF alone or CR alone, is one
// line break, stored as "<br>" CR LF (brplus). An export read back so gives
// the answers the input tab stored. Without `br` answers go out and come in
// byte for byte, whatever they hold.

// Every record in stored order, under the header "No,種類,質問,答え". A field
// is quoted when it holds a comma, a quote, CR or LF, or begins or ends with
// a space or tab; rows end in CR LF. The file is written whole or not at
// all; for Shift_JIS, not at all when a record holds a character CP932
// cannot carry. What a killed export left in the folder goes first.
Exported exportTo(const Database &db, const QString &path, Encoding encoding, bool br);

struct Imported {
    bool ok = false;
    int records = 0;        // records appended when ok
    int skipped = 0;        // rows left out, when ok, because they were stored already
    bool cancelled = false; // the question about such rows said to add nothing
    QStringList problems;   // rows refused or malformed: "N行目: reason" each, at most
                            // ten, then "ほかN件"; nothing imported then
    QString failure;        // the file or the database could not be read/written:
                            // why; nothing imported
    // Of each record appended, in file order: its number, and, when asked
    // for, its stamp (Database::stampOf) as it was stored, to tell later
    // whether it is still as the import left it. The stamps hold every text
    // added: none are kept past the size asked for.
    QList<qint64> numbers;
    QList<QByteArray> stamps;
};
using Progress = std::function<void(qint64 done, qint64 total)>;

// What to do with the rows of a file that a database holds already: the
// same category, question and answer, byte for byte as the import would
// store them (after its line-break conversion). A row that only repeats
// another row of the file is not one of them.
enum class Duplicates { Add, Skip, Cancel };
// How many rows are stored already, and the line of the file each begins
// on, in file order.
using OnDuplicates = std::function<Duplicates(int count, const QList<qint64> &lines)>;

// Appends the file's rows as new records, in file order, in one
// transaction: all of them or, when any row is refused, none. Refused whole:
// what is not a plain file, a spreadsheet's own format, UTF-16, a file that
// changes while it is read. Refused by line: a NUL, a field over FieldLimit.
// With `onDuplicates`, the rows are first checked against the database,
// and it is asked, when some are stored already, before anything is
// added; without it every row is added. A row stored already when it was
// asked, or when the rows are added, is never added after Skip. Should a
// row be stored meanwhile when nothing was asked, the check is made again.
// `stampBytes`: how many bytes of stamps to keep at most; an import with
// more keeps none.
Imported importFrom(const Database &db, const QString &path, bool br, const Progress &progress = {},
                    const OnDuplicates &onDuplicates = {}, qint64 stampBytes = 0);

// Bytes of one field, at most: far more than the 65,535 characters of a memo
// field of a Jet database, and little enough to hold.
constexpr qsizetype FieldLimit = 4 * 1024 * 1024;

// Whether `path` is the database's own file (by any name): never written
// as CSV, nor read as one.
bool isDatabaseFile(const Database &db, const QString &path);

// The bytes of an export, for tests and for callers that write elsewhere;
// nothing (with *message) when refused.
std::optional<QByteArray> exportBytes(const Database &db, Encoding encoding, bool br,
                                      QString *message);

// The records of a CSV/TSV text; `tsvByName` when the file's name ends in
// .tsv. The records are complete only when there are no problems.
struct Parsed {
    QList<QaRecord> records;
    QStringList problems;
    QString failure; // not CSV at all: why
};
Parsed parse(const QByteArray &bytes, bool tsvByName, bool br);

} // namespace CsvTransfer
