// The site's search: what it adds to a run, and what a visitor downloads.
//   build/bench/bench_search [records] [categories] [varied]
// Builds a database of that many records (default 10,000 in 100
// categories; answers of about 2 KB: bench_site's, or with `varied`, text
// of words drawn from a large vocabulary, as real answers differ), then
//   (a) the floor, as bench_site takes it;
//   (b) a fresh run without the search, (i) with it, (j) again unchanged;
//   (w) the window's ＨＰ作成 with the search, fresh and unchanged, each
//       in a child whose peak resident memory is the window's alone;
//   (s) for a few queries, the bytes a browser loads: search.html, the
//       index files of the pairs of characters the words are made of, and
//       the lists of the first hundred questions found.
// (a), (b), (i) and (j) are taken three times, the best of each counts.
#include "Fill.h"
#include "db/Database.h"
#include "db/TextSearch.h"
#include "site/SiteGenerator.h"
#include "site/SiteSearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace
{

// Words of two to four characters from a pool of kana and kanji, drawn with
// a skew (a few often, most seldom), with particles between them.
bool fillVaried(const QString &path, int records, int categories)
{
    quint64 state = 12345;
    const auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return quint32(state >> 33);
    };
    QList<QString> vocabulary;
    for (int w = 0; w < 5000; ++w) {
        QString word;
        const int length = 2 + int(next() % 3);
        for (int k = 0; k < length; ++k)
            word += next() % 4 == 0 ? QChar(char16_t(0x30A2 + next() % 80))
                                    : QChar(char16_t(0x4E00 + next() % 3000));
        vocabulary.append(word);
    }
    const QString particles[] = {u"の"_qs, u"は"_qs, u"を"_qs, u"に"_qs, u"が"_qs, u"です。"_qs, u"、"_qs};
    const auto word = [&] {
        // Rank r about as often as 1/r.
        const double u = (next() % 1000000) / 1e6;
        return vocabulary[int(std::pow(5000.0, u)) - 1];
    };
    return Bench::fill(path, records, [&](int i) {
        const int c = (i * 7919) % categories;
        QString question = word() + particles[next() % 5] + word() + u"はどうしますか？"_qs;
        QString answer;
        while (answer.size() < 900)
            answer += word() + particles[next() % 7] + (next() % 30 == 0 ? u"<br>\r\n"_qs : QString());
        return Bench::Row{QStringLiteral("sub%1,分類%2").arg(c).arg(vocabulary[c]), question,
                          answer};
    });
}

qint64 sizeOf(const QString &path)
{
    return QFileInfo(path).size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int categories = argc > 2 ? std::atoi(argv[2]) : 100;
    const bool varied = argc > 3 && qstrcmp(argv[3], "varied") == 0;

    QTemporaryDir dir;
    if (qEnvironmentVariableIsSet("BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("kept in %s\n", qPrintable(dir.path()));
    }
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    const QString database = dir.filePath(QStringLiteral("bench.mdb"));
    QString error;
    if (!Database(database).create(false, &error) ||
        !(varied ? fillVaried(database, records, categories)
                 : Bench::fillSite(database, records, categories))) {
        std::fprintf(stderr, "cannot build the database: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d records (%s answers) in %d categories\n", records,
                varied ? "varied" : "bench_site's", categories);

    SiteOptions options;
    options.indexName = QStringLiteral("index.html");
    options.title = QStringLiteral("よくある質問");
    const auto freshFolder = [&dir](const QString &name) {
        QDir().mkpath(dir.filePath(name));
        return dir.filePath(name);
    };
    const auto generate = [&](const QString &folder, bool search, double &ms) {
        options.folder = folder;
        options.search = search;
        ::sync();
        QElapsedTimer timer;
        timer.start();
        const SiteReport report = SiteGenerator::generate(Database(database), options, records, {});
        ms = timer.nsecsElapsed() / 1e6;
        if (!report.problems.isEmpty())
            std::printf("    %s\n", qPrintable(report.problems.join(u" | ")));
        return report;
    };

    double floor = 1e300, plain = 1e300, withSearch = 1e300, rerun = 1e300;
    QString searched;
    for (int round = 1; round <= 3; ++round) {
        double b = 0, i = 0, j = 0;
        const QString site = freshFolder(QStringLiteral("plain%1").arg(round));
        SiteReport report = generate(site, false, b);
        Bench::Files pages;
        const QDir folder(site);
        for (const QString &name : folder.entryList(QDir::Files)) {
            QFile file(folder.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                pages.append({QFile::encodeName(name), file.readAll()});
        }
        ::sync();
        const double a =
            Bench::floorMs(database, freshFolder(QStringLiteral("floor%1").arg(round)), pages);
        pages.clear();
        searched = freshFolder(QStringLiteral("search%1").arg(round));
        report = generate(searched, true, i);
        const int written = report.written;
        report = generate(searched, true, j);
        std::printf("(a) %9.1f  (b) %9.1f  (i) %9.1f ms, %d written  (j) %9.1f ms, %d written, "
                    "%d unchanged\n",
                    a, b, i, written, j, report.written, report.unchanged);
        floor = std::min(floor, a);
        plain = std::min(plain, b);
        withSearch = std::min(withSearch, i);
        rerun = std::min(rerun, j);
    }

    // The window's run with the search, in a child.
    double windowPeak = 0, windowRerunPeak = 0;
    {
        const QString folder = freshFolder(QStringLiteral("window"));
        for (double *peak : {&windowPeak, &windowRerunPeak}) {
            ::sync();
            QProcess process;
            process.start(QStringLiteral(SITE_WINDOW),
                          {database, folder, options.title, QStringLiteral("search")});
            process.waitForFinished(-1);
            const QByteArray out = process.readAllStandardOutput();
            std::printf("(w) window %s", out.constData());
            *peak = QRegularExpression(QStringLiteral(" peak ([0-9]+) MB"))
                        .match(QString::fromUtf8(out))
                        .captured(1)
                        .toDouble();
        }
    }

    // What the index takes, and what a few searches load.
    const QDir site(searched);
    qint64 indexBytes = 0;
    int shards = 0, lists = 0;
    for (const QString &name : site.entryList(QDir::Files)) {
        if (!SiteSearch::isOurFile(name) || name == SiteSearch::pageName())
            continue;
        indexBytes += sizeOf(site.filePath(name));
        (name.startsWith(u"search-index-"_qs) ? shards : lists) += 1;
    }
    const qint64 page = sizeOf(site.filePath(SiteSearch::pageName()));
    std::printf("(s) search.html %lld bytes; index %lld bytes in %d index files and %d lists\n",
                static_cast<long long>(page), static_cast<long long>(indexBytes), shards, lists);
    QStringList queries;
    if (varied) {
        // The first words of a few answers, and a rare pair.
        Database(database).scanWithKinds({}, [&](const Database::Stored &stored) {
            if (stored.no % (records / 4 + 1) == 1) {
                const QString answer = Database::text(stored.anser);
                queries << answer.left(3) << answer.mid(10, 2) + u' ' + answer.mid(30, 3)
                        << answer.left(1);
            }
            return true;
        });
        queries << u"新幹線"_qs;
    } else {
        queries << u"本文"_qs << u"質問その123"_qs << u"改行 本文"_qs << u"その1234 意味"_qs
                << u"新幹線"_qs << u"答えの本文はこのように"_qs;
    }
    qint64 worst = 0;
    for (const QString &query : std::as_const(queries)) {
        const TextSearch search(query);
        QSet<QString> files;
        for (const QString &word : search.words()) {
            const QList<uint> w = word.toUcs4();
            QList<std::pair<uint, qint64>> pairs;
            if (w.size() == 1)
                pairs.append({w[0], -1});
            for (qsizetype o = 0; o + 1 < w.size(); o += 2)
                pairs.append({w[o], w[o + 1]});
            if (w.size() > 1 && w.size() % 2)
                pairs.append({w[w.size() - 2], w[w.size() - 1]});
            for (const auto &[first, second] : pairs)
                files.insert(SiteSearch::indexFileName(
                    int(SiteSearch::keyHash(first, second) & quint32(shards - 1))));
        }
        // The first hundred shown: those whose question holds every word
        // first, each group in the order of the records.
        QList<int> top, others;
        int doc = 0;
        Database(database).scanWithKinds({}, [&](const Database::Stored &stored) {
            if (search.matches(stored.kind, stored.quest, stored.anser))
                (search.matches({}, stored.quest, {}) ? top : others).append(doc);
            ++doc;
            return true;
        });
        const int found = int(top.size() + others.size());
        for (const int d : (top + others).mid(0, 100))
            files.insert(SiteSearch::listFileName(d / SiteSearch::ListBlock));
        qint64 bytes = page;
        for (const QString &name : std::as_const(files))
            bytes += sizeOf(site.filePath(name));
        worst = std::max(worst, bytes);
        std::printf("    %-24s %6d found, %3lld files, %8.1f KB loaded\n", qPrintable(query), found,
                    static_cast<long long>(files.size() + 1), bytes / 1024.0);
    }
    std::printf("ratios: search_added/fresh=%.2f search_rerun/floor=%.2f fresh/floor=%.2f "
                "window_search_peak_mb=%.0f window_search_rerun_peak_mb=%.0f "
                "most_loaded_kb=%.0f floor_ms=%.0f\n",
                (withSearch - plain) / plain, rerun / floor, plain / floor, windowPeak,
                windowRerunPeak, worst / 1024.0, floor);
    return 0;
}
