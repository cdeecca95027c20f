// wazuna-site and wazuna-csv: the window's pages and files from the command
// line, and their answers.
#include "db/Database.h"
#include "editing/RecordLists.h"
#include "db/Texts.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDesktop.h"
#include "platform/ScriptedDialogs.h"
#include "site/HtmlTab.h"
#include "site/SiteGenerator.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

struct Run {
    int status;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Each file of a folder with its bytes, times left out.
QStringList pages(const QString &folder)
{
    QStringList lines;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        lines.append(name + u' ' + QString::fromLatin1(file.readAll().toHex()));
    }
    return lines;
}

Run wazunaSite(const QStringList &args)
{
    return run(QStringLiteral(WAZUNA_SITE), args);
}

// Every record as one text, numbers left out.
QStringList records(const QString &db)
{
    QStringList all;
    Database(db).scan([&all](const QaRecord &r) {
        all.append(r.kind + u'|' + r.quest + u'|' + r.anser);
        return true;
    });
    return all;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_db;
    QTemporaryDir m_data;

    QString path(const QString &name) const { return m_tmp->filePath(name); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // The command keeps its record of pages where the tests say.
        static QTemporaryDir cache;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        // and its trash.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_db = path(u"faq's.mdb"_s);
        QVERIFY(Database(m_db).create(false));
        const QStringList kinds{u"sub100,初級編"_s, u"sub200,中級,その2"_s, u",先頭"_s,
                                u"sub100,初級編"_s};
        for (int i = 0; i < kinds.size(); ++i)
            QVERIFY(Database(m_db).add(
                {0, kinds.at(i), u"質問 <b>%1</b> it's"_s.arg(i), u"一行目<br>\r\n😀 ～〜 ¥"_s}));
    }

    // The same bytes as the window's ＨＰ作成 after データ表示.
    void sameAsTheWindow_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("table");
        QTest::addColumn<bool>("big");
        QTest::addColumn<QString>("index");
        QTest::addColumn<bool>("phone");
        QTest::addColumn<bool>("search");
        QTest::newRow("rules") << QStringList() << false << false << u"index.html"_s << false
                               << false;
        QTest::newRow("table") << QStringList{u"--table"_s} << true << false << u"index.html"_s
                               << false << false;
        QTest::newRow("table, big title, index.htm")
            << QStringList{u"--table"_s, u"--big-title"_s, u"--index"_s, u"index.htm"_s} << true
            << true << u"index.htm"_s << false << false;
        QTest::newRow("rules, phone")
            << QStringList{u"--phone"_s} << false << false << u"index.html"_s << true << false;
        QTest::newRow("rules, search")
            << QStringList{u"--search"_s} << false << false << u"index.html"_s << false << true;
        QTest::newRow("table, big title, index.htm, phone, search")
            << QStringList{u"--table"_s, u"--big-title"_s, u"--index"_s, u"index.htm"_s,
                           u"--phone"_s, u"--search"_s}
            << true << true << u"index.htm"_s << true << true;
    }

    void sameAsTheWindow()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, table);
        QFETCH(bool, big);
        QFETCH(QString, index);
        QFETCH(bool, phone);
        QFETCH(bool, search);
        const QString title = u"よくある質問 'FAQ'"_s;
        Session session;
        session.databasePath = m_db;
        ScriptedDialogs dialogs;
        ScriptedDesktop desktop;
        RecordLists lists(session, dialogs);
        HtmlTab tab(lists, session, dialogs, desktop);
        QVERIFY(QDir().mkdir(path(u"window"_s)));
        QVERIFY(tab.setOutputFolder(path(u"window"_s)));
        tab.Text8->setText(index);
        tab.Text10->setText(title);
        (table ? tab.Option5 : tab.Option6)->setChecked(true);
        tab.Check2->setChecked(big);
        tab.Check3->setChecked(phone);
        tab.Check4->setChecked(search);
        tab.Command13->click();
        tab.Command14->click();
        QCOMPARE(dialogs.messages(), QStringList{Texts::siteMade()});

        const QStringList args = options + QStringList{u"--title"_s, title, m_db, path(u"cli"_s)};
        Run run = wazunaSite(args);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        // With the search: search.html, one index file and one list.
        const int files = search ? 11 : 8;
        QCOMPARE(run.out, u"%1 written, 0 unchanged, 0 problems\n"_s.arg(files));
        QCOMPARE(pages(path(u"cli"_s)), pages(path(u"window"_s)));
        run = wazunaSite(args);
        QCOMPARE(run.out, u"0 written, %1 unchanged, 0 problems\n"_s.arg(files));
    }

    // What it says and how it ends when it cannot do it all.
    void statuses_data()
    {
        QTest::addColumn<QStringList>("args"); // DB: the database, OUT: a new folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // the beginning of standard error
        QTest::newRow("no arguments") << QStringList() << 2 << u"wazuna-site: a DATABASE"_s;
        QTest::newRow("one argument") << QStringList{u"DB"_s} << 2 << u"wazuna-site: a DATABASE"_s;
        QTest::newRow("unknown option")
            << QStringList{u"--frames"_s, u"DB"_s, u"OUT"_s} << 2 << u"wazuna-site: Unknown"_s;
        QTest::newRow("missing database") << QStringList{u"gone.mdb"_s, u"OUT"_s} << 2
                                          << u"wazuna-site: gone.mdb: ファイルがありません"_s;
        QTest::newRow("not a database")
            << QStringList{u"notes.txt"_s, u"OUT"_s} << 2
            << u"wazuna-site: notes.txt: このツールのデータベースではありません"_s;
        QTest::newRow("folder below a missing one")
            << QStringList{u"DB"_s, u"missing/out"_s} << 2 << u"wazuna-site: missing/out:"_s;
        QTest::newRow("folder below a regular file")
            << QStringList{u"DB"_s, u"notes.txt/out"_s} << 2
            << u"wazuna-site: notes.txt/out: フォルダーを作成できません（"_s +
                   Texts::Reason::ofErrno(ENOTDIR) + u"）\n"_s;
        QTest::newRow("folder nobody may write into")
            << QStringList{u"DB"_s, u"/proc"_s} << 1
            << u"8ページを書き込めませんでした: /proc/qa001.html: "_s +
                   Texts::Reason::ofErrno(ENOENT) + u'\n';
        QTest::newRow("a category without a comma")
            << QStringList{u"BAD"_s, u"OUT"_s} << 1
            << Texts::badCategory() + u'\n' + Texts::badCategory() + u": nocomma\n"_s +
                   Texts::badCategory() + u'\n';
        // A NUL is named and the text shown whole; a negative number (Jet's
        // random numbering) keeps its sign before three digits.
        QTest::newRow("a NUL in a stem, a negative number")
            << QStringList{u"ODD"_s, u"OUT"_s} << 1
            << u"ファイル名に NUL 文字（U+0000）が含まれているため、ページを作成しませんでした: "
               u"a\\0b,x\n"_s;
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << QString();
    }

    void statuses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        QVERIFY(writeFile(path(u"notes.txt"_s), "text\n"));
        const QString bad = path(u"bad.mdb"_s);
        QVERIFY(Database(bad).create(false));
        QVERIFY(Database(bad).add({0, u"nocomma"_s, u"q"_s, u"a"_s}));
        QVERIFY(Database(bad).add({0, u"a,b"_s, u"q"_s, u"a"_s}));
        const QString odd = path(u"odd.mdb"_s);
        QVERIFY(Database(odd).create(false));
        QVERIFY(Database(odd).add({0, u"a"_s + QChar(0) + u"b,x"_s, u"q"_s, u"a"_s}));
        QVERIFY(RawSqlite(odd).exec("INSERT INTO tbl1 VALUES (-5, 'n,x', 'q', 'a')"));
        for (QString &arg : args) {
            if (arg == u"DB"_s)
                arg = m_db;
            else if (arg == u"BAD"_s)
                arg = bad;
            else if (arg == u"ODD"_s)
                arg = odd;
            else if (arg == u"OUT"_s)
                arg = path(u"out"_s);
        }
        QProcess process;
        process.setWorkingDirectory(m_tmp->path());
        process.start(QStringLiteral(WAZUNA_SITE), args);
        QVERIFY(process.waitForFinished(60000));
        const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(stderrText.startsWith(err), qPrintable(stderrText));
        if (status == 2)
            QCOMPARE(process.readAllStandardOutput(), QByteArray());
        if (args.contains(odd))
            QVERIFY(QFile::exists(path(u"out/qa-005.html"_s)));
        if (args.contains(u"--help"_s))
            QVERIFY(process.readAllStandardOutput().contains("DATABASE OUTDIR"));
    }

    // One run writes a folder at a time: the window's run stops and says so,
    // wazuna-site waits and says so; two at once both end with the site
    // whole and nothing of theirs left.
    void oneRunAtATime()
    {
        const QString out = path(u"out"_s);
        QVERIFY(QDir().mkdir(out));
        const int held =
            ::open(QFile::encodeName(out).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        const SiteReport busy = SiteGenerator::generate(
            Database(m_db), {out, u"index.html"_s, {}, Pages::Layout::Rules, false}, 4, {});
        QVERIFY(busy.readFailed);
        QCOMPARE(busy.problems,
                 QStringList(u"ほかの実行がこのフォルダーに書き込み中です\n"_s + out));

        QProcess waiting;
        waiting.setReadChannel(QProcess::StandardError);
        waiting.start(QStringLiteral(WAZUNA_SITE), {m_db, out});
        QByteArray said;
        while (!said.endsWith('\n') && waiting.waitForReadyRead(20000))
            said += waiting.readAllStandardError();
        QCOMPARE(QString::fromLocal8Bit(said),
                 u"wazuna-site: "_s + out +
                     u": ほかの実行がこのフォルダーに書き込み中です。終わるのを待っています\n"_s);
        QVERIFY(QDir(out).isEmpty());
        ::close(held);
        QVERIFY(waiting.waitForFinished(60000));
        QCOMPARE(waiting.exitCode(), 0);
        const QStringList site = pages(out);
        QCOMPARE(site.size(), 8);

        QVERIFY(RawSqlite(m_db).insertRecords(3000));
        QProcess first;
        QProcess second;
        first.start(QStringLiteral(WAZUNA_SITE), {m_db, out});
        second.start(QStringLiteral(WAZUNA_SITE), {m_db, out});
        QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
        // Both report only the name two categories share, sub100.html.
        QCOMPARE(first.exitCode(), 1);
        QCOMPARE(second.exitCode(), 1);
        const QByteArray shared = u"\nsub100.html は"_s.toUtf8();
        QVERIFY(('\n' + first.readAllStandardError()).contains(shared));
        QVERIFY(('\n' + second.readAllStandardError()).contains(shared));
        // Every page of the 3,004 records, the index and three menu pages;
        // no temporary file.
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 3004 + 1 + 3);
    }

    // Pages of records gone since the last run are listed on standard
    // error, not a problem, and removed only with --prune.
    void stalePages()
    {
        const QString out = path(u"out"_s);
        QCOMPARE(wazunaSite({m_db, out}).status, 0);
        // The only record of the category ",先頭" goes, and its menu page.
        QVERIFY(RawSqlite(m_db).exec("DELETE FROM tbl1 WHERE No = 3"));
        const QStringList stale{u".html"_s, u"qa003.html"_s};
        const QString listed = u"wazuna-site: "_s + out + u": "_s +
                               Texts::stalePages(stale).section(u'\n', 0, 0) +
                               u"\n  .html\n  qa003.html\n"_s;
        QString summary = u"1 written, 5 unchanged, 0 problems\n"_s; // the index changed
        for (const bool prune : {false, false, true}) {
            const Run run =
                wazunaSite(prune ? QStringList{u"--prune"_s, m_db, out} : QStringList{m_db, out});
            QCOMPARE(run.status, 0);
            QCOMPARE(run.out, summary);
            summary = u"0 written, 6 unchanged, 0 problems\n"_s;
            QCOMPARE(run.err,
                     listed + (prune ? u"wazuna-site: "_s + out + u": "_s +
                                           Texts::stalePagesRemoved(2, u"X"_s).replace(
                                               u"\nX"_s, u"\n  "_s + m_data.path() + u"/Trash"_s) +
                                           u'\n'
                                     : u"wazuna-site: --prune removes them\n"_s));
            QCOMPARE(QFileInfo::exists(out + u"/qa003.html"_s), !prune);
        }
        QCOMPARE(wazunaSite({u"--prune"_s, m_db, out}).err, QString());
    }

    // A program killed while it changed every record left its journal: the
    // site is the one of the records committed before, as from a copy of
    // the file taken then.
    void killedWriterHidesNothing()
    {
        QVERIFY(RawSqlite(m_db).insertRecords(2000));
        const QString copy = path(u"before.mdb"_s);
        QVERIFY(QFile::copy(m_db, copy));
        QVERIFY(RawSqlite::killWriterMidTransaction(m_db));

        // 2,004 records, the index and three menu pages (sub100.html is
        // written once, and reported).
        const Run committed = wazunaSite({copy, path(u"committed"_s)});
        QCOMPARE(committed.out, u"2008 written, 0 unchanged, 1 problem\n"_s);
        const Run run = wazunaSite({m_db, path(u"site"_s)});
        QCOMPARE(run.err, committed.err);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, committed.out);
        QCOMPARE(pages(path(u"site"_s)), pages(path(u"committed"_s)));
    }

    // wazuna-csv: its answers, and an export that imports into an empty
    // database as the same records.
    void csvCommand_data()
    {
        QTest::addColumn<QStringList>("args"); // DB, EMPTY, OUT (a new file), IN (`file`)
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // the beginning of standard error
        QTest::addColumn<int>("added");   // records in EMPTY afterwards
        QTest::newRow("no command") << QStringList() << QByteArray() << 2 << QString()
                                    << u"wazuna-csv: export or import is needed"_s << 0;
        QTest::newRow("unknown command")
            << QStringList{u"merge"_s, u"DB"_s, u"OUT"_s} << QByteArray() << 2 << QString()
            << u"wazuna-csv: unknown command: merge"_s << 0;
        QTest::newRow("missing file")
            << QStringList{u"export"_s, u"DB"_s} << QByteArray() << 2 << QString()
            << u"wazuna-csv: a DATABASE and a FILE are needed"_s << 0;
        QTest::newRow("--shift-jis on import")
            << QStringList{u"import"_s, u"--shift-jis"_s, u"EMPTY"_s, u"IN"_s} << QByteArray() << 2
            << QString() << u"wazuna-csv: --shift-jis is for export"_s << 0;
        QTest::newRow("not a database") << QStringList{u"import"_s, u"IN"_s, u"IN"_s}
                                        << "a,b,c\n"_ba << 2 << QString() << u"wazuna-csv: "_s << 0;
        QTest::newRow("export into a folder")
            << QStringList{u"export"_s, u"DB"_s, u"."_s} << QByteArray() << 2 << QString()
            << u"ファイルを書き出せませんでした: "_s << 0;
        QTest::newRow("export over the database")
            << QStringList{u"export"_s, u"EMPTY"_s, u"empty.mdb"_s} << QByteArray() << 2
            << QString()
            << u"ファイルを書き出せませんでした: empty.mdb: データベースファイルそのものです"_s
            << 0;
        QTest::newRow("import of the database")
            << QStringList{u"import"_s, u"EMPTY"_s, u"empty.mdb"_s} << QByteArray() << 2
            << QString()
            << u"ファイルを読み込めませんでした: empty.mdb: データベースファイルそのものです"_s
            << 0;
        QTest::newRow("export refused in Shift_JIS")
            << QStringList{u"export"_s, u"--shift-jis"_s, u"DB"_s, u"OUT"_s} << QByteArray() << 1
            << QString()
            << u"Shift_JISで書けない文字を含むデータがあるため、書き出しませんでした: 番号1"_s << 0;
        QTest::newRow("import missing file")
            << QStringList{u"import"_s, u"EMPTY"_s, u"gone.csv"_s} << QByteArray() << 2 << QString()
            << u"ファイルを読み込めませんでした: gone.csv: "_s << 0;
        QTest::newRow("import refused")
            << QStringList{u"import"_s, u"EMPTY"_s, u"IN"_s}
            << "種類,質問,答え\r\n\"a,b\",c,d\r\nnocomma,q,a\r\n\"x,y\",q\r\n"_ba << 1 << QString()
            << u"次の行を読み込めないため、データを追加しませんでした: "_s + u"in.csv\n3行目: "_s +
                   Texts::badCategory() + u"\n4行目: 項目が2個あります（3個のはずです）\n"_s
            << 0;
        QTest::newRow("import") << QStringList{u"import"_s, u"EMPTY"_s, u"IN"_s}
                                << "\"x,y\",z,\"z\r\nz\"\n"_ba << 0
                                << u"1件のデータを追加しました\n"_s << QString() << 1;
        // DB's first record eleven times after a new row: refused, the first
        // ten named, unless told to leave them out or to add them.
        const QByteArray held =
            "\"x,y\",new,a\n" +
            "\"sub100,初級編\",質問 <b>0</b> it's,\"一行目\n😀 ～〜 ¥\"\n"_ba.repeated(11);
        QString named = u"同じ内容のデータが既にある行があるため、データを追加しませんでした: "
                        "in.csv\n"_s;
        for (int line = 2; line <= 20; line += 2)
            named += u"%1行目: 同じ内容のデータが既にあります\n"_s.arg(line);
        const QStringList into{u"import"_s, u"DB"_s, u"IN"_s};
        QTest::newRow("import of rows held")
            << into << held << 1 << QString() << named + u"ほか1件\n--skip-duplicates adds"_s << 0;
        QTest::newRow("--skip-duplicates")
            << into + QStringList{u"--skip-duplicates"_s} << held << 0
            << u"1件のデータを追加しました\n同じ内容のデータが既にある11件は追加しませんでした\n"_s
            << QString() << 0;
        QTest::newRow("--allow-duplicates")
            << into + QStringList{u"--allow-duplicates"_s} << held << 0
            << u"12件のデータを追加しました\n"_s << QString() << 0;
        QTest::newRow("both") << into + QStringList{u"--allow-duplicates"_s, u"--skip-duplicates"_s}
                              << held << 2 << QString()
                              << u"wazuna-csv: --skip-duplicates and --allow-duplicates "
                                 "exclude each other"_s
                              << 0;
        QTest::newRow("help") << QStringList{u"--help"_s} << QByteArray() << 0 << QString()
                              << QString() << 0;
    }

    void csvCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, added);
        const QString empty = path(u"empty.mdb"_s);
        QVERIFY(Database(empty).create(false));
        QVERIFY(writeFile(path(u"in.csv"_s), file));
        for (QString &arg : args)
            arg = arg == u"DB"_s      ? m_db
                  : arg == u"EMPTY"_s ? empty
                  : arg == u"OUT"_s   ? path(u"out.csv"_s)
                  : arg == u"IN"_s    ? u"in.csv"_s
                                      : arg;
        QProcess process;
        process.setWorkingDirectory(m_tmp->path());
        process.start(QStringLiteral(WAZUNA_CSV), args);
        QVERIFY(process.waitForFinished(60000));
        const QString stdoutText = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(stderrText.startsWith(err), qPrintable(stderrText));
        if (args.contains(u"--help"_s))
            QVERIFY(stdoutText.contains(u"export|import"_s) &&
                    stdoutText.contains(u"--skip-duplicates"_s));
        else
            QCOMPARE(stdoutText, out);
        QCOMPARE(records(empty).size(), added);
        // Nothing refused leaves a file behind.
        QCOMPARE(QFile::exists(path(u"out.csv"_s)), false);

        if (status == 0 && added > 0) {
            // The database of init() out and into a new one: the same records,
            // the file showing plain line breaks, or with --no-br as stored.
            for (const QStringList &noBr : {QStringList(), QStringList{u"--no-br"_s}}) {
                const QString copy = path(u"copy%1.mdb"_s.arg(noBr.size()));
                QVERIFY(Database(copy).create(false));
                QFile::remove(path(u"all.csv"_s)); // export replaces nothing unasked
                const Run exported = run(QStringLiteral(WAZUNA_CSV),
                                         QStringList{u"export"_s, m_db, path(u"all.csv"_s)} + noBr);
                QCOMPARE(exported.out, u"4件のデータを書き出しました\n"_s);
                QCOMPARE(readFile(path(u"all.csv"_s)).count("一行目<br>\r\n"), noBr.size() * 4);
                QCOMPARE(readFile(path(u"all.csv"_s)).count("一行目\r\n"), 4 - noBr.size() * 4);
                const Run imported = run(QStringLiteral(WAZUNA_CSV),
                                         QStringList{u"import"_s, copy, path(u"all.csv"_s)} + noBr);
                QCOMPARE(imported.status, 0);
                QCOMPARE(records(copy), records(m_db));
            }
        }
    }

    // wazuna-csv import makes a database that is not there; export replaces
    // a file only when told to, and never a database.
    void csvMakesAndKeepsFiles_data()
    {
        QTest::addColumn<QStringList>("args"); // in the folder of the database of init()
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("made");      // records in new.mdb; -1: no such file
        QTest::addColumn<bool>("replaced"); // in.csv, or other.mdb, by an export
        const QString made = u"データベースを作成しました: new.mdb\n"_s;
        const QString notWritten = u"ファイルを書き出せませんでした: "_s;
        QTest::newRow("import into nothing")
            << QStringList{u"import"_s, u"new.mdb"_s, u"in.csv"_s} << 0
            << made + u"1件のデータを追加しました\n"_s << QString() << 1 << false;
        QTest::newRow("import into a missing folder")
            << QStringList{u"import"_s, u"no/new.mdb"_s, u"in.csv"_s} << 2 << QString()
            << u"wazuna-csv: no/new.mdb: フォルダーがありません\n"_s << -1 << false;
        QTest::newRow("import of a bad file into nothing")
            << QStringList{u"import"_s, u"new.mdb"_s, u"bad.csv"_s} << 1 << made
            << u"次の行を読み込めないため"_s << 0 << false;
        QTest::newRow("export over a CSV")
            << QStringList{u"export"_s, u"faq's.mdb"_s, u"in.csv"_s} << 2 << QString()
            << notWritten + u"in.csv: "_s + Texts::Reason::replaceWithForce() + u'\n' << -1
            << false;
        QTest::newRow("export --force over a CSV")
            << QStringList{u"export"_s, u"--force"_s, u"faq's.mdb"_s, u"in.csv"_s} << 0
            << u"4件のデータを書き出しました\n"_s << QString() << -1 << true;
        QTest::newRow("export --force over another database")
            << QStringList{u"export"_s, u"--force"_s, u"faq's.mdb"_s, u"other.mdb"_s} << 2
            << QString() << notWritten + u"other.mdb: "_s + Texts::Reason::isADatabase() + u'\n'
            << -1 << false;
        QTest::newRow("--force on import")
            << QStringList{u"import"_s, u"--force"_s, u"other.mdb"_s, u"in.csv"_s} << 2 << QString()
            << u"wazuna-csv: --force is for export"_s << -1 << false;
    }

    void csvMakesAndKeepsFiles()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, made);
        QFETCH(bool, replaced);
        QVERIFY(writeFile(path(u"in.csv"_s), "\"x,y\",q,a\r\n"));
        QVERIFY(writeFile(path(u"bad.csv"_s), "nocomma,q,a\r\n"));
        QVERIFY(Database(path(u"other.mdb"_s)).create(false));
        const QStringList before = pages(m_tmp->path());
        QProcess process;
        process.setWorkingDirectory(m_tmp->path());
        process.start(QStringLiteral(WAZUNA_CSV), args);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), out);
        const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(stderrText.startsWith(err) && (err.isEmpty() == stderrText.isEmpty()),
                 qPrintable(stderrText));
        QCOMPARE(process.exitCode(), status);
        QCOMPARE(QFile::exists(path(u"new.mdb"_s)) ? Database(path(u"new.mdb"_s)).count() : -1,
                 std::optional<qint64>(made));
        // Every other file as it was, but the one replaced.
        const QStringList after =
            pages(m_tmp->path()).filter(QRegularExpression(u"^(?!new\\.mdb)"_s));
        QCOMPARE(after != before, replaced);
    }

    // wazuna-csv import copies a database that is there before it adds to
    // it; with no copy it adds nothing, unless told to go on without one.
    void csvImportBacksUp()
    {
        const QString backups = m_data.path() + u"/wazuna/backups"_s;
        QVERIFY(writeFile(path(u"in.csv"_s), "\"x,y\",q,a\r\n"));
        // Arguments, a file in the backups' way; status, standard error,
        // records in the database and copies afterwards.
        const QList<std::tuple<QStringList, bool, int, QString, int, int>> runs = {
            {{u"other.mdb"_s}, false, 0, {}, 1, 1},
            {{u"other.mdb"_s},
             true,
             1,
             u"バックアップを作成できませんでした: other.mdb: フォルダーに書き込めません"_s,
             0,
             0},
            {{u"--no-backup"_s, u"other.mdb"_s}, true, 0, {}, 1, 0},
            {{u"new.mdb"_s}, false, 0, {}, 1, 0}};
        for (const auto &[args, blocked, status, err, records, copies] : runs) {
            QVERIFY(QDir(m_data.path()).removeRecursively() &&
                    QDir().mkpath(m_data.path() + u"/wazuna"_s));
            QVERIFY(blocked ? writeFile(backups, "") : QDir().mkpath(backups));
            QFile::remove(path(u"other.mdb"_s));
            QVERIFY(Database(path(u"other.mdb"_s)).create(false));
            QProcess process;
            process.setWorkingDirectory(m_tmp->path());
            process.start(QStringLiteral(WAZUNA_CSV),
                          QStringList(u"import"_s) + args + QStringList(u"in.csv"_s));
            QVERIFY(process.waitForFinished(60000));
            const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError());
            QVERIFY2(stderrText.startsWith(err) && err.isEmpty() == stderrText.isEmpty(),
                     qPrintable(stderrText));
            QCOMPARE(process.exitCode(), status);
            QCOMPARE(Database(path(args.last())).count(), std::optional<qint64>(records));
            const QStringList made = QDir(backups).entryList(QDir::Files);
            QCOMPARE(made.size(), copies);
            // Taken before the row went in.
            if (copies)
                QCOMPARE(Database(backups + u'/' + made.first()).count(), std::optional<qint64>(0));
        }
        QFile::remove(backups);
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
