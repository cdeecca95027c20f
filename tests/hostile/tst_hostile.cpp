// Records another program may have stored in tbl1, through every reading:
// the listings, the search, the CSV export and the site. None may crash,
// hang, write outside its folder, drop a record without a word, or say it
// succeeded when it did not; what is written must read back.
#include "csv/CsvTransfer.h"
#include "db/AnswerText.h"
#include "db/CategoryKey.h"
#include "db/Database.h"
#include "editing/RecordLists.h"
#include "db/TextSearch.h"
#include "db/Texts.h"
#include "platform/ListBox.h"
#include "platform/ScriptedDialogs.h"
#include "site/Cp932.h"
#include "site/Pages.h"
#include "site/SiteGenerator.h"
#include "support/FileSnapshot.h"
#include "support/RawSqlite.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <iconv.h>
#include <limits>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Value = RawSqlite::Value;
using Blob = RawSqlite::Blob;

namespace
{

struct Hostile {
    const char *name;
    Value no, kind, quest, anser;
    bool sjis; // every text as read has CP932 bytes
};

QList<Hostile> hostileRecords()
{
    const auto t = [](const char *bytes, qsizetype size = -1) {
        return Value(size < 0 ? QByteArray(bytes) : QByteArray(bytes, size));
    };
    QByteArray everyByte;
    for (int c = 0; c < 256; ++c)
        everyByte.append(char(c));
    // Ten megabytes on a single line, kana and ASCII.
    QByteArray huge = QByteArray("長い答え").repeated((10 << 20) / 12) + "終わり";
    const QByteArray longStem = QByteArray(100'000 - 5, 'S') + ",stem";
    const QByteArray longTitle = "lt," + QByteArray("題").repeated(100'000 - 3);
    const qint64 minimum = std::numeric_limits<qint64>::min();
    const qint64 maximum = std::numeric_limits<qint64>::max();
    return {
        {"NULs inside text", qint64(1), t("nul,NUL\0title", 13), t("question\0after", 14),
         t("answer\0\0tail", 12), true},
        {"NUL in the stem", qint64(2), t("st\0em,NUL stem", 14), t("q NUL stem"), t("a"), true},
        {"invalid UTF-8", qint64(3), t("bad\xff,\xfe\xc3("), t("q \xc3\x28 \x80"),
         t("\xf8\x88\x80\x80\x80 a \xe3\x81"), false},
        {"lone surrogates", qint64(4), t("sur\xed\xa0\x80,\xed\xb0\x80"), t("q\xed\xa0\x80"),
         t("\xed\xbf\xbf"), false},
        {"BLOBs", qint64(5), Blob{"blob,BLOB kind"}, Blob{"blob quest\x01"}, Blob{everyByte},
         false},
        {"numbers for texts", qint64(6), qint64(42), 3.25, qint64(-7), true},
        {"extreme numbers", qint64(7), t("num,numbers"), 1e308, minimum, true},
        {"NULL number", nullptr, t("n,null number"), t("q null number"), t("a"), true},
        {"NULL category", qint64(9), nullptr, t("q null kind"), t("a"), true},
        {"NULL question", qint64(10), t("n,null"), nullptr, t("a"), true},
        {"NULL answer", qint64(11), t("n,null"), t("q null answer"), nullptr, true},
        {"NULL everywhere", nullptr, nullptr, nullptr, nullptr, true},
        {"10 MB answer", qint64(13), t("big,large"), t("q big"), huge, true},
        {"bidi controls", qint64(14), t("\u202Ebidi,\u202E\u2067title\u2069"), t("\u202Eq\u200F"),
         t("\u202D\u2066a\u2069\u061C"), false},
        {"category of 100,000 characters, stem", qint64(15), longStem, t("q long stem"), t("a"),
         true},
        {"category of 100,000 characters, title", qint64(16), longTitle, t("q long title"), t("a"),
         true},
        {"stem ..", qint64(17), t("..,dots"), t("q dots"), t("a"), true},
        {"stem ../x", qint64(18), t("../x,up"), t("q up"), t("a"), true},
        {"stem qa001", qint64(19), t("qa001,like a page"), t("q like a page"), t("a"), true},
        {"stem index", qint64(20), t("index,like the index"), t("q index"), t("a"), true},
        {"stem /abs", qint64(21), t("/abs,absolute"), t("q absolute"), t("a"), true},
        {"empty stem", qint64(22), t(",empty stem"), t("q empty stem"), t("a"), true},
        {"stem .", qint64(23), t(".,dot"), t("q dot"), t("a"), true},
        {"line breaks, quotes, percent", qint64(24), t("l\r\nb%0A,\"t\""), t("q\rcr\nlf \"x\""),
         t("a\r\n\",\"\r\n"), true},
        {"leading BOM", qint64(25),
         t("\xEF\xBB\xBF"
           "bom,BOM"),
         t("\xEF\xBB\xBFq"), t("a"), false},
        {"real number", 1.5, t("r,real number"), t("q real number"), t("a"), true},
        {"text number", t("abc"), t("tn,text number"), t("q text number"), t("a"), true},
        {"BLOB number", Blob{"\x01\x02"}, t("bn,blob number"), t("q blob number"), t("a"), true},
        {"negative number", qint64(-5), t("neg,negative"), t("q negative"), t("a"), true},
        {"largest number", maximum, t("max,largest"), t("q largest"), t("a"), true},
        {"smallest number", minimum, t("min,smallest"), t("q smallest"), t("a"), true},
    };
}

// The stages: every record; those with a category that names a page (one
// without a comma ends the menu pages and the summary lines, hiding what
// comes after); those that Shift_JIS can also carry.
enum Pass { Every, WithComma, ShiftJis, Passes };
const char *const passNames[] = {"every record", "with a comma", "Shift_JIS"};

// A text short enough to name in a failure.
QString shown(const QString &text)
{
    QString out;
    for (const QChar c : text.left(24))
        out += c.unicode() < 0x20 || c.isSurrogate() || c.category() == QChar::Other_Format
                   ? u"\\u%1"_s.arg(uint(c.unicode()), 4, 16, QChar(u'0'))
                   : QString(c);
    return text.size() > 24 ? out + u"…"_s : out;
}

// The bytes as CP932 text, or nothing when any is not.
std::optional<QString> fromCp932(const QByteArray &bytes)
{
    const iconv_t cd = iconv_open(
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE", "CP932");
    if (cd == iconv_t(-1))
        return std::nullopt;
    QString text(bytes.size(), Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *out = reinterpret_cast<char *>(text.data());
    size_t outLeft = size_t(text.size()) * 2;
    const bool ok = iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1) && inLeft == 0;
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    text.resize(text.size() - qsizetype(outLeft / 2));
    return text;
}

// The rows of an RFC 4180 file, each a list of fields as bytes; nothing
// when a quote is out of place.
std::optional<QList<QList<QByteArray>>> csvRows(QByteArrayView text)
{
    QList<QList<QByteArray>> rows;
    QList<QByteArray> row;
    QByteArray field;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i == text.size())
                    return std::nullopt;
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '"')
                field += text[i++];
        }
        if (i < text.size() && text[i] == ',') {
            row.append(std::exchange(field, {}));
            ++i;
        } else if (text.sliced(i).startsWith("\r\n")) {
            row.append(std::exchange(field, {}));
            rows.append(std::exchange(row, {}));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    if (!row.isEmpty() || !field.isEmpty())
        return std::nullopt; // the last row without its CR LF
    return rows;
}

// A hang ends the program (SIGALRM) rather than holding up the build.
struct Deadline {
    explicit Deadline(unsigned seconds) { ::alarm(seconds); }
    ~Deadline() { ::alarm(0); }
    Deadline(const Deadline &) = delete;
    Deadline &operator=(const Deadline &) = delete;
};
constexpr unsigned Generous = 120;

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<Hostile> m_hostile;
    QString m_db[Passes];
    QList<QaRecord> m_records[Passes]; // as every reading gives them, in stored order
    qint64 m_rows[Passes] = {};
    QByteArray m_notSjis; // the rowids of the records Shift_JIS cannot carry

    void addPasses()
    {
        QTest::addColumn<int>("pass");
        for (int pass = 0; pass < Passes; ++pass)
            QTest::newRow(passNames[pass]) << pass;
    }

    // Whether a record's number is one no other record shares: only then
    // can a line be taken back to its record by number.
    bool ownNumber(const QaRecord &record, int pass) const
    {
        return std::count_if(m_records[pass].cbegin(), m_records[pass].cend(),
                             [&](const QaRecord &r) { return r.no == record.no; }) == 1 &&
               RawSqlite(m_db[pass])
                       .integer(QByteArray("SELECT count(*) FROM tbl1 WHERE No = " +
                                           QByteArray::number(record.no))
                                    .constData()) == 1;
    }

    // The database files by name, size and time: no reading changes them
    // or leaves anything beside them.
    QStringList databaseFiles() const
    {
        QStringList files;
        for (const QFileInfo &info : QDir(m_dir.path())
                                         .entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot))
            files.append(info.fileName() + u' ' + QString::number(info.size()) + u' ' +
                         QString::number(info.lastModified().toMSecsSinceEpoch()));
        return files;
    }
    QStringList m_databaseFiles;

private slots:
    void initTestCase();
    void init() { m_databaseFiles = databaseFiles(); }
    void cleanup() { QCOMPARE(databaseFiles(), m_databaseFiles); }
    void listings_data() { addPasses(); }
    void listings();
    void search_data();
    void search();
    void csvExport_data();
    void csvExport();
    void site_data() { addPasses(); }
    void site();
};

void TestHostile::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_hostile = hostileRecords();
    // A file with our mark and a tbl1 of the four columns, typed as
    // another program may leave them: not at all.
    m_db[Every] = m_dir.filePath(u"every.mdb"_s);
    {
        RawSqlite raw(m_db[Every]);
        QVERIFY(raw.exec("PRAGMA application_id = 1463900757; PRAGMA user_version = 1;"
                         "CREATE TABLE tbl1 (No, kind, quest, anser)"));
        QVERIFY(raw.exec("BEGIN"));
        for (const Hostile &h : std::as_const(m_hostile))
            QVERIFY2(
                raw.execWith("INSERT INTO tbl1 (No, kind, quest, anser) VALUES (?1, ?2, ?3, ?4)",
                             {h.no, h.kind, h.quest, h.anser}),
                h.name);
        QVERIFY(raw.exec("COMMIT"));
    }
    // The later stages leave out what would hide the rest; rowid is the
    // place in m_hostile.
    m_db[WithComma] = m_dir.filePath(u"comma.mdb"_s);
    m_db[ShiftJis] = m_dir.filePath(u"sjis.mdb"_s);
    m_notSjis = "0";
    for (qsizetype i = 0; i < m_hostile.size(); ++i)
        if (!m_hostile[i].sjis)
            m_notSjis += ',' + QByteArray::number(i + 1);
    QVERIFY(QFile::copy(m_db[Every], m_db[WithComma]));
    QVERIFY(RawSqlite(m_db[WithComma])
                .exec("DELETE FROM tbl1 WHERE instr(coalesce(kind, ''), ',') = 0"));
    QVERIFY(QFile::copy(m_db[WithComma], m_db[ShiftJis]));
    QVERIFY(RawSqlite(m_db[ShiftJis])
                .exec(("DELETE FROM tbl1 WHERE rowid IN (" + m_notSjis + ")").constData()));

    for (int pass = 0; pass < Passes; ++pass) {
        m_rows[pass] = RawSqlite(m_db[pass]).integer("SELECT count(*) FROM tbl1");
        QString error;
        QVERIFY2(Database(m_db[pass])
                     .scan(
                         [&](const QaRecord &r) {
                             m_records[pass].append(r);
                             return true;
                         },
                         &error),
                 qPrintable(error));
        QCOMPARE(m_records[pass].size(), m_rows[pass]);
    }
    QCOMPARE(m_rows[Every], m_hostile.size());
    QVERIFY(m_rows[ShiftJis] > 10 && m_rows[ShiftJis] < m_rows[WithComma]);
}

// Every listing shows every record, or says why not.
void TestHostile::listings()
{
    QFETCH(int, pass);
    const QList<QaRecord> &records = m_records[pass];
    Session session;
    session.databasePath = m_db[pass];
    ScriptedDialogs dialogs;
    RecordLists lists(session, dialogs);
    ListBox list, numbers;
    QLabel count;
    QComboBox combo;
    const Deadline deadline(Generous);

    QStringList kinds, quests, nos;
    for (const QaRecord &r : records) {
        kinds.append(r.kind);
        quests.append(r.quest);
        nos.append(QString::number(r.no));
    }
    const QStringList categories = CategoryKey::sortedDistinct(kinds);

    QCOMPARE(lists.kensu(), records.size());
    lists.dbdispk(&combo);
    QStringList inCombo;
    for (int i = 0; i < combo.count(); ++i)
        inCombo.append(combo.itemText(i));
    QCOMPARE(inCombo, categories);
    lists.dbdispl(&list);
    QCOMPARE(list.items(), categories);
    lists.dbdisps(&count, &list);
    QCOMPARE(list.items(), quests);
    QCOMPARE(count.text(), u" %1"_s.arg(records.size()));
    lists.hyouji(&list, &count, &numbers);
    QCOMPARE(list.items(), quests);
    QCOMPARE(numbers.items(), nos);
    QCOMPARE(dialogs.messages(), QStringList());

    // A line is taken back to its record, or the user is told it cannot be.
    const QString gone = Texts::recordGone();
    for (int row = 0; row < list.count(); ++row) {
        // Laying out ten megabytes on one line in the answer box takes the
        // text engine seconds; the other listings read that record.
        if (records[row].anser.size() > 1'000'000)
            continue;
        dialogs.clear();
        list.setCurrentRow(row);
        QLineEdit kind, quest;
        QPlainTextEdit anser;
        const std::optional<QaRecord> got =
            lists.dbdisp(&list, &kind, &quest, &anser, nullptr, &numbers);
        if (ownNumber(records[row], pass)) {
            QCOMPARE(got, records[row]);
        } else if (!got) {
            QCOMPARE(dialogs.messages(), QStringList{gone});
        }
    }

    // Each category lists its own records: all of them, and no others.
    QStringList wrong;
    for (const QString &category : categories) {
        dialogs.clear();
        lists.hyoujisel(&list, &count, category, &numbers);
        QStringList own;
        for (const QaRecord &r : records)
            if (r.kind == category)
                own.append(r.quest);
        if (list.items() != own || count.text() != QString::number(own.size()))
            wrong.append(u"questions of "_s + shown(category));
    }

    // Summary lines end at the first category without a comma, and say so.
    const QString bad = Texts::badCategory();
    const qsizetype firstBad =
        std::find_if(records.cbegin(), records.cend(),
                     [](const QaRecord &r) { return !CategoryKey::isWellFormed(r.kind); }) -
        records.cbegin();
    dialogs.clear();
    lists.hyoujiall(&list, &count, &numbers);
    QCOMPARE(list.count(), firstBad);
    QCOMPARE(dialogs.messages(), firstBad < records.size() ? QStringList{bad} : QStringList());
    for (int row = 0; row < list.count(); ++row) {
        dialogs.clear();
        const std::optional<QString> line = lists.wholeLine(numbers.item(row), list.item(row));
        if (ownNumber(records[row], pass))
            QVERIFY2(line && line->startsWith(list.item(row)), qPrintable(shown(list.item(row))));
        else if (!line)
            QCOMPARE(dialogs.messages(), QStringList{gone});
    }
    for (const QString &category : categories) {
        dialogs.clear();
        lists.hyoujisel2(&list, &count, category, &numbers);
        const qsizetype own = std::count_if(records.cbegin(), records.cend(),
                                            [&](const QaRecord &r) { return r.kind == category; });
        if (CategoryKey::isWellFormed(category) ? list.count() != own
                                                : dialogs.messages() != QStringList{bad})
            wrong.append(u"summaries of "_s + shown(category));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u" | "_s)));
}

void TestHostile::search_data()
{
    QTest::addColumn<QString>("words");
    // Each that is not found costs a pass over the ten megabytes, three
    // times: kept to a few.
    for (const QString &words : {u"q"_s, u"nul ａ"_s, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"_s,
                                 u"長い　答え"_s, u"終わり"_s, u"\uFFFD"_s, u"\u202E"_s, u"blob"_s,
                                 u"<br> \"x\""_s, u"%0a \uFEFF"_s, u"9223372036854775807"_s})
        QTest::addRow("%s", qPrintable(shown(words))) << words;
}

// The search finds on the stored bytes exactly what it finds on the texts
// as read, and the list shows those records.
void TestHostile::search()
{
    const int pass = Every;
    QFETCH(QString, words);
    const TextSearch search(words);
    const Deadline deadline(Generous);
    QList<qint64> expected;
    QStringList quests;
    for (const QaRecord &r : std::as_const(m_records[pass]))
        if (search.matches(r)) {
            expected.append(r.no);
            quests.append(r.quest);
        }
    QList<qint64> found;
    QString error;
    QVERIFY(Database(m_db[pass])
                .scan(
                    [&](const QaRecord &r) {
                        found.append(r.no);
                        return true;
                    },
                    &error, Database::Fields::WithoutAnswer, nullptr, &search));
    QCOMPARE(found, expected);

    Session session;
    session.databasePath = m_db[pass];
    ScriptedDialogs dialogs;
    RecordLists lists(session, dialogs);
    ListBox list, numbers;
    QLabel count;
    lists.hyouji(&list, &count, &numbers, &search);
    QCOMPARE(list.items(), quests);
    QCOMPARE(dialogs.messages(),
             quests.isEmpty() ? QStringList{Texts::noneFound()} : QStringList());
}

void TestHostile::csvExport_data()
{
    QTest::addColumn<int>("pass");
    QTest::addColumn<int>("encoding");
    for (int pass = 0; pass < Passes; ++pass) {
        QTest::addRow("%s, UTF-8", passNames[pass]) << pass << int(CsvTransfer::Encoding::Utf8);
        QTest::addRow("%s, Shift_JIS", passNames[pass])
            << pass << int(CsvTransfer::Encoding::ShiftJis);
    }
}

// Every record goes out as it reads, in a file that reads back; or, in
// Shift_JIS, none do, and the records that cannot are counted.
void TestHostile::csvExport()
{
    QFETCH(int, pass);
    QFETCH(int, encoding);
    const QList<QaRecord> &records = m_records[pass];
    const bool sjis = encoding == int(CsvTransfer::Encoding::ShiftJis);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"export.csv"_s);
    const Deadline deadline(Generous);
    const CsvTransfer::Exported exported =
        CsvTransfer::exportTo(Database(m_db[pass]), path, CsvTransfer::Encoding(encoding), true);

    if (sjis && pass != ShiftJis) {
        const qint64 refused =
            RawSqlite(m_db[pass])
                .integer(
                    ("SELECT count(*) FROM tbl1 WHERE rowid IN (" + m_notSjis + ")").constData());
        QVERIFY(!exported.ok && exported.refused);
        // The first five named (no question here holds the word), then how
        // many more.
        QCOMPARE(exported.message.count(u"番号"_s), std::min<qint64>(refused, 5));
        QCOMPARE(exported.message.contains(u"\nほか%1件\n"_s.arg(refused - 5)), refused > 5);
        QCOMPARE(
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList());
        return;
    }
    QVERIFY2(exported.ok, qPrintable(exported.message));
    QCOMPARE(exported.records, records.size());
    QCOMPARE(exported.message, Texts::csvExported(records.size()));
    QCOMPARE(QDir(folder.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{u"export.csv"_s});

    // Readable as what it says it is, and row by row the records as read.
    const QByteArray bytes = readFile(path);
    std::optional<QString> text;
    if (sjis) {
        text = fromCp932(bytes);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError() || !bytes.startsWith("\xEF\xBB\xBF"))
            text.reset();
    }
    QVERIFY(text);
    const QByteArray asUtf8 = text->toUtf8();
    const std::optional<QList<QList<QByteArray>>> rows = csvRows(asUtf8);
    QVERIFY(rows);
    QCOMPARE(rows->size(), records.size() + 1);
    QCOMPARE(rows->first(), (QList<QByteArray>{"No", "種類", "質問", "答え"}));
    QStringList wrong;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QaRecord &r = records[i];
        const QList<QByteArray> want{QByteArray::number(r.no), r.kind.toUtf8(), r.quest.toUtf8(),
                                     AnswerText::brhiku(r.anser, true).toUtf8()};
        if (rows->at(i + 1) != want)
            wrong.append(shown(r.quest));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u" | "_s)));
}

// A run writes the page of every record it can, inside the folder only,
// and names every record and category it could not write.
void TestHostile::site()
{
    QFETCH(int, pass);
    const QList<QaRecord> &records = m_records[pass];
    QTemporaryDir parent;
    const QString out = parent.filePath(u"out"_s);
    QVERIFY(QDir().mkdir(out));
    QStringList before = snapshot(parent.path());
    const SiteOptions options{out, u"index.html"_s, u"\u202Eサイト"_s, Pages::Layout::Table, true};
    SiteReport report;
    {
        const Deadline deadline(Generous);
        report = SiteGenerator::generate(Database(m_db[pass]), options, records.size(), {});
    }
    QVERIFY(!report.readFailed);

    // Nothing outside the folder.
    QStringList outside = snapshot(parent.path());
    outside.removeIf([&](const QString &line) {
        return line.startsWith(out + u'/') || line.startsWith(out + u" folder "_s);
    });
    before.removeIf([&](const QString &line) { return line.startsWith(out + u" folder "_s); });
    QCOMPARE(outside, before);

    // The pages wanted: each record's, the index, the menu of each category
    // up to the first without a comma. A name several want is written once
    // and reported with all of them; one that holds "/" or NUL is not
    // written and is reported.
    QHash<QString, QStringList> claims;
    QStringList expectedProblems;
    for (const QaRecord &r : records) {
        if (CategoryKey::isWellFormed(r.kind))
            claims[Pages::qaPageName(r.no)].append(Texts::qaPageOf(r.no, r.quest));
        else
            expectedProblems.append(Texts::badCategory());
    }
    QStringList kinds;
    for (const QaRecord &r : records)
        kinds.append(r.kind);
    claims[options.indexName].append(Texts::indexPageOf(options.indexName));
    for (const QString &kind : CategoryKey::sortedDistinct(kinds)) {
        const std::optional<CategoryKey> key = CategoryKey::split(kind);
        if (!key)
            break;
        if (key->stem.contains(u'/') || key->stem.contains(QChar(0)))
            expectedProblems.append(Texts::unsafePageName(kind));
        else
            claims[Pages::subPageName(key->stem)].append(Texts::menuPageOf(kind));
    }
    for (const QString &problem : std::as_const(expectedProblems))
        QVERIFY2(report.problems.count(problem) >= expectedProblems.count(problem),
                 qPrintable(shown(problem)));
    const QStringList written = QDir(out).entryList(QDir::Files | QDir::Hidden);
    QStringList missing;
    for (auto it = claims.cbegin(); it != claims.cend(); ++it) {
        if (!written.contains(it.key()))
            missing.append(it.key());
        if (it->size() > 1) {
            const auto shared = std::find_if(
                report.problems.cbegin(), report.problems.cend(),
                [&](const QString &problem) { return problem.startsWith(it.key() + u" は"_s); });
            QVERIFY2(shared != report.problems.cend(), qPrintable(it.key()));
            for (const QString &page : *it)
                QVERIFY2(shared->contains(page), qPrintable(shown(page)));
        }
    }
    // What is not there failed, and was counted as such; nothing else is.
    QCOMPARE(report.failed, missing.size());
    for (const QString &name : written)
        QVERIFY2(claims.contains(name), qPrintable(shown(name)));
    if (report.failed)
        QVERIFY(report.failureMessage().startsWith(
            Texts::pagesNotWritten(report.failed, report.firstFailedPath, report.firstFailure)));

    // Every page reads as the Shift_JIS it declares, and shows its question.
    for (const QString &name : written) {
        const QByteArray bytes = readFile(out + u'/' + name);
        QVERIFY2(fromCp932(bytes), qPrintable(shown(name)));
    }
    for (const QaRecord &r : records) {
        const QString name = Pages::qaPageName(r.no);
        if (CategoryKey::isWellFormed(r.kind) && claims.value(name).size() == 1)
            QVERIFY2(readFile(out + u'/' + name).contains(Cp932().encode(r.quest)),
                     qPrintable(name));
    }
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
