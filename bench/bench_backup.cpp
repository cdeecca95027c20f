// How long the copy taken before a change costs on a large database.
//   build/bench/bench_backup [records]
// Builds a database of that many records (default 100,000, answers of
// about 2 KB) in a temporary folder, points the backups there too, then
// measures (a) the first copy, (b) a second one from a warm cache, and (c)
// the listing that バックアップから戻す... shows.
#include "Fill.h"
#include "db/Backups.h"
#include "db/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString database = dir.filePath(QStringLiteral("hpdata1.mdb"));
    QString error;
    if (!Database(database).create(false, &error) || !Bench::fillSite(database, records, 1000)) {
        std::fprintf(stderr, "cannot build the database: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d records, database of %lld bytes\n", records,
                static_cast<long long>(QFileInfo(database).size()));
    for (const char *what : {"(a) copy", "(b) copy again"}) {
        ::sync();
        QElapsedTimer timer;
        timer.start();
        const std::optional<QString> copy = Backups::make(database, &error);
        std::printf("%-20s %9.1f ms  %s\n", what, timer.nsecsElapsed() / 1e6,
                    qPrintable(copy ? *copy : error));
    }
    QElapsedTimer timer;
    timer.start();
    const QList<Backups::Copy> copies = Backups::list(database);
    std::printf("%-20s %9.1f ms  %lld copies, %lld records in the newest\n", "(c) list",
                timer.nsecsElapsed() / 1e6, static_cast<long long>(copies.size()),
                static_cast<long long>(copies.isEmpty() ? -1 : copies.first().records));
    return 0;
}
