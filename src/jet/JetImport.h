#pragma once

#include "db/QaRecord.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The Jet 4.0 files (.mdb) of the Windows tool of old, carried over into a
// database of ours. They are read by wazuna-jet-dump, a helper process with
// a time limit: a damaged file can make the reading library loop or crash.
namespace JetImport
{

// What a file's header says: not Jet at all, Jet 4.0, or another version.
struct Header {
    enum Kind { NotJet, Jet4, OtherJet } kind = NotJet;
    int version = 0; // the version byte at 0x14
};
Header header(const QString &path);

// The name of the new database beside `jetPath`: hpdata1.wazuna.mdb, then
// hpdata1.wazuna-2.mdb and on, never one that exists.
QString targetFor(const QString &jetPath);

// The helper next to the program, or the one WAZUNA_JET_DUMP names.
QString helperPath();

// The longest value taken from the helper: a memo of 65,535 characters of
// three UTF-8 bytes each. wazuna-jet-dump keeps the same limit.
inline constexpr qsizetype ValueBytesMax = 65535 * 3;
// What the helper may write, standard output and standard error together,
// before it is stopped.
inline constexpr qsizetype OutputBytesMax = qsizetype(1) << 30;

// Every record of tbl1, in stored order; nothing, with the reason, when the
// file cannot be read whole within `timeoutMs`: a row or an answer the
// helper could not read, or fewer rows than the table's definition records.
// `tick` is called about ten times a second while the helper reads.
std::optional<QList<QaRecord>> read(const QString &jetPath, QString *error = nullptr,
                                    int timeoutMs = 120000, const std::function<void()> &tick = {});

// The helper's output read as read() reads it: every record, or nothing
// with the reason when the output is malformed or tells of rows not read.
std::optional<QList<QaRecord>> parseDump(const QByteArray &out, QString *error = nullptr);

// Reads the file and writes a new database of ours at `target` with every
// record, numbers kept. The number of records, or nothing with the reason;
// the Jet file is never changed and no part-written database is left.
// Jet's tbl1 has no key, so two records may share a number; such a file is
// refused, as is one with a category or question longer than ours hold.
std::optional<qsizetype> convert(const QString &jetPath, const QString &target,
                                 QString *error = nullptr, int timeoutMs = 120000,
                                 const std::function<void()> &tick = {});

} // namespace JetImport
