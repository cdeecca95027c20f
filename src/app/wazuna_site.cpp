// wazuna-site: the site of a collection, written without the window.
//   wazuna-site [--index NAME] [--title TEXT] [--table] [--big-title] [--phone] [--search]
//               [--prune] DATABASE OUTDIR
// The same pages, byte for byte, as ＨＰ作成 after データ表示.
#include "CommandLine.h"
#include "db/Database.h"
#include "db/Texts.h"
#include "site/SiteGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

using CommandLine::badUsage;
using CommandLine::line;
using CommandLine::problem;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("wazuna-site"));
    QCoreApplication::setApplicationVersion(QStringLiteral(WAZUNA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the HTML site of a wazuna database into OUTDIR: the same pages, "
                       "byte for byte, as the window's ＨＰ作成.\n"
                       "Exit status: 0 every page written, 1 a page or a category reported, "
                       "2 bad arguments or a database that cannot be read."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption index(QStringLiteral("index"),
                                   QStringLiteral("The index page's file name (index.html)."),
                                   QStringLiteral("NAME"), QStringLiteral("index.html"));
    const QCommandLineOption title(QStringLiteral("title"),
                                   QStringLiteral("The index page's title (empty)."),
                                   QStringLiteral("TEXT"));
    const QCommandLineOption table(QStringLiteral("table"),
                                   QStringLiteral("The framed layout (<table>) instead of rules."));
    const QCommandLineOption bigTitle(
        QStringLiteral("big-title"),
        QStringLiteral("A larger heading on the menu pages (table layout only)."));
    const QCommandLineOption prune(
        QStringLiteral("prune"),
        QStringLiteral("Remove the pages an earlier run wrote into OUTDIR and this one did not, "
                       "while they hold what that run wrote. Without it they are only listed."));
    const QCommandLineOption phone(
        QStringLiteral("phone"),
        QStringLiteral("Pages a phone can read (スマートフォン対応): a viewport, readable text "
                       "and links large enough to tap; a Q&A page links to the index too."));
    const QCommandLineOption search(
        QStringLiteral("search"),
        QStringLiteral("A search page (サイト内検索を付ける): search.html, its index as scripts "
                       "beside the pages, and a search box on the index page."));
    parser.addOptions({index, title, table, bigTitle, phone, search, prune});
    parser.addPositionalArgument(QStringLiteral("DATABASE"), QStringLiteral("The database file."));
    parser.addPositionalArgument(QStringLiteral("OUTDIR"),
                                 QStringLiteral("The folder for the pages, made when missing."));
    if (!parser.parse(QCoreApplication::arguments()))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        return badUsage(QStringLiteral("a DATABASE and an OUTDIR are needed"));

    const Database db(args.at(0));
    QString error;
    const std::optional<qint64> count = db.count(&error);
    if (!count) {
        line(stderr, QStringLiteral("wazuna-site: %1: %2").arg(args.at(0), error));
        return 2;
    }

    SiteOptions options;
    options.folder = QFileInfo(args.at(1)).absoluteFilePath();
    options.indexName = parser.value(index);
    options.title = parser.value(title);
    options.layout = parser.isSet(table) ? Pages::Layout::Table : Pages::Layout::Rules;
    options.bigTitle = parser.isSet(bigTitle);
    options.phone = parser.isSet(phone);
    options.search = parser.isSet(search);
    // One level, as ﾃﾞｨﾚｸﾄﾘ作成 makes it.
    if (!QFileInfo(options.folder).isDir() &&
        ::mkdir(QFile::encodeName(options.folder).constData(), 0777) != 0) {
        const int code = errno;
        line(stderr, QStringLiteral("wazuna-site: %1: フォルダーを作成できません（%2）")
                         .arg(args.at(1), Texts::Reason::ofErrno(code)));
        return 2;
    }
    if (*count == 0) {
        // The window lists nothing, and then has nothing to write.
        problem(Texts::noRecords());
        std::printf("0 written, 0 unchanged, 1 problem\n");
        return 1;
    }

    CommandLine::Progress progress;
    const SiteReport report = SiteGenerator::generate(
        db, options, *count, {},
        [&](int done, int total) {
            if (progress.due())
                std::fprintf(stderr, "\r%d / %d", done, total);
        },
        [&args] {
            // A cron job and the window, or two cron jobs: this one waits.
            line(stderr, QStringLiteral("wazuna-site: %1: %2。終わるのを待っています")
                             .arg(args.at(1), Texts::folderBusy()));
        });
    if (progress.shown())
        std::fprintf(stderr, "\r%d / %d\n", report.written + report.unchanged + report.failed,
                     report.written + report.unchanged + report.failed);
    for (const QString &text : report.problems)
        problem(text);
    if (report.failed)
        problem(report.failureMessage());
    if (report.readFailed)
        return 2;
    qsizetype problems = report.problems.size() + (report.failed ? 1 : 0);
    // Pages of records and categories gone since an earlier run: listed,
    // and removed when asked; neither is a problem of this run.
    if (!report.stale.isEmpty()) {
        line(stderr, QStringLiteral("wazuna-site: %1: %2")
                         .arg(args.at(1), Texts::stalePages(report.stale).section(u'\n', 0, 0)));
        for (const QString &name : report.stale)
            line(stderr, QStringLiteral("  ") + name);
        if (parser.isSet(prune)) {
            const PruneReport pruned = SiteGenerator::prune(options.folder, report);
            line(stderr, QStringLiteral("wazuna-site: %1: %2")
                             .arg(args.at(1), Texts::stalePagesRemoved(pruned.removed, pruned.trash,
                                                                       pruned.kept)
                                                  .replace(u'\n', QStringLiteral("\n  "))));
            for (const QString &text : pruned.problems)
                problem(text);
            if (pruned.failed)
                problem(Texts::stalePagesNotRemoved(pruned.failed, pruned.firstFailedPath,
                                                    pruned.firstFailure));
            problems += pruned.problems.size() + (pruned.failed ? 1 : 0);
        } else {
            line(stderr, QStringLiteral("wazuna-site: --prune removes them"));
        }
    }
    std::printf("%d written, %d unchanged, %lld problem%s\n", report.written, report.unchanged,
                static_cast<long long>(problems), problems == 1 ? "" : "s");
    return problems ? 1 : 0;
}
