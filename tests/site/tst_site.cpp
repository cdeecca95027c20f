// The site's pages, encoding and writing, without a window.
#include "db/Database.h"
#include "db/Texts.h"
#include "site/Cp932.h"
#include "site/PageFile.h"
#include "site/Pages.h"
#include "site/SiteGenerator.h"
#include "site/SiteRecord.h"
#include "support/FileSnapshot.h"
#include "support/InChild.h"
#include "support/RawSqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

// The records the golden pages under tests/site/golden were written from.
const char *const GoldenRecords =
    "INSERT INTO tbl1 (No, kind, quest, anser) VALUES"
    " (1, 'sub100,初級編', 'It''s <b>太字</b>の質問', '一行目<br>' || char(13, 10) || '二行目'),"
    " (2, 'sub200,中級,その2', 'ｶﾀｶﾅの質問～〜',"
    "  '改行だけ' || char(13, 10) || '次の行 😀 と €'),"
    " (7, ',先頭カンマ', '記号¥と‾', '<i>markup</i> 한글'),"
    " (42, 'sub100,初級編', '二つ目', ''),"
    " (1000, 'sub200,中級,その2', 'Q5', 'A5')";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Everything in the folder, pipes and folders too.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The permission bits of a file, or -1.
int modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

Q_DECLARE_METATYPE(Pages::Layout)
Q_DECLARE_METATYPE(PageFile::Outcome)

class TestSite : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_db;

    QString path(const QString &name) const { return m_tmp->filePath(name); }
    QString outputFolder(const QString &name)
    {
        QDir().mkpath(path(name));
        return path(name);
    }
    void store(const char *sql) { QVERIFY(RawSqlite(m_db).exec(sql)); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_db = path(u"site.mdb"_s);
        // The test's own trash, emptied: removed pages are looked for there.
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash"_s)
            .removeRecursively();
        QVERIFY(Database(m_db).create(false));
    }

    void encoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << u"<b>It's</b>"_s << QByteArray("<b>It's</b>");
        QTest::newRow("kanji and kana") << u"質問ｶﾅ"_s << QByteArray("\x8e\xbf\x96\xe2\xb6\xc5");
        QTest::newRow("both wave dashes") << u"～〜"_s << QByteArray("\x81\x60\x81\x60");
        QTest::newRow("NEC and IBM extensions") << u"①ⅰ"_s << QByteArray("\x87\x40\xfa\x40");
        QTest::newRow("outside CP932") << u"a😀b€한"_s << QByteArray("a&#x1F600;b&#x20AC;&#xD55C;");
        QTest::newRow("yen and overline as references") << u"¥‾"_s << QByteArray("&#xA5;&#x203E;");
        QTest::newRow("lone surrogate")
            << QString(QChar(0xD800)) + u"x"_s << QByteArray("&#xFFFD;x");
        QTest::newRow("line breaks kept") << u"a\r\nb\n"_s << QByteArray("a\r\nb\n");
        QTest::newRow("empty") << QString() << QByteArray();
    }

    void encoding()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        Cp932 encoder;
        QCOMPARE(encoder.encode(text), bytes);
        // Long texts cross the converter's inner buffers the same way.
        QCOMPARE(encoder.encode(text.repeated(3000)), bytes.repeated(3000));
    }

    // Every page, byte for byte, as written by hand from the templates.
    void goldenPages_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<Pages::Layout>("layout");
        QTest::addColumn<bool>("bigTitle");
        QTest::addColumn<QString>("index");
        QTest::newRow("rules") << u"rules"_s << Pages::Layout::Rules << false << u"index.html"_s;
        QTest::newRow("rules, big title ignored")
            << u"rules"_s << Pages::Layout::Rules << true << u"index.html"_s;
        QTest::newRow("table") << u"table"_s << Pages::Layout::Table << false << u"index.html"_s;
        QTest::newRow("table, big title, index.htm")
            << u"table-big"_s << Pages::Layout::Table << true << u"index.htm"_s;
    }

    void goldenPages()
    {
        QFETCH(QString, variant);
        QFETCH(Pages::Layout, layout);
        QFETCH(bool, bigTitle);
        QFETCH(QString, index);
        store(GoldenRecords);
        const QString golden = QStringLiteral(WAZUNA_GOLDEN) + u'/' + variant;
        const QString out = outputFolder(u"out"_s);
        const SiteOptions options{out, index, u"よくある質問 'FAQ'"_s, layout, bigTitle};

        SiteReport report = SiteGenerator::generate(Database(m_db), options, 5, {});
        QCOMPARE(report.problems, QStringList());
        QCOMPARE(report.categories,
                 (QStringList{u",先頭カンマ"_s, u"sub100,初級編"_s, u"sub200,中級,その2"_s}));
        QCOMPARE(report.written, 9);
        QCOMPARE(files(out), files(golden));
        for (const QString &name : files(golden))
            QVERIFY2(contents(out + u'/' + name) == contents(golden + u'/' + name),
                     qPrintable(name));

        // A second run finds every page as it should be and touches none.
        const QStringList before = snapshot(out);
        report = SiteGenerator::generate(Database(m_db), options, 5, {});
        QCOMPARE(report.written, 0);
        QCOMPARE(report.unchanged, 9);
        QCOMPARE(snapshot(out), before);

        // For a phone every page is written again: a viewport and a style
        // after the third line, and a Q&A page's links back to its menu and
        // to the index; without those, the same bytes.
        SiteOptions phone = options;
        phone.phone = true;
        report = SiteGenerator::generate(Database(m_db), phone, 5, {});
        QCOMPARE(report.written, 9);
        Cp932 cp932;
        for (const QString &name : files(golden)) {
            const bool qa = name.startsWith(u"qa"_s);
            QByteArray page = contents(out + u'/' + name);
            const QByteArray head = cp932.encode(Pages::phoneHead(!qa));
            QVERIFY2(page.indexOf(head) == page.indexOf("<TITLE>") - head.size(), qPrintable(name));
            QVERIFY(head.startsWith("<meta name=\"viewport\" content=\"width=device-width, "
                                    "initial-scale=1\">\r\n<style>"));
            page.replace(head, "");
            if (qa) {
                const QByteArray toIndex = "<A class=\"nav\" href=\"" + index.toLatin1() + "\">" +
                                           cp932.encode(u"目次</A>\r\n"_s);
                QVERIFY2(page.contains(toIndex), qPrintable(name));
                page.replace(toIndex, "").replace("<A class=\"nav\" href=", "<A href=");
            }
            QVERIFY2(page == contents(golden + u'/' + name), qPrintable(name));
        }
        // And back, byte for byte as before.
        report = SiteGenerator::generate(Database(m_db), options, 5, {});
        QCOMPARE(report.written, 9);
        for (const QString &name : files(golden))
            QVERIFY2(contents(out + u'/' + name) == contents(golden + u'/' + name),
                     qPrintable(name));
    }

    // What a run says, in order, and what it leaves in the folder.
    void runs_data()
    {
        QTest::addColumn<QString>("records"); // kinds of records 1, 2, ... joined by "|"
        QTest::addColumn<int>("listed");      // records listed before the run
        QTest::addColumn<QString>("index");
        QTest::addColumn<QStringList>("before"); // the categories of an earlier run
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("kept"); // a name two pages wanted, the title it holds
        const QString bad = Texts::badCategory();
        const QString unsafe = Texts::unsafePageName();
        QTest::newRow("a category without a comma")
            << u"a,1|nocomma|b,2|nocomma"_s << 4 << u"index.html"_s << QStringList()
            << QStringList{bad, bad, bad + u"\nnocomma"_s, bad}
            << QStringList{u"a.html"_s, u"b.html"_s, u"index.html"_s, u"qa001.html"_s,
                           u"qa003.html"_s}
            << QStringList();
        QTest::newRow("no index name: earlier categories, empty back link")
            << u"a,1|b,2"_s << 2 << QString() << QStringList{u"old,x"_s, u"a,1"_s}
            << QStringList{Texts::indexNameMissing()}
            << QStringList{u"a.html"_s, u"old.html"_s, u"qa001.html"_s, u"qa002.html"_s}
            << QStringList();
        // The menu links to every record, so every record gets its page.
        QTest::newRow("listed before a record was added")
            << u"a,1|a,1|a,1"_s << 2 << u"index.html"_s << QStringList() << QStringList()
            << QStringList{u"a.html"_s, u"index.html"_s, u"qa001.html"_s, u"qa002.html"_s,
                           u"qa003.html"_s}
            << QStringList();
        QTest::newRow("listed before records were deleted")
            << u"a,1"_s << 5 << u"index.html"_s << QStringList() << QStringList()
            << QStringList{u"a.html"_s, u"index.html"_s, u"qa001.html"_s} << QStringList();
        QTest::newRow("a stem that leaves the folder")
            << u"../x,up|a,1"_s << 2 << u"index.html"_s << QStringList()
            << QStringList{unsafe + u"\n../x,up"_s}
            << QStringList{u"a.html"_s, u"index.html"_s, u"qa001.html"_s, u"qa002.html"_s}
            << QStringList();
        QTest::newRow("an index name that leaves the folder")
            << u"a,1"_s << 1 << u"../index.html"_s << QStringList()
            << QStringList{unsafe + u"\n../index.html"_s}
            << QStringList{u"a.html"_s, u"qa001.html"_s} << QStringList();
        QTest::newRow("table emptied since listing")
            << QString() << 3 << u"index.html"_s << QStringList{u"a,1"_s}
            << QStringList{Texts::noRecords()} << QStringList{u"a.html"_s, u"index.html"_s}
            << QStringList();
        // Two pages that want one name: the later is written, once, and
        // the name is reported after the other problems.
        const auto shared = [](const QString &name, const QStringList &pages) {
            return Texts::pageNameShared(name, pages);
        };
        QTest::newRow("two categories, one stem")
            << u"sub100,初級編|sub100,初級,その2"_s << 2 << u"index.html"_s << QStringList()
            << QStringList{shared(u"sub100.html"_s, {Texts::menuPageOf(u"sub100,初級,その2"_s),
                                                     Texts::menuPageOf(u"sub100,初級編"_s)})}
            << QStringList{u"index.html"_s, u"qa001.html"_s, u"qa002.html"_s, u"sub100.html"_s}
            << QStringList{u"sub100.html"_s, u"初級編"_s};
        QTest::newRow("a category named like the index")
            << u"index,目次|a,1|../x,up"_s << 3 << u"index.html"_s << QStringList()
            << QStringList{unsafe + u"\n../x,up"_s,
                           shared(u"index.html"_s, {Texts::indexPageOf(u"index.html"_s),
                                                    Texts::menuPageOf(u"index,目次"_s)})}
            << QStringList{u"a.html"_s, u"index.html"_s, u"qa001.html"_s, u"qa002.html"_s,
                           u"qa003.html"_s}
            << QStringList{u"index.html"_s, u"目次"_s};
        QTest::newRow("a category named like a question's page")
            << u"qa001,問|a,1"_s << 2 << u"index.html"_s << QStringList()
            << QStringList{shared(u"qa001.html"_s,
                                  {Texts::qaPageOf(1, u"q"_s), Texts::menuPageOf(u"qa001,問"_s)})}
            << QStringList{u"a.html"_s, u"index.html"_s, u"qa001.html"_s, u"qa002.html"_s}
            << QStringList{u"qa001.html"_s, u"問"_s};
        QTest::newRow("an index named like a question's page")
            << u"a,1|a,1"_s << 2 << u"qa002.html"_s << QStringList()
            << QStringList{shared(u"qa002.html"_s, {Texts::qaPageOf(2, u"q"_s),
                                                    Texts::indexPageOf(u"qa002.html"_s)})}
            << QStringList{u"a.html"_s, u"qa001.html"_s, u"qa002.html"_s}
            << QStringList{u"qa002.html"_s, u"t"_s};
    }

    void runs()
    {
        QFETCH(QString, records);
        QFETCH(int, listed);
        QFETCH(QString, index);
        QFETCH(QStringList, before);
        QFETCH(QStringList, problems);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, kept);
        if (!records.isEmpty())
            for (const QString &kind : records.split(u'|'))
                QVERIFY(Database(m_db).add({0, kind, u"q"_s, u"a"_s}));
        const QString out = outputFolder(u"out/site"_s);
        const SiteOptions options{out, index, u"t"_s, Pages::Layout::Rules, false};
        const SiteReport report = SiteGenerator::generate(Database(m_db), options, listed, before);
        QCOMPARE(report.problems, problems);
        QCOMPARE(files(out), pages);
        QCOMPARE(files(path(u"out"_s)), QStringList()); // nothing outside the folder
        QCOMPARE(report.failed, 0);
        if (index.isEmpty())
            QVERIFY(contents(out + u"/a.html"_s).contains("<A href=\"\">"));
        if (!kept.isEmpty())
            QVERIFY(contents(out + u'/' + kept[0])
                        .contains("<TITLE>" + Cp932().encode(kept[1]) + "</TITLE>"));
        // Each name is written once: a second run finds every page as it left it.
        const SiteReport again = SiteGenerator::generate(Database(m_db), options, listed, before);
        QCOMPARE(again.written, 0);
        QCOMPARE(again.problems, problems);
    }

    // Pages that cannot be written are counted and reported, the rest written.
    void unwritablePages()
    {
        store("INSERT INTO tbl1 (kind, quest, anser) VALUES ('a,1', 'q', 'x'), ('b,2', 'q', 'y')");
        const QString out = outputFolder(u"out"_s);
        QVERIFY(QDir().mkdir(out + u"/qa002.html"_s)); // a folder in a page's place
        const SiteReport report = SiteGenerator::generate(
            Database(m_db), {out, u"index.html"_s, {}, Pages::Layout::Rules, false}, 2, {});
        QCOMPARE(report.failed, 1);
        QCOMPARE(report.written, 4);
        QCOMPARE(report.firstFailedPath, out + u"/qa002.html"_s);
        QVERIFY(report.failureMessage().startsWith(u"1ページを書き込めませんでした\n"_s));
        QVERIFY(report.failureMessage().endsWith(report.firstFailure));
        QCOMPARE(report.firstFailure, Texts::Reason::isFolder());

        // A folder nobody may write into: every page fails, none claims success.
        const SiteReport none = SiteGenerator::generate(
            Database(m_db), {u"/proc"_s, u"index.html"_s, {}, Pages::Layout::Rules, false}, 2, {});
        QCOMPARE(none.written + none.unchanged, 0);
        QCOMPARE(none.failed, 5);
        QCOMPARE(none.firstFailedPath, u"/proc/qa001.html"_s);
        QCOMPARE(none.firstFailure, Texts::Reason::ofErrno(ENOENT));

        const SiteReport unreadable = SiteGenerator::generate(
            Database(path(u"gone.mdb"_s)), {out, u"i.html"_s, {}, Pages::Layout::Rules, false}, 2,
            {u"kept,1"_s});
        QVERIFY(unreadable.readFailed);
        QCOMPARE(unreadable.problems, QStringList{Texts::cannotReadFile(
                                          path(u"gone.mdb"_s), Texts::Reason::fileMissing())});
        QCOMPARE(unreadable.categories, QStringList{u"kept,1"_s});
    }

    // Pages an earlier run wrote and a later one did not are found, kept
    // until the user asks, and then removed only while they hold what the
    // run wrote. Whatever else lies in the folder is never touched.
    void stalePages()
    {
        store("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (1, 'a,1', 'q', 'x'),"
              " (2, 'a,1', 'q', 'x'), (3, 'b,2', 'q', 'x'), (4, 'b,2', 'q', 'x'),"
              " (5, 'a,1', 'q', 'x'), (6, 'a,1', 'q', 'x')");
        const QString out = outputFolder(u"out"_s);
        const SiteOptions options{out, u"index.html"_s, {}, Pages::Layout::Rules, false};
        const auto run = [&] { return SiteGenerator::generate(Database(m_db), options, 6, {}); };
        QCOMPARE(run().stale, QStringList());
        const auto put = [&](const QString &name, const QByteArray &bytes) {
            QFile file(out + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        };
        put(u"mine.html"_s, "the user's own");
        put(u"qa005.html"_s, "changed by the user");
        // Record 6 goes, and comes back under the user's hand as a link.
        QVERIFY(QFile::remove(out + u"/qa006.html"_s));
        QVERIFY(QFile::link(out + u"/mine.html"_s, out + u"/qa006.html"_s));
        store("DELETE FROM tbl1 WHERE No IN (2, 5, 6); UPDATE tbl1 SET kind = 'c,3' WHERE No > 2");

        const QStringList stale{u"b.html"_s, u"qa002.html"_s};
        SiteReport report = run();
        QCOMPARE(report.stale, stale);
        QCOMPARE(report.problems, QStringList());
        // Not removed without being asked, and found again next time.
        QCOMPARE(run().stale, stale);
        QVERIFY(QFile::exists(out + u"/qa002.html"_s));

        // Changed after the run that found it: no longer ours to remove.
        put(u"b.html"_s, "edited since");
        const PruneReport pruned = SiteGenerator::prune(out, report);
        QCOMPARE(pruned.removed, 1);
        QCOMPARE(pruned.kept, 1);
        QCOMPARE(pruned.failed, 0);
        // Into the trash, with the note a desktop restores it by.
        const QString trash = pruned.trash + u"/files/qa002.html"_s;
        QCOMPARE(contents(trash).left(6), QByteArray("<HTML>"));
        QVERIFY(contents(pruned.trash + u"/info/qa002.html.trashinfo"_s)
                    .contains("\nPath=" + QUrl::toPercentEncoding(out, "/") + "/qa002.html\n"));
        QCOMPARE(pruned.problems, QStringList());
        QCOMPARE(files(out), (QStringList{u"a.html"_s, u"b.html"_s, u"c.html"_s, u"index.html"_s,
                                          u"mine.html"_s, u"qa001.html"_s, u"qa003.html"_s,
                                          u"qa004.html"_s, u"qa005.html"_s, u"qa006.html"_s}));
        QCOMPARE(contents(out + u"/qa005.html"_s), QByteArray("changed by the user"));
        report = run();
        QCOMPARE(report.stale, QStringList());
        QCOMPARE(SiteGenerator::prune(out, report).removed, 0);

        // A record of another folder, or a damaged one, finds nothing.
        const QString copy = outputFolder(u"copy"_s);
        for (const QString &name : files(out))
            QVERIFY(QFile::copy(out + u'/' + name, copy + u'/' + name));
        QFile record(SiteRecord::pathOf(out));
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArray kept = record.readAll();
        record.close();
        QVERIFY(QFile::copy(SiteRecord::pathOf(out), SiteRecord::pathOf(copy)));
        QVERIFY(SiteRecord::read(copy).isEmpty());
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write(kept.left(kept.size() / 2)));
        record.close();
        QCOMPARE(SiteRecord::read(out).size(), kept.left(kept.size() / 2).count('\n') - 1);
    }

    // A record of many pages, written out a block at a time, reads back
    // whole, and takes away what a killed run left beside it; one that
    // cannot be saved leaves nothing beside the record.
    void recordOfManyPages()
    {
        const QString out = outputFolder(u"many"_s);
        SiteRecord::Pages pages;
        for (int i = 0; i < 5000; ++i) {
            SiteRecord::Page page{quint64(i) * 0x9E3779B97F4A7C15ull,
                                  i * 37,
                                  i % 3 == 0,
                                  ~quint64(i),
                                  {quint64(i) + 1, qint64(i) << 33}};
            pages.insert("qa" + QByteArray::number(i) + (i % 500 ? "" : "%\n\r.html"), page);
        }
        const QString leftover = SiteRecord::pathOf(out) + u".tmp-99999-1"_s;
        QVERIFY(QDir().mkpath(QFileInfo(leftover).path()) && writeFile(leftover, "killed"));
        QVERIFY(SiteRecord::write(out, pages));
        QVERIFY(!QFile::exists(leftover));
        const SiteRecord::Pages back = SiteRecord::read(out);
        QCOMPARE(back.size(), pages.size());
        for (auto it = pages.cbegin(); it != pages.cend(); ++it) {
            const SiteRecord::Page &p = back[it.key()];
            QVERIFY2(p.hash == it->hash && p.size == it->size && p.stale == it->stale &&
                         p.input == it->input && p.stamp == it->stamp,
                     it.key().constData());
        }
        const QString record = SiteRecord::pathOf(out);
        const QStringList before = QDir(QFileInfo(record).path()).entryList(QDir::Files);
        QVERIFY(QFile::remove(record) && QDir().mkpath(record + u"/x"_s));
        QString error;
        QVERIFY(!SiteRecord::write(out, pages, &error));
        QVERIFY(error.startsWith(record + u'\n'));
        QStringList left = QDir(QFileInfo(record).path()).entryList(QDir::Files);
        left.append(QFileInfo(record).fileName());
        left.sort();
        QCOMPARE(left, before);
    }

    // Nothing a page of ours links to, nothing of a run that did not write
    // the whole site, nothing the user has made theirs, and nothing but
    // what was listed is ever removed as stale.
    void staleOnlyWhenSafe_data()
    {
        QTest::addColumn<QString>("change"); // between the first run and the second
        QTest::addColumn<QString>("index");  // of the second run
        QTest::addColumn<QStringList>("stale");
        QTest::addColumn<QStringList>("removed");
        const QStringList none;
        const QStringList b{u"b.html"_s, u"qa003.html"_s};
        QTest::newRow("record gone: its page and menu") << u"gone"_s << u"index.html"_s << b << b;
        QTest::newRow("full-width comma cuts the menus short")
            << u"fullwidth"_s << u"index.html"_s << none << none;
        QTest::newRow("no index name") << u"gone"_s << QString() << none << none;
        QTest::newRow("same file by another name (a volume that folds case)")
            << u"alias"_s << u"Index.html"_s << none << none;
        QTest::newRow("made read-only")
            << u"readonly"_s << u"index.html"_s << QStringList{u"qa003.html"_s}
            << QStringList{u"qa003.html"_s};
        QTest::newRow("another run between listing and removing")
            << u"between"_s << u"index.html"_s << b << QStringList{u"qa003.html"_s};
        QTest::newRow("replaced between listing and removing")
            << u"replaced"_s << u"index.html"_s << b << QStringList{u"qa003.html"_s};
        QTest::newRow("record of the pages not saved")
            << u"unsaved"_s << u"index.html"_s << none << none;
        QTest::newRow("planted names outside the folder")
            << u"planted"_s << u"index.html"_s << none << none;
    }

    void staleOnlyWhenSafe()
    {
        QFETCH(QString, change);
        QFETCH(QString, index);
        QFETCH(QStringList, stale);
        QFETCH(QStringList, removed);
        store("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (1, 'a,1', 'q', 'x'),"
              " (2, 'z,2', 'q', 'x'), (3, 'b,3', 'q', 'x')");
        const QString out = outputFolder(u"out"_s);
        const QString victim = path(u"victim.txt"_s);
        QVERIFY(writeFile(victim, "not a page"));
        const auto run = [&](const QString &indexName) {
            return SiteGenerator::generate(
                Database(m_db), {out, indexName, {}, Pages::Layout::Rules, false}, 3, {});
        };
        QVERIFY(run(u"index.html"_s).complete);
        const QStringList first = files(out);

        if (change == u"fullwidth")
            store("UPDATE tbl1 SET kind = 'b，3' WHERE No = 3");
        else if (change != u"alias" && change != u"planted")
            store("DELETE FROM tbl1 WHERE No = 3");
        if (change == u"alias") // Index.html and index.html are one file there
            QVERIFY(::link(QFile::encodeName(out + u"/index.html"_s).constData(),
                           QFile::encodeName(out + u"/Index.html"_s).constData()) == 0);
        if (change == u"readonly")
            QVERIFY(QFile::setPermissions(out + u"/b.html"_s, QFile::ReadOwner));
        if (change == u"unsaved") { // the cache cannot take the record
            QVERIFY(QFile::remove(SiteRecord::pathOf(out)));
            QVERIFY(QDir().mkpath(SiteRecord::pathOf(out) + u"/x"_s));
        }
        if (change == u"planted") { // a record another hand wrote
            QFile record(SiteRecord::pathOf(out));
            QVERIFY(record.open(QIODevice::Append));
            record.write("1 10 s 0 0 0 ../victim.txt\n1 10 s 0 0 0 ..\n");
        }
        SiteReport report = run(index);
        QCOMPARE(report.stale, stale);
        QCOMPARE(report.complete, change != u"fullwidth" && !index.isEmpty());

        if (change == u"between") { // record 3 back: b.html in use again
            store("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (4, 'b,3', 'q', 'x')");
            QCOMPARE(run(index).stale, QStringList{u"qa003.html"_s});
        }
        if (change == u"replaced") // saved by the user over the listed page
            QVERIFY(writeFile(out + u"/b.html"_s, "the user's own b"));
        const PruneReport pruned = SiteGenerator::prune(out, report);
        QCOMPARE(pruned.removed, removed.size());
        QCOMPARE(pruned.failed, 0);
        QStringList left = first;
        for (const QString &name : removed)
            left.removeOne(name);
        if (change == u"alias")
            left.prepend(u"Index.html"_s);
        if (change == u"between")
            left.append(u"qa004.html"_s);
        left.sort();
        QCOMPARE(files(out), left);
        QCOMPARE(contents(victim), QByteArray("not a page"));
        if (change == u"replaced")
            QCOMPARE(contents(out + u"/b.html"_s), QByteArray("the user's own b"));
        // What stayed is never listed again as removable once a run keeps it.
        if (change == u"fullwidth")
            QCOMPARE(run(index).stale, QStringList());
    }

    // A program that saves the user's own version over a page just when it
    // has been found to be ours: that version stays, and ours goes.
    void pruneRacesASave()
    {
        store("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (1, 'a,1', 'q', 'x'),"
              " (2, 'a,1', 'q', 'x')");
        const QString out = outputFolder(u"out"_s);
        const SiteOptions options{out, u"index.html"_s, {}, Pages::Layout::Rules, false};
        QVERIFY(SiteGenerator::generate(Database(m_db), options, 2, {}).complete);
        store("DELETE FROM tbl1 WHERE No = 2");
        const SiteReport report = SiteGenerator::generate(Database(m_db), options, 1, {});
        QCOMPARE(report.stale, QStringList{u"qa002.html"_s});
        const PruneReport pruned = SiteGenerator::prune(out, report, {}, [](const QString &page) {
            QVERIFY(writeFile(page + u".new"_s, "the user's version"));
            QVERIFY(::rename(QFile::encodeName(page + u".new"_s).constData(),
                             QFile::encodeName(page).constData()) == 0);
        });
        QCOMPARE(pruned.removed, 1);
        QCOMPARE(contents(out + u"/qa002.html"_s), QByteArray("the user's version"));
        QCOMPARE(contents(pruned.trash + u"/files/qa002.html"_s).left(6), QByteArray("<HTML>"));
    }

    // Whole or not at all: a page replaced is never half written, what an
    // interrupted run left is removed.
    void writingPages()
    {
        const QString out = outputFolder(u"out"_s);
        const QString page = out + u"/qa001.html"_s;
        QVERIFY(writeFile(page, "old page"));
        QVERIFY(writeFile(out + u"/.wazuna-page-123-4.tmp"_s, "half a pa"));
        QVERIFY(writeFile(out + u"/notes.tmp"_s, "the user's"));
        QCOMPARE(PageFile::removeLeftovers(out), 1);
        QCOMPARE(PageFile::write(page, "new page"), PageFile::Outcome::Written);
        QCOMPARE(PageFile::write(page, "new page"), PageFile::Outcome::Unchanged);
        QCOMPARE(PageFile::write(page, "new pagE"), PageFile::Outcome::Written);
        QCOMPARE(contents(page), QByteArray("new pagE"));
        QCOMPARE(files(out), (QStringList{u"notes.tmp"_s, u"qa001.html"_s}));
        QCOMPARE(PageFile::join(u"/"_s, u"qa001.html"_s), u"/qa001.html"_s);
        QCOMPARE(PageFile::join(u"/a"_s, u"qa001.html"_s), u"/a/qa001.html"_s);
    }

    // A re-run leaves alone, without building them again, the pages whose
    // record and file are as the last run left them; any change to either
    // is seen, even one that keeps the page's size and time.
    void rerunSeesEveryChange()
    {
        store("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (1, 'a,1', 'q1', 'x'),"
              " (2, 'a,1', 'q2', 'y'), (3, 'b,2', 'q3', 'z')");
        const QString out = outputFolder(u"out"_s);
        SiteOptions options{out, u"index.html"_s, {}, Pages::Layout::Rules, false};
        const auto run = [&](int written) {
            const SiteReport report = SiteGenerator::generate(Database(m_db), options, 3, {});
            QCOMPARE(report.written, written);
            QCOMPARE(report.written + report.unchanged, 6);
        };
        run(6);
        run(0);
        const QString page = out + u"/qa001.html"_s;
        const QByteArray built = contents(page);
        const auto edit = [&](const QByteArray &bytes) {
            struct stat before;
            QVERIFY(::stat(QFile::encodeName(page).constData(), &before) == 0);
            QVERIFY(writeFile(page, bytes));
            // Its time put back, as a careful tool would.
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(page).constData(), times, 0) == 0);
        };
        edit(QByteArray(built).replace("x", "X"));
        run(1);
        QCOMPARE(contents(page), built);
        store("UPDATE tbl1 SET anser = 'w' WHERE No = 2");
        run(1);
        options.layout = Pages::Layout::Table;
        run(6);
        // Without the record, every page is compared byte for byte.
        QVERIFY(QFile::remove(SiteRecord::pathOf(out)));
        run(0);
        edit(QByteArray(contents(page)).replace("x", "X"));
        run(1);
    }

    // What is already at a page's name decides: nothing blocks on a pipe, a
    // folder or a read-only page is left alone, a page replaced keeps its
    // permissions, a new one gets the user's, and no temporary file stays.
    void pageInPlace_data()
    {
        QTest::addColumn<QString>("there"); // "", "file", "pipe" or "folder"
        QTest::addColumn<int>("oldMode");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("umask");
        QTest::addColumn<PageFile::Outcome>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("after");
        using O = PageFile::Outcome;
        QTest::newRow("named pipe") << u"pipe"_s << 0644 << QByteArray("new") << 022 << O::Failed
                                    << Texts::Reason::notAFile() << 0644 << QByteArray();
        QTest::newRow("folder") << u"folder"_s << 0755 << QByteArray("new") << 022 << O::Failed
                                << Texts::Reason::isFolder() << 0755 << QByteArray();
        QTest::newRow("changed page keeps 0640")
            << u"file"_s << 0640 << QByteArray("new") << 022 << O::Written << QString() << 0640
            << QByteArray("new");
        QTest::newRow("changed page keeps 0666 past the umask")
            << u"file"_s << 0666 << QByteArray("new") << 022 << O::Written << QString() << 0666
            << QByteArray("new");
        QTest::newRow("changed page keeps 0604 under umask 077")
            << u"file"_s << 0604 << QByteArray("new") << 077 << O::Written << QString() << 0604
            << QByteArray("new");
        QTest::newRow("read-only page refused")
            << u"file"_s << 0444 << QByteArray("new") << 022 << O::Failed
            << Texts::Reason::readOnly() << 0444 << QByteArray("old");
        QTest::newRow("owner may not write, others may")
            << u"file"_s << 0466 << QByteArray("new") << 022 << O::Failed
            << Texts::Reason::readOnly() << 0466 << QByteArray("old");
        QTest::newRow("read-only page already right")
            << u"file"_s << 0444 << QByteArray("old") << 022 << O::Unchanged << QString() << 0444
            << QByteArray("old");
        QTest::newRow("new page under umask 077")
            << QString() << 0 << QByteArray("new") << 077 << O::Written << QString() << 0600
            << QByteArray("new");
        QTest::newRow("new page under umask 022")
            << QString() << 0 << QByteArray("new") << 022 << O::Written << QString() << 0644
            << QByteArray("new");
    }

    void pageInPlace()
    {
        QFETCH(QString, there);
        QFETCH(int, oldMode);
        QFETCH(QByteArray, bytes);
        QFETCH(int, umask);
        QFETCH(PageFile::Outcome, outcome);
        QFETCH(QString, reason);
        QFETCH(int, mode);
        QFETCH(QByteArray, after);
        const QString out = outputFolder(u"out"_s);
        const QString page = out + u"/qa001.html"_s;
        const QByteArray name = QFile::encodeName(page);
        if (there == u"file"_s)
            QVERIFY(writeFile(page, "old"));
        else if (there == u"pipe"_s)
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        else if (there == u"folder"_s)
            QVERIFY(QDir().mkdir(page));
        if (!there.isEmpty())
            QCOMPARE(::chmod(name.constData(), mode_t(oldMode)), 0);

        const mode_t oldMask = ::umask(mode_t(umask));
        ::alarm(10); // a write stuck on the pipe ends the test rather than hanging it
        QString error;
        const PageFile::Outcome got = PageFile::write(page, bytes, &error);
        ::alarm(0);
        ::umask(oldMask);

        QCOMPARE(got, outcome);
        QCOMPARE(error, reason);
        QCOMPARE(modeOf(page), mode);
        if (there.isEmpty() || there == u"file"_s)
            QCOMPARE(contents(page), after);
        QCOMPARE(entries(out), QStringList{u"qa001.html"_s});
    }

    // A full disk (EFBIG under a file-size limit): the pages that do not
    // fit are reported, with no word of success; those already there keep
    // their bytes, nothing half written is left, and a run with room again
    // writes them all.
    void fullDisk_data()
    {
        QTest::addColumn<bool>("earlier"); // an earlier run wrote the pages
        QTest::newRow("pages replaced") << true;
        QTest::newRow("new pages") << false;
    }

    void fullDisk()
    {
        QFETCH(bool, earlier);
        store("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (1, 'a,1', 'q1', 'x'),"
              " (2, 'a,1', 'q2', 'x'), (3, 'b,2', 'q3', 'x')");
        const QString out = outputFolder(u"out"_s);
        SiteOptions options{out, u"index.html"_s, u"t"_s, Pages::Layout::Rules, false};
        const auto run = [&] {
            const SiteReport report = SiteGenerator::generate(Database(m_db), options, 3, {});
            return std::make_pair(report.failed == 0,
                                  report.failed ? report.failureMessage() : Texts::siteMade());
        };
        if (earlier)
            QCOMPARE(run(), std::make_pair(true, Texts::siteMade()));
        // Answers and an index title larger than the limit: four pages of
        // six do not fit, the two menu pages do.
        store("UPDATE tbl1 SET anser = printf('%.6000c', 'y')");
        options.title = QString(6000, u'T');
        const QStringList before = snapshot(out);

        const std::pair<bool, QString> full = inChild(run, {.fileSize = 4096}).said();
        QCOMPARE(full.first, false);
        QVERIFY2(full.second.startsWith(u"4ページを書き込めませんでした\n"_s + out +
                                        u"/qa001.html\n"_s + Texts::Reason::ofErrno(EFBIG)),
                 qPrintable(full.second));
        QVERIFY(!full.second.contains(u"しました"_s) && !full.second.contains(u"完了"_s));
        if (earlier)
            QCOMPARE(snapshot(out), before);
        else // only the pages that fit
            QCOMPARE(files(out), (QStringList{u"a.html"_s, u"b.html"_s}));

        QCOMPARE(run(), std::make_pair(true, Texts::siteMade()));
        QCOMPARE(files(out), (QStringList{u"a.html"_s, u"b.html"_s, u"index.html"_s,
                                          u"qa001.html"_s, u"qa002.html"_s, u"qa003.html"_s}));
        for (const QString &name : {u"qa001.html"_s, u"qa002.html"_s, u"qa003.html"_s})
            QVERIFY(contents(out + u'/' + name).contains(QByteArray(6000, 'y')));
        QVERIFY(contents(out + u"/index.html"_s).contains(QByteArray(6000, 'T')));
    }

    // A run killed halfway through a page (here by the file size limit)
    // leaves no part of it under the page's name: a new page nothing at
    // all, a changed one a leftover that the next run removes.
    void pageCutShort_data()
    {
        QTest::addColumn<QByteArray>("old"); // empty: no page yet
        QTest::newRow("new page") << QByteArray();
        QTest::newRow("changed page") << QByteArray("old page");
    }

    void pageCutShort()
    {
        QFETCH(QByteArray, old);
        const QString out = outputFolder(u"out"_s);
        const QString page = out + u"/qa001.html"_s;
        if (!old.isEmpty())
            QVERIFY(writeFile(page, old));
        const ChildOutcome killed = inChild(
            [&] {
                PageFile::write(page, QByteArray(65536, 'x'));
                return std::make_pair(true, QString());
            },
            {.fileSize = 4096, .fileSizeKills = true});
        QCOMPARE(killed.signal, SIGXFSZ);
        QCOMPARE(QFileInfo::exists(page), !old.isEmpty());
        if (!old.isEmpty())
            QCOMPARE(contents(page), old);
        QCOMPARE(PageFile::removeLeftovers(out), old.isEmpty() ? 0 : 1);
        QCOMPARE(entries(out), old.isEmpty() ? QStringList() : QStringList{u"qa001.html"_s});
    }
};

QTEST_GUILESS_MAIN(TestSite)
#include "tst_site.moc"
