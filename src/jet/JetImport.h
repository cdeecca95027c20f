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

// Every record of tbl1, in stored order; nothing, with the reason, when the
// file cannot be read within `timeoutMs`.
// `tick` is called about ten times a second while the helper reads.
std::optional<QList<QaRecord>> read(const QString &jetPath, QString *error = nullptr,
                                    int timeoutMs = 120000, const std::function<void()> &tick = {});

// Reads the file and writes a new database of ours at `target` with every
// record, numbers kept. The number of records, or nothing with the reason;
// the Jet file is never changed and no part-written database is left.
std::optional<qsizetype> convert(const QString &jetPath, const QString &target,
                                 QString *error = nullptr, int timeoutMs = 120000,
                                 const std::function<void()> &tick = {});

} // namespace JetImport
