// Finding records by typed words: folding, fields, stored bytes, and the
// search through a database scan.
#include "db/Database.h"
#include "db/TextSearch.h"
#include "support/SearchCases.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTextSearch : public QObject
{
    Q_OBJECT
private slots:
    void matches_data();
    void matches();
    void agreesWithUnicode();
    void storedBytesReadAsText();
    void scan();
};

void TestTextSearch::matches_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArray>("quest");
    QTest::addColumn<QByteArray>("anser");
    QTest::addColumn<bool>("found");
    for (const SearchCase &c : searchCases())
        QTest::newRow(c.name.constData()) << c.words << QByteArray("sub100,初級編")
                                          << QByteArray("質問です") << c.anser << c.found;
}

void TestTextSearch::matches()
{
    QFETCH(QString, words);
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, quest);
    QFETCH(QByteArray, anser);
    QFETCH(bool, found);
    const TextSearch search(words);
    QCOMPARE(search.isEmpty(), words.trimmed().isEmpty());
    QCOMPARE(search.matches(kind, quest, anser), found);
    const QaRecord record{1, Database::text(kind), Database::text(quest), Database::text(anser)};
    QCOMPARE(search.matches(record), found);
}

// The fold's tables against Unicode's own compatibility forms.
void TestTextSearch::agreesWithUnicode()
{
    const auto nfkc = [](const QString &s) { return s.normalized(QString::NormalizationForm_KC); };
    for (char16_t c = 0xFF01; c <= 0xFF9D; ++c)
        if (c < 0xFF5F || c > 0xFF60)
            QCOMPARE(foldForSearch(QString(QChar(c))), foldForSearch(nfkc(QString(QChar(c)))));
    for (char16_t c = 0x3041; c <= 0x3096; ++c)
        QCOMPARE(foldForSearch(QString(QChar(c))), QString(QChar(c + 0x60)));
    for (char16_t k = 0x30A1; k <= 0x30FE; ++k) {
        for (const char16_t mark : {u'\uFF9E', u'\uFF9F'}) {
            const QString composed = nfkc(QString(QChar(k)) + QChar(mark));
            const QString expected =
                composed.size() == 1 ? composed : QString(QChar(k)) + QChar(mark - 0xFF9E + 0x309B);
            QCOMPARE(foldForSearch(QString(QChar(k)) + QChar(mark)), foldForSearch(expected));
        }
    }
    QCOMPARE(foldForSearch(u"Ａ<Br>ｂ\r\nｶﾞ　ぱ"_s), u"a b  ガ パ"_s);
}

// Random texts of every kind of character, of bytes that are no character,
// and of the edges of each range folded: their own words are found in them,
// and any words are found alike in the stored bytes and in the text read
// from them. Long enough for the sixteen-byte path as well as the other.
void TestTextSearch::storedBytesReadAsText()
{
    const QList<QByteArray> pieces =
        QByteArray(
            "a|Z|@|[|`|{|1| |\t|\r\n|\v|\b|\x1f|<|<br>|<BR>|<bR|b|r|>|"
            "\xc2\xa0|\xe2\x80\xa8|Ä|ß|Σ|ς|Ⅰ|\xe3\x81\x80|ぁ|た|だ|み|む|ゖ|"
            "\xe3\x82\x97|゜|ゝ|ゞ|ゟ|゠|ア|ヷ|ヿ|。|　|ㄅ|一|答|鿿|Ａ|ｚ|？|"
            "ｶ|ﾊ|ｳ|ﾞ|ﾟ|ｰ|｡|\xef\xbf\xbd|\xef\xbb\xbf|😀|\xc0|\x80|\xbf|\xe3|"
            "\xe3\x81|\xed\xa0\x80|\xe0\x80\x80|\xf4\x90\x80\x80|\xff")
            .split('|');
    QRandomGenerator random(20240601);
    const auto text = [&](int most) {
        QByteArray bytes("x"); // a leading U+FEFF would not be read as text
        for (int n = random.bounded(1, most); n > 0; --n)
            bytes += pieces[random.bounded(int(pieces.size()))];
        return bytes;
    };
    for (int i = 0; i < 4000; ++i) {
        const QByteArray stored = text(60);
        const QaRecord record{0, {}, {}, QString::fromUtf8(stored)};
        const TextSearch own(record.anser), other(QString::fromUtf8(text(4)));
        QVERIFY2(own.matches({}, {}, stored) && own.matches(record), stored.toHex().constData());
        QVERIFY2(other.matches({}, {}, stored) == other.matches(record),
                 stored.toHex().constData());
    }
}

void TestTextSearch::scan()
{
    QTemporaryDir dir;
    const Database db(dir.filePath(u"search.mdb"_s));
    QVERIFY(db.create(false));
    const QList<QaRecord> records{{0, u"sub1,ア"_s, u"パスワードを忘れた"_s, u"再設定します"_s},
                                  {0, u"sub2,イ"_s, u"ログイン"_s, u"ぱすわーど<br>\r\nを入力"_s},
                                  {0, u"sub1,ア"_s, u"画面"_s, u"何もしない"_s},
                                  {0, u"sub1,ア"_s, u"ﾊﾟｽﾜｰﾄﾞ"_s, u"x"_s.repeated(100)}};
    for (const QaRecord &r : records)
        QVERIFY(db.add(r));
    const auto found = [&db](const QString &words, Database::Fields fields,
                             const QString *kind = nullptr) {
        QList<QaRecord> seen;
        const TextSearch search(words);
        const auto keep = [&seen](const QaRecord &r) { return seen.append(r), true; };
        return db.scan(keep, nullptr, fields, kind, &search) ? seen
                                                             : QList<QaRecord>{{-1, {}, {}, {}}};
    };
    using F = Database::Fields;
    QCOMPARE(found(u"パスワード"_s, F::All),
             (QList<QaRecord>{{1, records[0].kind, records[0].quest, records[0].anser},
                              {2, records[1].kind, records[1].quest, records[1].anser},
                              {4, records[3].kind, records[3].quest, records[3].anser}}));
    QCOMPARE(found(u"ぱすわーど ろぐいん"_s, F::WithoutAnswer),
             (QList<QaRecord>{{2, records[1].kind, records[1].quest, {}}}));
    const QString sub1 = u"sub1,ア"_s;
    QCOMPARE(found(u"xxxx"_s, F::AnswerHead, &sub1),
             (QList<QaRecord>{{4, sub1, records[3].quest, u"x"_s.repeated(60)}}));
    QCOMPARE(found(u"sub1"_s, F::KindOnly).size(), 3);
    QCOMPARE(found(u"再設定"_s, F::KindOnly), (QList<QaRecord>{{1, sub1, {}, {}}}));
    QCOMPARE(found(u"  "_s, F::KindOnly).size(), 4);
    QCOMPARE(found(u"ない ない2"_s, F::All).size(), 0);
}

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
