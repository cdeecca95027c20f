// Category keys, the category order, line-break forms, the size counter and
// summary lines, characters CP932 holds only one way: plain logic, tested
// without a window.
#include "db/AnswerText.h"
#include "db/CategoryKey.h"
#include "db/SummaryLine.h"
#include "site/Cp932.h"

#include <QTest>

#include <iconv.h>

using namespace Qt::StringLiterals;

class TestTextLogic : public QObject
{
    Q_OBJECT
private slots:
    void categoryOrder_data();
    void categoryOrder();
    void split_data();
    void split();
    void lineBreaks_data();
    void lineBreaks();
    void lineBreaksOff();
    void widgetBoundary();
    void byteCount_data();
    void byteCount();
    void summaryLine_data();
    void summaryLine();
    void cut_data();
    void cut();
    void oneWay_data();
    void oneWay();
    void everyHeldCharacterReadsBack();
};

void TestTextLogic::categoryOrder_data()
{
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("runs and returns")
        << QStringList{u"sub200,B"_qs, u"sub100,A"_qs, u"sub200,B"_qs, u"sub100,A"_qs}
        << QStringList{u"sub100,A"_qs, u"sub200,B"_qs};
    QTest::newRow("comma before digit")
        << QStringList{u"sub100,y"_qs, u"sub10,x"_qs} << QStringList{u"sub10,x"_qs, u"sub100,y"_qs};
    QTest::newRow("capitals first")
        << QStringList{u"sub1,x"_qs, u"Sub1,x"_qs} << QStringList{u"Sub1,x"_qs, u"sub1,x"_qs};
    QTest::newRow("by code, not by number")
        << QStringList{u"sub2,y"_qs, u"sub100,z"_qs} << QStringList{u"sub100,z"_qs, u"sub2,y"_qs};
    QTest::newRow("trailing blank is another category")
        << QStringList{u"sub100,A "_qs, u"sub100,A"_qs, u"sub100,A"_qs}
        << QStringList{u"sub100,A"_qs, u"sub100,A "_qs};
    QTest::newRow("width counts") << QStringList{u"ｓｕｂ,x"_qs, u"sub,x"_qs}
                                  << QStringList{u"sub,x"_qs, u"ｓｕｂ,x"_qs};
    QTest::newRow("empty and comma only")
        << QStringList{u","_qs, QString(), u","_qs} << QStringList{QString(), u","_qs};
    QTest::newRow("one") << QStringList{u"sub100,初級編"_qs} << QStringList{u"sub100,初級編"_qs};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestTextLogic::categoryOrder()
{
    QFETCH(QStringList, kinds);
    QFETCH(QStringList, expected);
    QCOMPARE(CategoryKey::sortedDistinct(kinds), expected);
}

void TestTextLogic::split_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << u"sub100,初級編"_qs << true << u"sub100"_qs << u"初級編"_qs;
    QTest::newRow("second comma in title")
        << u"sub100,初級,上"_qs << true << u"sub100"_qs << u"初級,上"_qs;
    QTest::newRow("no stem") << u",題"_qs << true << QString() << u"題"_qs;
    QTest::newRow("no title") << u"sub1,"_qs << true << u"sub1"_qs << QString();
    QTest::newRow("blanks kept") << u" a , b "_qs << true << u" a "_qs << u" b "_qs;
    QTest::newRow("full-width comma") << u"sub100，初級編"_qs << false << QString() << QString();
    QTest::newRow("no comma") << u"sub400"_qs << false << QString() << QString();
}

void TestTextLogic::split()
{
    QFETCH(QString, kind);
    QFETCH(bool, wellFormed);
    QFETCH(QString, stem);
    QFETCH(QString, title);
    QCOMPARE(CategoryKey::isWellFormed(kind), wellFormed);
    const std::optional<CategoryKey> key = CategoryKey::split(kind);
    QCOMPARE(key.has_value(), wellFormed);
    if (key) {
        QCOMPARE(key->stem, stem);
        QCOMPARE(key->title, title);
    }
}

void TestTextLogic::lineBreaks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("two lines") << u"a\r\nb"_qs << u"a<br>\r\nb"_qs;
    QTest::newRow("trailing break") << u"a\r\nb\r\n"_qs << u"a<br>\r\nb<br>\r\n"_qs;
    QTest::newRow("no break") << u"abc"_qs << u"abc"_qs;
    QTest::newRow("empty lines") << u"\r\n\r\n"_qs << u"<br>\r\n<br>\r\n"_qs;
    QTest::newRow("lone CR and LF untouched") << u"a\rb\nc"_qs << u"a\rb\nc"_qs;
    QTest::newRow("capital tag stays") << u"a<BR>\r\nb"_qs << u"a<BR><br>\r\nb"_qs;
    QTest::newRow("tag elsewhere stays") << u"a<br>b\r\nc"_qs << u"a<br>b<br>\r\nc"_qs;
}

void TestTextLogic::lineBreaks()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(AnswerText::brplus(typed, true), stored);
    QCOMPARE(AnswerText::brhiku(stored, true), typed);
}

void TestTextLogic::lineBreaksOff()
{
    // Unticked, nothing changes either way; a stored "<br>" then shows, and
    // saving it ticked doubles it.
    const QString stored = u"a<br>\r\nb"_qs;
    QCOMPARE(AnswerText::brhiku(stored, false), stored);
    QCOMPARE(AnswerText::brplus(u"a\r\nb"_qs, false), u"a\r\nb"_qs);
    QCOMPARE(AnswerText::brplus(stored, true), u"a<br><br>\r\nb"_qs);
    QCOMPARE(AnswerText::brhiku(u"a<BR>\r\nb"_qs, true), u"a<BR>\r\nb"_qs);
}

void TestTextLogic::widgetBoundary()
{
    QCOMPARE(AnswerText::fromWidget(u"a\nb\n"_qs), u"a\r\nb\r\n"_qs);
    QCOMPARE(AnswerText::toWidget(u"a\r\nb\r\n"_qs), u"a\nb\n"_qs);
    const QString stored = u"一\r\n二\r\n\r\n三"_qs;
    QCOMPARE(AnswerText::fromWidget(AnswerText::toWidget(stored)), stored);
}

void TestTextLogic::byteCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("abc") << u"abc"_qs << 3;
    QTest::newRow("あいう") << u"あいう"_qs << 6;
    QTest::newRow("line break") << u"a\r\nb"_qs << 4;
    QTest::newRow("half-width katakana") << u"ｶﾅ"_qs << 4;
    QTest::newRow("below 0x1000") << QString(QChar(0x0FFF)) << 1;
    QTest::newRow("0x1000") << QString(QChar(0x1000)) << 2;
    QTest::newRow("surrogate pair") << u"😀"_qs << 4;
}

void TestTextLogic::byteCount()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(AnswerText::byteCount(text), bytes);
}

void TestTextLogic::summaryLine_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << u"sub100,初級編"_qs << u"sub100.html , 初級編 / Q1 / A1"_qs;
    QTest::newRow("second comma") << u"sub100,初級,上"_qs << u"sub100.html , 初級,上 / Q1 / A1"_qs;
    QTest::newRow("no stem") << u",題"_qs << u".html , 題 / Q1 / A1"_qs;
    QTest::newRow("no comma") << u"sub200"_qs << QString();
    QTest::newRow("full-width comma") << u"sub200，題"_qs << QString();
}

void TestTextLogic::summaryLine()
{
    QFETCH(QString, kind);
    QFETCH(QString, line);
    const std::optional<QString> got = SummaryLine::of({7, kind, u"Q1"_qs, u"A1"_qs});
    QCOMPARE(got.has_value(), !line.isEmpty());
    if (got)
        QCOMPARE(*got, line);
}

void TestTextLogic::cut_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("shown");
    const QString sixty = QString(60, u'あ');
    QTest::newRow("60 whole") << sixty << sixty;
    QTest::newRow("61 cut") << sixty + u'x' << sixty;
    QTest::newRow("short") << u"abc"_qs << u"abc"_qs;
    // A pair across the cut is dropped whole rather than halved.
    QTest::newRow("pair across the cut") << QString(59, u'a') + u"😀b"_qs << QString(59, u'a');
    QTest::newRow("pair before the cut")
        << QString(58, u'a') + u"😀b"_qs << QString(58, u'a') + u"😀"_qs;
}

void TestTextLogic::cut()
{
    QFETCH(QString, line);
    QFETCH(QString, shown);
    QCOMPARE(SummaryLine::cut(line), shown);
}

void TestTextLogic::oneWay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("held");
    // Bytes that read back as another character: references, but the wave dash.
    QTest::newRow("cent") << u"¢"_s << QByteArray("&#xA2;") << false;
    QTest::newRow("pound") << u"£"_s << QByteArray("&#xA3;") << false;
    QTest::newRow("not") << u"¬"_s << QByteArray("&#xAC;") << false;
    QTest::newRow("em dash") << u"—"_s << QByteArray("&#x2014;") << false;
    QTest::newRow("double bar") << u"‖"_s << QByteArray("&#x2016;") << false;
    QTest::newRow("minus") << u"−"_s << QByteArray("&#x2212;") << false;
    QTest::newRow("wave dash") << u"メモ〜2023.mdb"_s
                               << QByteArray("\x83\x81\x83\x82\x81\x60"
                                             "2023.mdb")
                               << false;
    QTest::newRow("yen, overline") << u"¥‾"_s << QByteArray("&#xA5;&#x203E;") << false;
    // What they read back as, held both ways.
    QTest::newRow("fullwidth tilde") << u"～"_s << QByteArray("\x81\x60") << true;
    QTest::newRow("bar, parallel") << u"―∥"_s << QByteArray("\x81\x5c\x81\x61") << true;
    QTest::newRow("fullwidth forms")
        << u"￠￡￢－＼"_s << QByteArray("\x81\x91\x81\x92\x81\xca\x81\x7c\x81\x5f") << true;
    QTest::newRow("backslash, NUL") << u"\\"_s + QChar(0) << QByteArray("\\\0", 2) << true;
}

void TestTextLogic::oneWay()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, page);
    QFETCH(bool, held);
    Cp932 encoder;
    QCOMPARE(encoder.encode(text), page);
    QCOMPARE(encoder.holds(text), held);
}

// Whatever holds() accepts, and whatever a page writes as bytes, reads back
// the same, the wave dash alone excepted.
void TestTextLogic::everyHeldCharacterReadsBack()
{
    Cp932 encoder;
    const iconv_t decoder = iconv_open("UTF-16LE", "CP932");
    QVERIFY(decoder != iconv_t(-1));
    for (char32_t u = 1; u < 0x10000; ++u) {
        const char16_t c = char16_t(u);
        if (QChar::isSurrogate(c))
            continue;
        QByteArray bytes = encoder.encode(QStringView(&c, 1));
        const bool held = encoder.holds(QStringView(&c, 1));
        if (bytes.startsWith("&#x")) {
            QVERIFY2(!held, qPrintable(QString::number(u, 16)));
            continue;
        }
        uchar back[4] = {};
        char *in = bytes.data(), *out = reinterpret_cast<char *>(back);
        size_t inLeft = size_t(bytes.size()), outLeft = sizeof back;
        iconv(decoder, &in, &inLeft, &out, &outLeft);
        QCOMPARE(back[0] | back[1] << 8, u == 0x301C ? 0xFF5E : int(u));
        QCOMPARE(held, u != 0x301C);
    }
    iconv_close(decoder);
}

QTEST_APPLESS_MAIN(TestTextLogic)
#include "tst_textlogic.moc"
