#pragma once

// A large database for a benchmark, stored straight through SQLite in one
// transaction: the engine's own add() would measure itself.
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>

#include <functional>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

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

// The site benchmarks' records: answers with some <br> lines that make
// pages of about 2 KB, spread over `categories`.
inline bool fillSite(const QString &path, int records, int categories)
{
    const QString plain = QStringLiteral("答えの本文はこのように続きます。");
    const QString broken = QStringLiteral("改行のある行です。<br>\r\n");
    return fill(path, records, [&](int i) {
        const int c = (i * 7919) % categories;
        QString answer = QString::number(i) + u' ';
        while (answer.size() < 900) // pages of about 2 KB in CP932
            answer += (answer.size() / 40) % 3 == 0 ? broken : plain;
        return Row{QStringLiteral("sub%1,分類その%2").arg(c).arg(c),
                   QStringLiteral("質問その%1はどういう意味ですか？").arg(i), answer};
    });
}

using Files = QList<std::pair<QByteArray, QByteArray>>; // name, bytes

// The floor of a site run: every row read with SQLite, then the same files
// with the same bytes written with plain open/write/close.
inline double floorMs(const QString &database, const QString &folder, const Files &pages)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT No, kind, quest, anser FROM tbl1 ORDER BY No", -1, &st, nullptr);
    qint64 bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int col = 1; col < 4; ++col)
            bytes += sqlite3_column_bytes(st, col) + (sqlite3_column_text(st, col) ? 1 : 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    const QByteArray dir = QFile::encodeName(folder) + '/';
    for (const auto &[name, content] : pages) {
        const int fd = ::open((dir + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || ::write(fd, content.constData(), size_t(content.size())) != content.size())
            std::fprintf(stderr, "floor: cannot write %s\n", name.constData());
        ::close(fd);
    }
    if (bytes == 0)
        std::fprintf(stderr, "floor: no rows read\n");
    return timer.nsecsElapsed() / 1e6;
}

} // namespace Bench
