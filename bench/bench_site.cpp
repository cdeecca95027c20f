// How fast the whole site is written, against what the disk allows.
//   build/bench/bench_site [records] [categories]
// Builds a database of that many records (default 100,000 in 1,000
// categories, answers with some <br> lines that make pages of about 2 KB)
// in a temporary folder, then measures
//   (a) the floor: every row read with SQLite and the same files with the
//       same bytes written with plain open/write/close into a fresh folder;
//   (b) the site written into a fresh folder, by the code the tab uses;
//   (c) the same run again into (b)'s folder, nothing changed;
//   (d) the peak resident memory of (b);
//   (e) and (f) wazuna-site into a fresh folder, and again unchanged, with
//       its peak resident memory;
//   (g) (b) with one writer thread, to tell whether the threads help when
//       the kernel's work on files is what bounds a run;
//   (h) the window's ＨＰ作成 after データ表示, into a fresh folder and again
//       unchanged, each in a child process (bench_site_window) whose peak
//       resident memory is the window's alone, listing held.
// The disk's pace drifts from one minute to the next, so (a), (b) and (c)
// are taken three times each, in turn, and the best of each counts. The
// last line gives the ratios.
#include "Fill.h"
#include "Memory.h"
#include "db/Database.h"
#include "site/SiteGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using Bench::Files;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int categories = argc > 2 ? std::atoi(argv[2]) : 1000;

    QTemporaryDir dir;
    if (qEnvironmentVariableIsSet("BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("kept in %s\n", qPrintable(dir.path()));
    }
    // The records of pages written go with the folders, for this process
    // and for wazuna-site alike.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    const QString database = dir.filePath(QStringLiteral("bench.mdb"));
    QString error;
    if (!Database(database).create(false, &error) || !Bench::fillSite(database, records, categories)) {
        std::fprintf(stderr, "cannot build the database: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d records in %d categories, file of %lld bytes\n", records, categories,
                static_cast<long long>(QFileInfo(database).size()));

    SiteOptions options;
    options.indexName = QStringLiteral("index.html");
    options.title = QStringLiteral("よくある質問");
    const auto freshFolder = [&dir](const QString &name) {
        QDir().mkpath(dir.filePath(name));
        return dir.filePath(name);
    };
    const auto generate = [&](const QString &folder, double &ms, int threads = 0) {
        options.folder = folder;
        options.threads = threads;
        ::sync(); // nothing left to write back from what came before
        QElapsedTimer timer;
        timer.start();
        const SiteReport report = SiteGenerator::generate(Database(database), options, records, {});
        ms = timer.nsecsElapsed() / 1e6;
        return report;
    };

    // The first run gives the peak memory, and the pages the floor writes.
    Memory::resetPeak();
    double fresh = 0;
    SiteReport report = generate(freshFolder(QStringLiteral("site0")), fresh);
    const double peak = Memory::mb("VmHWM");
    std::printf("(b) fresh folder      %9.1f ms  %d written, %d unchanged, %d failed\n", fresh,
                report.written, report.unchanged, report.failed);
    std::printf("(d) peak memory of (b) %8.1f MB\n", peak);
    // The command's peak is read before this process holds the floor's
    // pages: a child counts what it shares with its parent until it execs.
    double cliFresh = 1e300;
    double cliRerun = 1e300;
    const auto command = [&](const QString &folder) {
        ::sync();
        QElapsedTimer timer;
        timer.start();
        QProcess process;
        process.start(QStringLiteral(WAZUNA_SITE),
                      {QStringLiteral("--title"), options.title, database, folder});
        process.waitForFinished(-1);
        const double ms = timer.nsecsElapsed() / 1e6;
        std::printf("    wazuna-site %9.1f ms  %s", ms,
                    process.readAllStandardOutput().constData());
        return ms;
    };
    {
        const QString folder = freshFolder(QStringLiteral("cli0"));
        std::printf("(e) command, fresh:\n");
        cliFresh = command(folder);
        std::printf("(f) command, unchanged:\n");
        cliRerun = command(folder);
    }
    struct rusage children {
    };
    ::getrusage(RUSAGE_CHILDREN, &children);
    const double cliPeak = children.ru_maxrss / 1024.0;
    // The window's run, in a child of its own, as that child reports it;
    // after the command's peak is read, for the window is a child too.
    double windowFresh = 0;
    double windowPeak = 0;
    double windowRerunPeak = 0;
    const auto window = [&](const QString &folder, double &peakMb) {
        ::sync();
        QProcess process;
        process.start(QStringLiteral(SITE_WINDOW), {database, folder, options.title});
        process.waitForFinished(-1);
        const QByteArray out = process.readAllStandardOutput();
        std::printf("    window %s", out.constData());
        if (process.exitCode() != 0)
            std::printf("%s", process.readAllStandardError().constData());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^ *([0-9.]+) ms.* peak ([0-9]+) MB"))
                .match(QString::fromUtf8(out));
        peakMb = m.captured(2).toDouble();
        return m.captured(1).toDouble();
    };
    {
        const QString folder = freshFolder(QStringLiteral("window0"));
        std::printf("(h) window, fresh:\n");
        windowFresh = window(folder, windowPeak);
        std::printf("(h) window, unchanged:\n");
        window(folder, windowRerunPeak);
    }

    Files pages;
    const QDir site0(options.folder);
    for (const QString &name : site0.entryList(QDir::Files | QDir::Hidden)) {
        QFile file(site0.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            pages.append({QFile::encodeName(name), file.readAll()});
    }

    double floor = 1e300;
    double rerun = 1e300;
    double oneThread = 1e300;

    for (int round = 1; round <= 3; ++round) {
        ::sync();
        const double a =
            Bench::floorMs(database, freshFolder(QStringLiteral("floor%1").arg(round)), pages);
        std::printf("(a) floor             %9.1f ms  %lld files\n", a,
                    static_cast<long long>(pages.size()));
        double b = 0;
        report = generate(freshFolder(QStringLiteral("site%1").arg(round)), b);
        std::printf("(b) fresh folder      %9.1f ms  %d written, %d failed\n", b, report.written,
                    report.failed);
        double c = 0;
        report = generate(options.folder, c);
        std::printf("(c) re-run, unchanged %9.1f ms  %d written, %d unchanged\n", c, report.written,
                    report.unchanged);
        double g = 0;
        report = generate(freshFolder(QStringLiteral("one%1").arg(round)), g, 1);
        std::printf("(g) fresh, one thread %9.1f ms  %d written, %d failed\n", g, report.written,
                    report.failed);
        const QString cliFolder = freshFolder(QStringLiteral("cli%1").arg(round));
        std::printf("(e) command, fresh:\n");
        const double e = command(cliFolder);
        std::printf("(f) command, unchanged:\n");
        const double f = command(cliFolder);
        floor = std::min(floor, a);
        fresh = std::min(fresh, b);
        rerun = std::min(rerun, c);
        oneThread = std::min(oneThread, g);
        cliFresh = std::min(cliFresh, e);
        cliRerun = std::min(cliRerun, f);
    }
    std::printf("best: floor %.1f ms, fresh %.1f ms, re-run %.1f ms, command %.1f / %.1f ms, "
                "command peak %.0f MB\n",
                floor, fresh, rerun, cliFresh, cliRerun, cliPeak);
    // The floor's own time tells which of the disk's phases was measured.
    std::printf("ratios: fresh/floor=%.2f rerun/floor=%.2f peak_rss_mb=%.0f cli_fresh/floor=%.2f "
                "cli_rerun/floor=%.2f one_thread/floor=%.2f cli_peak_mb=%.0f "
                "window_fresh/floor=%.2f window_peak_mb=%.0f window_rerun_peak_mb=%.0f "
                "floor_ms=%.0f\n",
                fresh / floor, rerun / floor, peak, cliFresh / floor, cliRerun / floor,
                oneThread / floor, cliPeak, windowFresh / floor, windowPeak, windowRerunPeak,
                floor);
    return 0;
}
