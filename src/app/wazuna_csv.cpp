// wazuna-csv: the records of a database out to CSV, or in from CSV/TSV,
// without the window.
//   wazuna-csv export [--shift-jis] [--no-br] [--force] DATABASE FILE
//   wazuna-csv import [--no-br] [--no-backup] [--skip-duplicates|--allow-duplicates]
//                     DATABASE FILE
// The same files as CSV書き出し... and CSV読み込み...
#include "CommandLine.h"
#include "csv/CsvTransfer.h"
#include "db/Backups.h"
#include "db/Database.h"
#include "db/Texts.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

using CommandLine::badUsage;
using CommandLine::line;
using CommandLine::problem;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("wazuna-csv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(WAZUNA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("export: writes every record of DATABASE to FILE as CSV (UTF-8 with a "
                       "BOM, or Shift_JIS).\n"
                       "import: appends the rows of a CSV or TSV FILE to DATABASE as new "
                       "records: all of them, or none when a row is refused. A DATABASE that "
                       "does not exist is made first, empty; one that exists is first "
                       "copied into $XDG_DATA_HOME/wazuna/backups (~/.local/share/wazuna/"
                       "backups), which the window's File menu restores from. Rows that "
                       "DATABASE holds already (the same category, question and answer, as "
                       "they would be stored) are refused unless --skip-duplicates or "
                       "--allow-duplicates says otherwise.\n"
                       "Exit status: 0 done, 1 records or rows refused (nothing written or "
                       "added, or no backup could be made), 2 bad arguments, or a database "
                       "or file that cannot be read or written."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption shiftJis(
        QStringLiteral("shift-jis"), QStringLiteral("export: Shift_JIS (CP932) instead of UTF-8."));
    parser.addOption(shiftJis);
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("export: replace a FILE that is there (never a SQLite database)."));
    parser.addOption(force);
    // As the window with 改行を<br>改行にする ticked, its default; --no-br as
    // with it clear.
    const QCommandLineOption noBr(
        QStringLiteral("no-br"),
        QStringLiteral("Answers as stored, byte for byte. Without it, export takes \"<br>\" "
                       "off before each line break, and import stores each line break as "
                       "\"<br>\" CR LF, as the window's input tab does."));
    parser.addOption(noBr);
    const QCommandLineOption noBackup(
        QStringLiteral("no-backup"),
        QStringLiteral("import: add the rows without copying DATABASE first."));
    parser.addOption(noBackup);
    const QCommandLineOption skipDuplicates(
        QStringLiteral("skip-duplicates"),
        QStringLiteral("import: add the rows that DATABASE does not hold already, and leave "
                       "out the others."));
    parser.addOption(skipDuplicates);
    const QCommandLineOption allowDuplicates(
        QStringLiteral("allow-duplicates"),
        QStringLiteral("import: add every row, also those that DATABASE holds already."));
    parser.addOption(allowDuplicates);
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("export or import."),
                                 QStringLiteral("export|import"));
    parser.addPositionalArgument(QStringLiteral("DATABASE"), QStringLiteral("The database file."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV or TSV file."));
    if (!parser.parse(QCoreApplication::arguments()))
        return badUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command != u"export" && command != u"import")
        return badUsage(command.isEmpty() ? QStringLiteral("export or import is needed")
                                          : QStringLiteral("unknown command: ") + command);
    if (args.size() != 3)
        return badUsage(QStringLiteral("a DATABASE and a FILE are needed"));
    if (command == u"import" && parser.isSet(shiftJis))
        return badUsage(QStringLiteral("--shift-jis is for export: import tells the encoding "
                                       "itself"));
    if (command == u"import" && parser.isSet(force))
        return badUsage(QStringLiteral("--force is for export: import replaces no file"));
    if (command == u"export" && parser.isSet(noBackup))
        return badUsage(QStringLiteral("--no-backup is for import: export changes no database"));
    if (command == u"export" && (parser.isSet(skipDuplicates) || parser.isSet(allowDuplicates)))
        return badUsage(QStringLiteral("--skip-duplicates and --allow-duplicates are for import"));
    if (parser.isSet(skipDuplicates) && parser.isSet(allowDuplicates))
        return badUsage(QStringLiteral("--skip-duplicates and --allow-duplicates exclude each "
                                       "other"));

    // A newcomer may start from a spreadsheet alone: import makes the
    // database it is given when there is none.
    const Database db(args.at(1));
    QString error;
    struct stat st {
    };
    const bool made = command == u"import" &&
                      ::lstat(QFile::encodeName(db.path()).constData(), &st) != 0 &&
                      errno == ENOENT;
    if (made) {
        if (!db.create(false, &error)) {
            line(stderr, QStringLiteral("wazuna-csv: %1: %2").arg(args.at(1), error));
            return 2;
        }
        line(stdout, Texts::databaseCreated(args.at(1)).replace(u'\n', QLatin1StringView(": ")));
    }
    // A file that is not a database of ours is refused before anything is
    // written or read.
    if (!db.count(&error)) {
        line(stderr, QStringLiteral("wazuna-csv: %1: %2").arg(args.at(1), error));
        return 2;
    }

    if (command == u"export") {
        // export and import take the same arguments: a slip must not cost the
        // user's CSV file, nor another database. The database itself is
        // refused by the export.
        const QString out = args.at(2);
        const QFileInfo target(out);
        if (target.exists() && !target.isDir() && !CsvTransfer::isDatabaseFile(db, out)) {
            const bool database = Database::isSqliteFile(out);
            if (database || !parser.isSet(force)) {
                problem(Texts::csvNotWritten(out, database ? Texts::Reason::isADatabase()
                                                           : Texts::Reason::replaceWithForce()));
                return 2;
            }
        }
        const CsvTransfer::Exported done = CsvTransfer::exportTo(
            db, args.at(2),
            parser.isSet(shiftJis) ? CsvTransfer::Encoding::ShiftJis : CsvTransfer::Encoding::Utf8,
            !parser.isSet(noBr));
        if (!done.ok) {
            problem(done.message);
            return done.refused ? 1 : 2;
        }
        line(stdout, Texts::csvExported(done.records));
        return 0;
    }

    // Nobody is there to ask whether to go on without a copy: no copy, no
    // import, unless the user said so.
    if (!made && !parser.isSet(noBackup) && !Backups::make(db.path(), &error)) {
        problem(Backups::notMade(args.at(1), error) +
                QStringLiteral("\n--no-backup を付けると、バックアップなしで読み込みます"));
        return 1;
    }

    CommandLine::Progress progress;
    // Without a word on rows stored already, nothing is added when there
    // are any: a file imported twice would double every record.
    QList<qint64> duplicateLines;
    const auto duplicates = [&](int, const QList<qint64> &lines) {
        duplicateLines = lines;
        return parser.isSet(skipDuplicates) ? CsvTransfer::Duplicates::Skip
                                            : CsvTransfer::Duplicates::Cancel;
    };
    const CsvTransfer::Imported done = CsvTransfer::importFrom(
        db, args.at(2), !parser.isSet(noBr),
        [&](qint64 read, qint64 total) {
            if (progress.due())
                std::fprintf(stderr, "\r%lld%%", total > 0 ? read * 100 / total : 100LL);
        },
        parser.isSet(allowDuplicates) ? CsvTransfer::OnDuplicates() : duplicates);
    if (progress.shown())
        std::fputc('\n', stderr);
    if (!done.failure.isEmpty()) {
        problem(done.failure);
        return 2;
    }
    if (done.cancelled) {
        problem(Texts::csvDuplicatesRefused(args.at(2)));
        constexpr qsizetype Shown = 10; // as many as the file's refused rows
        for (const qint64 at : duplicateLines.first(std::min(Shown, duplicateLines.size())))
            line(stderr, Texts::csvAtLine(at, Texts::csvStoredAlready()));
        if (duplicateLines.size() > Shown)
            line(stderr, Texts::csvMore(duplicateLines.size() - Shown));
        line(stderr, QStringLiteral("--skip-duplicates adds the other rows, --allow-duplicates "
                                    "adds them all."));
        return 1;
    }
    if (!done.ok) {
        problem(Texts::csvRefused(args.at(2)));
        for (const QString &text : done.problems)
            line(stderr, text);
        return 1;
    }
    line(stdout, Texts::csvImported(done.records, done.skipped));
    return 0;
}
