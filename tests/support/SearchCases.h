#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What the window's search must find: each words typed, an answer (as
// stored, in bytes), and whether the words are found in a record of that
// answer, category "sub100,初級編" and question "質問です". The site's search
// must find the same.
struct SearchCase {
    QByteArray name;
    QString words;
    QByteArray anser;
    bool found;
};

inline QList<SearchCase> searchCases()
{
    using namespace Qt::StringLiterals;
    QList<SearchCase> cases{
        {"case", u"abc"_s, "xABCx", true},
        {"case of the words", u"ABC"_s, "xabcx", true},
        {"full-width letters", u"ａｂｃ"_s, "ABC", true},
        {"full-width capitals", u"ＡＢＣ"_s, "abc", true},
        {"full-width text", u"abc"_s, "ＡＢＣ", true},
        {"full-width digits", u"１２３"_s, "No.123", true},
        {"full-width punctuation", u"（？）"_s, "(?)", true},
        {"other letters' case", u"ÄÖΣ"_s, "äöσ", true},
        {"half-width katakana", u"ｶﾀｶﾅ"_s, "カタカナ", true},
        {"voiced mark", u"ｶﾞｯｺｳ"_s, "がっこう", true},
        {"semi-voiced mark", u"ぱすわーど"_s, "ﾊﾟｽﾜｰﾄﾞ", true},
        {"vu", u"ｳﾞｧｲｵﾘﾝ"_s, "ヴァイオリン", true},
        {"mark after a full-width kana", u"ガ"_s, "カﾞ", true},
        {"unvoiced is another kana", u"ハ"_s, "ﾊﾟ", false},
        {"voiced is not semi-voiced", u"バ"_s, "ﾊﾟ", false},
        {"voiced kana without its mark", u"カ"_s, "ｶﾞ", false},
        {"mark that combines with nothing", u"ア゛"_s, "ｱﾞ", true},
        {"hiragana finds katakana", u"ぱすわーど"_s, "パスワード", true},
        {"katakana finds hiragana", u"ヒラガナ"_s, "ひらがな", true},
        {"full-width blank parts words", u"パス　ワード"_s, "パスワード", true},
        {"br parts words", u"ab"_s, "a<br>b", false},
        {"BR in any case", u"ab"_s, "a<bR>b", false},
        {"words either side of br", u"a b"_s, "a<BR>b", true},
        {"CR LF", u"ab"_s, "a\r\nb", false},
        {"word across a line break", u"答え本文"_s, "答え<br>\r\n本文", false},
        {"full-width br is text", u"＜ｂｒ＞"_s, "＜ＢＲ＞", true},
        {"br typed is a blank", u"x<br>"_s, "x", true},
        {"words in three fields", u"SUB100 質問 こたえ"_s, "答えコタエ", true},
        {"one word missing", u"質問 ない"_s, "答え", false},
        {"word across two fields", u"初級編質問"_s, "答え", false},
        {"only blanks typed", u" 　\t\r\n"_s, QByteArray(), true},
        {"nothing typed", QString(), QByteArray(), true},
        {"invalid bytes around", u"abc"_s, "\377\376abc\343\201", true},
        {"invalid byte read as U+FFFD", u"a\uFFFDb"_s, "a\300b", true},
        {"overlong slash is not a slash", u"/"_s, "\xc0\xaf", false},
        {"surrogate in UTF-8", u"\uFFFD\uFFFD\uFFFD"_s, "\xed\xa0\x80", true},
        {"cut sequence", u"x\uFFFD"_s, "x\xe3\x81", true},
    };
    // Long answers are folded a piece at a time: around every cut, a word
    // is found, and a half-width mark still combines.
    for (int pad = 16 * 1024 - 20; pad < 16 * 1024 + 4; ++pad) {
        const QByteArray before(pad, 'x');
        const QByteArray at = QByteArray::number(pad);
        cases.append({"piece cut " + at, u"パスワード"_s, before + "ﾊﾟｽﾜｰﾄﾞ", true});
        cases.append({"letters at cut " + at, u"abcdef"_s, QByteArray(pad, '-') + "ABCDEF", true});
        cases.append({"mark at cut " + at, u"xカ"_s, before + "ｶﾞ", false});
    }
    return cases;
}
