// The site's search as a visitor's browser runs it: the script of
// search.html in a script engine, over the files a run wrote, against the
// window's search; and how runs keep, rebuild and give up those files.
#include "db/Database.h"
#include "db/TextSearch.h"
#include "site/Cp932.h"
#include "site/SiteGenerator.h"
#include "site/SiteSearch.h"
#include "support/RawSqlite.h"
#include "support/SearchCases.h"

#include <QDir>
#include <QJSEngine>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>

using namespace Qt::StringLiterals;

namespace
{

QString fromCp932(const QByteArray &bytes)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    QByteArray out(bytes.size() * 3 + 4, '\0');
    char *in = const_cast<char *>(bytes.constData()), *to = out.data();
    size_t left = size_t(bytes.size()), room = size_t(out.size());
    const size_t done = iconv(cd, &in, &left, &to, &room);
    iconv_close(cd);
    return done == size_t(-1) ? u"<not CP932>"_s : QString::fromUtf8(out.constData(), to - out.data());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The files of a folder, as a browser's page reads them.
class Folder : public QObject
{
    Q_OBJECT
public:
    explicit Folder(const QString &path) : m_dir(path) {}
    Q_INVOKABLE bool has(const QString &name) const { return m_dir.exists(name); }
    Q_INVOKABLE QString read(const QString &name) const
    {
        return fromCp932(readAll(m_dir.filePath(name)));
    }

private:
    QDir m_dir;
};

// search.html's script, run as a browser runs it, with what it touches of
// the page stood in for: its elements, the script files it adds (read and
// run at once, in turn), and the address.
class Browser
{
public:
    explicit Browser(const QString &folder) : m_folder(folder)
    {
        m_js.globalObject().setProperty(u"files"_s, m_js.newQObject(&m_folder));
        QJSEngine::setObjectOwnership(&m_folder, QJSEngine::CppOwnership);
        run(uR"(
var window = this, location = { search: "" }, nodes = {}, pending = [];
function URLSearchParams() { this.get = function () { return null; }; }
var document = {
  getElementById: function (id) { return nodes[id] || (nodes[id] = { textContent: "", innerHTML: "" }); },
  createElement: function () { return {}; },
  head: { appendChild: function (e) { pending.push(e); } }
};
function pump() {
  while (pending.length) {
    var e = pending.shift();
    if (!files.has(e.src)) { e.onerror(); continue; }
    (0, eval)(files.read(e.src));
    e.onload();
  }
})"_s);
        const QString page = m_folder.read(SiteSearch::pageName());
        const qsizetype from = page.indexOf(u"<script>\r\n"_s);
        const qsizetype to = page.indexOf(u"</script>"_s);
        QVERIFY(from >= 0 && to > from);
        run(page.mid(from + 10, to - from - 10));
    }

    QJSValue run(const QString &code)
    {
        const QJSValue value = m_js.evaluate(code);
        if (value.isError())
            qWarning("script: %s", qPrintable(value.toString()));
        return value;
    }

    // The pages shown for `words`, in order, and the line above them.
    // Every page of them, as a visitor asks for the next, or only the first.
    QStringList search(const QString &words, QString *count = nullptr, bool all = true)
    {
        m_js.globalObject().setProperty(u"asked"_s, words);
        run(u"wzSearch(asked); pump();"_s);
        if (all)
            run(u"while (nodes.wzmore.innerHTML) { nodes.wzmorelink.onclick(); pump(); }"_s);
        if (count)
            *count = run(u"nodes.wzcount.textContent"_s).toString();
        QStringList pages;
        const QString html = run(u"nodes.wzresults.innerHTML"_s).toString();
        for (const auto &m : QRegularExpression(u"href=\"([^\"]+)\""_s).globalMatch(html))
            pages.append(m.captured(1));
        return pages;
    }

    // The words as the script folds and splits them.
    QString more() { return run(u"nodes.wzmore.innerHTML"_s).toString(); }

    QStringList words(const QString &text)
    {
        m_js.globalObject().setProperty(u"asked"_s, text);
        const QJSValue all = run(u"wzWords(asked).map(function (w) { "
                                 "return String.fromCodePoint.apply(null, w); })"_s);
        QStringList out;
        for (int i = 0, n = all.property(u"length"_s).toInt(); i < n; ++i)
            out.append(all.property(quint32(i)).toString());
        return out;
    }

private:
    Folder m_folder;
    QJSEngine m_js;
};

class TestSiteSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void foldsAsTheWindow();
    void findsWhatTheWindowFinds();
    void runsKeepRebuildAndGiveUp();

private:
    // Stores the records as bytes, numbered on from 1.
    void store(const QList<std::array<QByteArray, 3>> &records);
    SiteReport generate(bool search = true, bool phone = false);

    QTemporaryDir m_dir;
    QString m_db;
    QString m_site;
    QList<std::array<QByteArray, 3>> m_records;
};

void TestSiteSearch::init()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(u"cache"_s)));
    m_db = m_dir.filePath(u"qa%1.mdb"_s.arg(QRandomGenerator::global()->generate()));
    m_site = m_dir.filePath(QFileInfo(m_db).baseName());
    QVERIFY(QDir().mkpath(m_site));
    QVERIFY(Database(m_db).create(false));
    m_records.clear();
}

void TestSiteSearch::store(const QList<std::array<QByteArray, 3>> &records)
{
    RawSqlite raw(m_db);
    for (const auto &r : records)
        QVERIFY(raw.execWith("INSERT INTO tbl1 (kind, quest, anser) VALUES (?1, ?2, ?3)",
                             {r[0], r[1], r[2]}));
    m_records += records;
}

SiteReport TestSiteSearch::generate(bool search, bool phone)
{
    SiteOptions options;
    options.folder = m_site;
    options.indexName = u"index.html"_s;
    options.title = u"よくある質問"_s;
    options.search = search;
    options.phone = phone;
    return SiteGenerator::generate(Database(m_db), options, m_records.size(), {});
}

// Every code point, and every kana with each half-width mark after it,
// folds in the script as in the window; so do the words of the window's
// own cases.
void TestSiteSearch::foldsAsTheWindow()
{
    store({{"sub,分類", "質問", "答え"}});
    QVERIFY(generate().problems.isEmpty());
    Browser browser(m_site);
    QList<QString> texts;
    for (char32_t start = 0; start <= 0x10FFFF; start += 0x8000) {
        QString text;
        for (char32_t c = start; c < start + 0x8000 && c <= 0x10FFFF; ++c)
            if (c < 0xD800 || c > 0xDFFF)
                text.append(QChar::fromUcs4(c));
        texts.append(text);
    }
    QString marks;
    for (char32_t c : {0x3000, 0xFF61})
        for (char32_t k = c; k < c + 0x100; ++k)
            marks += QString(QChar(char16_t(k))) + u'\uFF9E' + QChar(char16_t(k)) + u'\uFF9F';
    texts.append(marks);
    texts.append(u"a"_s + QChar(0xD800) + u"b "_s + QChar(0xDC00) + u" <bR>x<br y<BR>"_s);
    for (const SearchCase &c : searchCases())
        texts.append(c.words);
    for (const QString &text : std::as_const(texts))
        QCOMPARE(browser.words(text), TextSearch(text).words());
}

// The records of the window's search cases and others: for the words of
// those cases, and for pieces of the records' own texts, the site shows
// exactly the pages whose records the window's search finds, those whose
// question holds every word first, each group by number, a hundred at a
// time.
void TestSiteSearch::findsWhatTheWindowFinds()
{
    QList<std::array<QByteArray, 3>> records;
    for (const SearchCase &c : searchCases())
        records.append({"sub100,初級編", "質問です", c.anser});
    records.append({"train,電車", "新幹線の切符はどこで買えますか？", "駅の窓口で。<br>\r\nネットでも"});
    records.append({"train,電車", "新しい線路", "新 幹線ではない、新幹 線でもない"});
    records.append({"misc,その他", "一段簡単な方法", "ああああ いいい　ﾃﾞｰﾀ ﾃﾞｰﾀﾍﾞｰｽ 😀絵文字 Ωmega"});
    records.append({"misc,その他", "ＡＢＣ abc と<b>太字</b>", "答え abc の話"});
    // Pairs at equal distances, runs broken off and begun again.
    records.append({"misc,その他", "繰り返し", "柿と梨。柿と梨。柿と梨。柿と桃。柿と梨。柿と梨。柿柿柿柿柿と。柿と梨、柿と桃。柿と梨、柿と桃。柿と梨、柿と桃。柿と梨、柿と桃"});
    store(records);
    QVERIFY(generate().problems.isEmpty());
    // The same index spread over many more files, each key in one of them.
    const QString spread = m_site + u"-spread"_s;
    QVERIFY(QDir().mkpath(spread));
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        QFile file(spread + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    SiteSearch::Builder builder(put, 16);
    for (const auto &r : records)
        builder.add(&r - records.data() + 1, r[0], r[1], r[2], Database::text(r[1]));
    QVERIFY(builder.finish(nullptr));
    QCOMPARE(builder.shape().shards, 1024);
    put(SiteSearch::pageName(),
        Cp932().encode(Pages::searchPage(SiteSearch::pageScript(builder.shape(), Pages::Layout::Rules), {},
                          Pages::Layout::Rules, false, false)));
    Browser browser(m_site), spreadBrowser(spread);

    QStringList queries;
    for (const SearchCase &c : searchCases())
        queries.append(c.words);
    queries << u"新幹線"_s << u"段簡"_s << u"新"_s << u"幹線 新"_s << u"ああ"_s << u"あああああ"_s
            << u"データ"_s << u"ﾃﾞｰﾀﾍﾞｰｽ"_s << u"😀絵"_s << u"ω"_s << u"abc"_s << u"b>太"_s
            << u"答え abc"_s << u"電車"_s << u"train,"_s << u"ない"_s << u"梨。柿と桃"_s
            << u"桃。柿と梨。柿"_s << u"柿柿柿柿と"_s << u"柿柿柿柿柿柿"_s << u"桃。柿と梨、柿"_s;
    // Pieces of every text of the records, as typed or changed in case,
    // width or kana, alone or two at a time.
    QRandomGenerator random(20261208);
    for (int i = 0; i < 300; ++i) {
        const auto &r = records[random.bounded(records.size())];
        const QString text = Database::text(r[random.bounded(3)]).left(400);
        if (text.isEmpty())
            continue;
        const qsizetype at = random.bounded(text.size());
        QString piece = text.mid(at, 1 + random.bounded(5));
        if (i % 3 == 1)
            piece = piece.toUpper();
        if (i % 5 == 2)
            piece += u'　' + queries[random.bounded(queries.size())];
        queries.append(piece);
    }

    int paged = 0;
    for (const QString &query : std::as_const(queries)) {
        const TextSearch search(query);
        QList<std::pair<int, QString>> expected; // (question holds none, page)
        for (qsizetype i = 0; i < records.size(); ++i) {
            const auto &r = records[i];
            if (!search.isEmpty() && search.matches(r[0], r[1], r[2]))
                expected.append({search.matches({}, r[1], {}) ? 0 : 1,
                                 Pages::qaPageName(i + 1)});
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        QStringList pages;
        for (const auto &e : std::as_const(expected))
            pages.append(e.second);
        QString count;
        QCOMPARE(browser.search(query, &count), pages);
        QCOMPARE(spreadBrowser.search(query), pages);
        if (pages.size() > 100) {
            QCOMPARE(browser.search(query, nullptr, false), pages.first(100));
            QCOMPARE(browser.more(), u"<A href=\"#\" id=\"wzmorelink\">次の%1件を表示</A>"_s.arg(
                                         std::min<qsizetype>(pages.size() - 100, 100)));
            ++paged;
        }
        QCOMPARE(count, search.isEmpty()       ? QString()
                        : pages.isEmpty()      ? u"該当するデータはありません"_s
                                               : u"%1件見つかりました"_s.arg(pages.size()));
    }
    QVERIFY(paged > 0);
}

// An unchanged run leaves the files as they are; a change rebuilds them;
// the search box cleared leaves them to the stale pages; a category page of
// the search page's name gives no search.
void TestSiteSearch::runsKeepRebuildAndGiveUp()
{
    store({{"sub,分類", "質問一", "答え一"}, {"sub,分類", "質問二", "答え二"}});
    SiteReport report = generate(true, true);
    QVERIFY(report.problems.isEmpty());
    const QString index = fromCp932(readAll(m_site + u"/index.html"_s));
    QVERIFY(index.contains(u"<FORM id=\"wzform\" action=\"search.html\" method=\"get\" "
                           "accept-charset=\"UTF-8\">"_s));
    const QString page = fromCp932(readAll(m_site + u"/search.html"_s));
    QVERIFY(page.contains(u"<meta name=\"viewport\""_s));
    QVERIFY(page.contains(u"<A href=\"index.html\">戻る</A>"_s));

    report = generate(true, true);
    QCOMPARE(report.written, 0);
    QVERIFY(report.problems.isEmpty());
    QCOMPARE(Browser(m_site).search(u"答え"_s),
             (QStringList{u"qa001.html"_s, u"qa002.html"_s}));

    // A touched index file is written again, and only it: the index the
    // first run built with its pages is the one a second reading builds.
    QFile shard(m_site + u"/"_s + SiteSearch::indexFileName(0));
    QVERIFY(shard.open(QIODevice::Append));
    shard.write("//");
    shard.close();
    report = generate(true, true);
    QCOMPARE(report.written, 1);
    QVERIFY(!readAll(shard.fileName()).endsWith("//"));

    // Another program changes a record.
    RawSqlite(m_db).exec("UPDATE tbl1 SET anser = '別の答え' WHERE No = 2");
    report = generate(true, true);
    QVERIFY(report.written >= 2); // the page and the index
    QCOMPARE(Browser(m_site).search(u"別の"_s), QStringList{u"qa002.html"_s});

    // Cleared: the search's files are no longer the run's.
    report = generate(false);
    QVERIFY(report.complete);
    for (const QString &name : QDir(m_site).entryList(QDir::Files))
        QCOMPARE(report.stale.contains(name), SiteSearch::isOurFile(name));
    QVERIFY(!fromCp932(readAll(m_site + u"/index.html"_s)).contains(u"FORM"_s));

    // A category whose page would be search.html.
    store({{"search,検索の話", "質問", "答え"}});
    report = generate();
    QVERIFY(report.problems.contains(
        u"search.html はほかのページが使っているため、サイト内検索を作りませんでした"_s));
    QVERIFY(!fromCp932(readAll(m_site + u"/search.html"_s)).contains(u"wzSearch"_s));
}

QTEST_GUILESS_MAIN(TestSiteSearch)
#include "tst_sitesearch.moc"
