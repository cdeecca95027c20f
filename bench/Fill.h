#pragma once

// A large database for a benchmark, stored straight through SQLite in one
// transaction: the engine's own add() would measure itself.
#include <QFile>
#include <QString>

#include <functional>
#include <sqlite3.h>

namespace Bench
{

struct Row {
    QString kind, quest, anser;
};

inline bool fill(const QString &path, int records, const std::function<Row(int)> &make)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tbl1 (kind, quest, anser) VALUES (?1, ?2, ?3)", -1, &st,
                       nullptr);
    for (int i = 0; i < records; ++i) {
        const Row row = make(i);
        const QByteArray texts[] = {row.kind.toUtf8(), row.quest.toUtf8(), row.anser.toUtf8()};
        for (int k = 0; k < 3; ++k)
            sqlite3_bind_text(st, k + 1, texts[k].constData(), int(texts[k].size()),
                              SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace Bench
