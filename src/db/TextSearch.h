#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>
#include <QStringView>

#include <string>

struct QaRecord;

// Finding records by the words a user types. Words and texts are compared
// folded: letter case, full and half width, hiragana and katakana make no
// difference, and blanks, line breaks and "<br>" only part words. What is
// shown is never changed; folding happens as the texts are compared.
class TextSearch
{
public:
    TextSearch() = default;                 // empty: everything matches
    explicit TextSearch(QStringView words); // the words typed
    bool isEmpty() const { return m_words.isEmpty(); }
    const QStringList &words() const { return m_words; }

    // Every word occurs (folded) in the category, the question or the answer;
    // a word must lie within one field, different words may lie in different
    // fields.
    bool matches(const QaRecord &record) const;
    // The same on the texts as the engine stores them (UTF-8; invalid bytes
    // read as U+FFFD, as QString::fromUtf8 reads them). Nothing is converted
    // to UTF-16: a record that does not match costs no more than one pass
    // over its bytes.
    bool matches(QByteArrayView kind, QByteArrayView quest, QByteArrayView anser) const;

private:
    QStringList m_words;
    QList<QByteArray> m_folded; // the words in UTF-8, as the texts are folded
    qsizetype m_longest = 0;    // bytes of the longest of them
};

// The text as the search compares it; for tests and checks.
QString foldForSearch(QStringView text);
// Stored text (UTF-8) as the search compares it, appended to `out` in UTF-8.
void foldForSearch(QByteArrayView text, std::string &out);

// The same rules a code point at a time, for a search that runs elsewhere
// (the published site's): a code point as compared, and the katakana that a
// folded kana and a half-width mark (U+FF9E, U+FF9F) after it make, 0 when
// the two do not combine. "<br>" and blanks part words besides.
char32_t foldedCodePoint(char32_t c);
char32_t foldedWithMark(char32_t base, char32_t mark);
