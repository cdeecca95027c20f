// How fast a large database goes out to CSV and comes back in.
//   build/bench/bench_csv [records] [answer characters]
// Builds a database of that many records (default 100,000, answers of 900
// characters, about 2 KB in Shift_JIS and 2.7 KB in UTF-8, with line
// breaks, commas and quotes) in a temporary folder, then measures
//   (a) the export in UTF-8, (b) in Shift_JIS,
//   (c) the import of (a) into an empty database, (d) of (b),
//   (e) the import of a file of one 256 MB field, refused,
//   (f) the check of a file of the first 1,000 records against the
//       database, all of them stored already, answered キャンセル, and
//   (g) answered いいえ: checked again as nothing is added,
//   (h) the import of that file as the window's step (its stamps kept),
//   (i) its undo and (j) its redo,
// each with the peak resident memory it took. Answers cross as the window
// sends them, "<br>" taken off and put back.
#include "Fill.h"
#include "Memory.h"
#include "csv/CsvTransfer.h"
#include "db/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace
{

bool fill(const QString &path, int records, int length)
{
    const QString plain = QStringLiteral("答えの本文は、このように\"続き\"ます。");
    const QString broken = QStringLiteral("改行のある行です。<br>\r\n");
    return Bench::fill(path, records, [&](int i) {
        QString answer = QString::number(i) + u' ';
        while (answer.size() < length)
            answer += (answer.size() / 40) % 3 == 0 ? broken : plain;
        const int c = (i * 7919) % 1000;
        return Bench::Row{QStringLiteral("sub%1,分類その%2").arg(c).arg(c),
                          QStringLiteral("質問その%1はどういう意味ですか？").arg(i), answer};
    });
}

template <class Run> void measure(const char *what, const Run &run)
{
    ::sync();
    Memory::resetPeak();
    QElapsedTimer timer;
    timer.start();
    const QString said = run();
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%-28s %9.1f ms  peak %7.1f MB  %s\n", what, ms, Memory::mb("VmHWM"),
                qPrintable(said.section(u'\n', 0, 0)));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int length = argc > 2 ? std::atoi(argv[2]) : 900;

    QTemporaryDir dir;
    const Database from(dir.filePath(QStringLiteral("from.mdb")));
    const Database to(dir.filePath(QStringLiteral("to.mdb")));
    QString error;
    if (!from.create(false, &error) || !fill(from.path(), records, length) ||
        !to.create(false, &error)) {
        std::fprintf(stderr, "cannot build the databases: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d records, answers of %d characters, database of %lld bytes\n", records, length,
                static_cast<long long>(QFileInfo(from.path()).size()));

    const QString utf8 = dir.filePath(QStringLiteral("out.csv"));
    const QString sjis = dir.filePath(QStringLiteral("out-sjis.csv"));
    measure("(a) export UTF-8", [&] {
        return CsvTransfer::exportTo(from, utf8, CsvTransfer::Encoding::Utf8, true).message;
    });
    measure("(b) export Shift_JIS", [&] {
        return CsvTransfer::exportTo(from, sjis, CsvTransfer::Encoding::ShiftJis, true).message;
    });
    std::printf("files of %lld and %lld bytes\n", static_cast<long long>(QFileInfo(utf8).size()),
                static_cast<long long>(QFileInfo(sjis).size()));
    measure("(c) import UTF-8", [&] {
        const CsvTransfer::Imported r = CsvTransfer::importFrom(to, utf8, true);
        return r.ok ? QStringLiteral("%1 records").arg(r.records)
                    : r.failure + r.problems.join(u'\n');
    });
    const Database to2(dir.filePath(QStringLiteral("to2.mdb")));
    to2.create(false);
    measure("(d) import Shift_JIS", [&] {
        const CsvTransfer::Imported r = CsvTransfer::importFrom(to2, sjis, true);
        return r.ok ? QStringLiteral("%1 records").arg(r.records)
                    : r.failure + r.problems.join(u'\n');
    });
    // One field of 256 MB: refused at 4 MiB, in no more memory than that.
    const QString huge = dir.filePath(QStringLiteral("huge.csv"));
    {
        QFile f(huge);
        const QByteArray block(1 << 20, 'a');
        if (!f.open(QIODevice::WriteOnly) || f.write("\"s,x\",q,\"") < 0)
            return 1;
        for (int i = 0; i < 256; ++i)
            f.write(block);
        f.write("\"\r\n");
    }
    measure("(e) import one 256 MB field", [&] {
        const CsvTransfer::Imported r = CsvTransfer::importFrom(to2, huge, true);
        return r.failure + r.problems.join(u' ');
    });
    const QString head = dir.filePath(QStringLiteral("head.csv"));
    {
        const Database first(dir.filePath(QStringLiteral("head.mdb")));
        if (!first.create(false) || !fill(first.path(), std::min(records, 1000), length) ||
            !CsvTransfer::exportTo(first, head, CsvTransfer::Encoding::Utf8, true).ok)
            return 1;
    }
    for (const auto answer : {CsvTransfer::Duplicates::Cancel, CsvTransfer::Duplicates::Skip})
        measure(answer == CsvTransfer::Duplicates::Cancel ? "(f) 1,000 stored rows, cancel"
                                                          : "(g) 1,000 stored rows, skip",
                [&] {
                    int found = 0;
                    const CsvTransfer::Imported r = CsvTransfer::importFrom(
                        from, head, true, {}, [&](int count, const QList<qint64> &) {
                            found = count;
                            return answer;
                        });
                    return QStringLiteral("%1 found, %2 added").arg(found).arg(r.records);
                });
    // The window's step of an import: its records taken back whole, and
    // added again with the same numbers, each only while it is as the
    // import left it.
    CsvTransfer::Imported step;
    measure("(h) import 1,000 as a step", [&] {
        step = CsvTransfer::importFrom(
            from, head, true, {},
            [](int, const QList<qint64> &) { return CsvTransfer::Duplicates::Add; },
            64 * 1024 * 1024);
        return QStringLiteral("%1 records, %2 stamps").arg(step.records).arg(step.stamps.size());
    });
    QList<Database::Exchange> back, again;
    for (qsizetype i = step.numbers.size() - 1; i >= 0; --i)
        back.append({step.numbers[i], step.stamps[i], {}});
    for (qsizetype i = 0; i < step.numbers.size(); ++i)
        again.append({step.numbers[i], {}, step.stamps[i]});
    for (const auto &run :
         {std::pair("(i) undo of that import", &back), std::pair("(j) redo of it", &again)}) {
        const QList<Database::Exchange> &exchanges = *run.second;
        measure(run.first, [&] {
            QString error;
            const std::optional<bool> done = from.exchange(exchanges, &error);
            return done && *done ? QStringLiteral("%1 records").arg(exchanges.size()) : error;
        });
    }
    return 0;
}
