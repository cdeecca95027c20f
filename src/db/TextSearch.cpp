#include "TextSearch.h"

#include "QaRecord.h"

#include <QChar>
#include <QStringDecoder>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{

// ASCII as compared: small letters for capitals, a space for every control
// blank (tab, line feed, vertical tab, form feed, carriage return).
constexpr std::array<char, 128> asciiFolded = [] {
    std::array<char, 128> table{};
    for (int c = 0; c < 128; ++c)
        table[c] = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    for (int c = '\t'; c <= '\r'; ++c)
        table[c] = ' ';
    return table;
}();

// U+FF61..U+FF9F, half-width punctuation and katakana, as their full-width
// forms; the two marks alone become the spacing marks ゛ and ゜.
constexpr char16_t fullWidthOf[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};
static_assert(std::size(fullWidthOf) == 0xFF9F - 0xFF61 + 1);

// What U+3000..U+30FF gain as compared: hiragana become katakana.
constexpr std::array<char16_t, 257> kanaShift = [] {
    std::array<char16_t, 257> table{};
    for (char16_t c = 0x41; c <= 0x96; ++c)
        table[c] = 0x60;
    table[0x9D] = table[0x9E] = 0x60;
    return table;
}();

constexpr char32_t VoicedMark = 0xFF9E;
constexpr char32_t SemiVoicedMark = 0xFF9F;

// One code point as compared. Hiragana become katakana, full-width ASCII
// plain ASCII, half-width katakana full-width; every blank a space.
inline char32_t folded(char32_t c)
{
    if (c < 0x80)
        return char32_t(asciiFolded[c]);
    // Kana, CJK punctuation and ideographs: no letter case here.
    if (c >= 0x3000 && c < 0xA000)
        return c == 0x3000 ? U' ' : c + kanaShift[std::min<char32_t>(c - 0x3000, 256)];
    if (c >= 0xFF01 && c <= 0xFF5E)
        return char32_t(asciiFolded[c - 0xFF01 + 0x21]);
    if (c >= 0xFF61 && c <= 0xFF9F)
        return fullWidthOf[c - 0xFF61];
    if (QChar::isSpace(c))
        return U' ';
    return QChar::toCaseFolded(c);
}

// The katakana that `base` (already folded) becomes with a half-width voiced
// or semi-voiced mark after it; 0 when the two do not combine.
inline char32_t combined(char32_t base, char32_t mark)
{
    if (base < 0x30A6 || base > 0x30FD)
        return 0;
    const bool hToHo = base >= 0x30CF && base <= 0x30DB && (base - 0x30CF) % 3 == 0; // ハヒフヘホ
    if (mark == SemiVoicedMark)
        return hToHo ? base + 2 : 0;
    if (hToHo || (base >= 0x30AB && base <= 0x30C1 && (base & 1)) || base == 0x30C4 ||
        base == 0x30C6 || base == 0x30C8 || base == 0x30FD)
        return base + 1;
    if (base == 0x30A6)
        return 0x30F4; // ヴ
    if (base >= 0x30EF && base <= 0x30F2)
        return base + 8; // ヷヸヹヺ
    return 0;
}

inline char *putUtf8(char *out, char32_t c)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xF0 | (c >> 18));
        *out++ = char(0x80 | ((c >> 12) & 0x3F));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}
constexpr int MaxUtf8 = 4;

#ifdef __SSE2__
// Folds the sixteen bytes at `p` into `out` (sixteen written) as far as they
// are ASCII but '<', and well-formed U+3000..U+9FFF with no half-width mark
// after them: what most texts are made of, folded without moving a byte.
// Blanks are left as they are: a word never holds one. Gives how many bytes
// were folded, and in `stop` the first that could not be. Reads the two bytes
// after the sixteen.
inline int foldBlock(const uchar *p, char *out, int &stop)
{
    const auto at = [](const uchar *q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
    };
    const auto all = [](int byte) { return _mm_set1_epi8(char(byte)); };
    const auto equal = [&](__m128i v, int byte) { return _mm_cmpeq_epi8(v, all(byte)); };
    // first <= v <= last, unsigned
    const auto within = [&](__m128i v, int first, int last) {
        const __m128i offset = _mm_sub_epi8(v, all(first));
        return _mm_cmpeq_epi8(_mm_min_epu8(offset, all(last - first)), offset);
    };

    const __m128i v = at(p), next = at(p + 1), third = at(p + 2);
    const __m128i lead = within(v, 0xE3, 0xE9);
    const __m128i tail = equal(_mm_and_si128(v, all(0xC0)), 0x80);
    // Continuation bytes exactly where a lead within these sixteen wants
    // them, no other byte above ASCII, and no '<' that may begin a "<br>".
    __m128i bad =
        _mm_xor_si128(tail, _mm_or_si128(_mm_slli_si128(lead, 1), _mm_slli_si128(lead, 2)));
    bad = _mm_or_si128(bad, _mm_andnot_si128(_mm_or_si128(lead, tail), _mm_cmplt_epi8(v, all(0))));
    bad = _mm_or_si128(bad, equal(v, '<'));
    const int badLanes = _mm_movemask_epi8(bad);
    const int leadLanes = _mm_movemask_epi8(lead);
    int n = badLanes ? __builtin_ctz(badLanes) : 16;
    stop = n;
    // Whole characters only, leaving one cut off at the end to the next
    // block, and not a kana that a half-width mark after it joins.
    if (n >= 1 && (leadLanes >> (n - 1)) & 1)
        n -= 1;
    else if (n >= 2 && (leadLanes >> (n - 2)) & 1)
        n -= 2;
    if (n >= 3 && p[n] == 0xEF && (leadLanes >> (n - 3)) & 1)
        n -= 3;
    if (n == 0)
        return 0;

    __m128i folded = _mm_add_epi8(v, _mm_and_si128(within(v, 'A', 'Z'), all(0x20)));
    // Hiragana, at their lead: U+3041..U+305F and U+3080..U+3096, U+309D,
    // U+309E move to the next row of 64 (second byte + 1, third + 0x20),
    // U+3060..U+307F two rows on and 0x20 back.
    const __m128i e3 = equal(v, 0xE3);
    const __m128i row81 =
        _mm_andnot_si128(equal(third, 0x80), _mm_and_si128(e3, equal(next, 0x81)));
    const __m128i upperHalf = equal(_mm_and_si128(third, all(0x20)), 0x20);
    const __m128i twoRows = _mm_and_si128(row81, upperHalf);
    const __m128i row82 =
        _mm_and_si128(_mm_and_si128(e3, equal(next, 0x82)),
                      _mm_or_si128(within(third, 0x80, 0x96), within(third, 0x9D, 0x9E)));
    const __m128i oneRow = _mm_or_si128(_mm_andnot_si128(upperHalf, row81), row82);
    const __m128i second =
        _mm_or_si128(_mm_and_si128(oneRow, all(1)), _mm_and_si128(twoRows, all(2)));
    const __m128i last =
        _mm_or_si128(_mm_and_si128(oneRow, all(0x20)), _mm_and_si128(twoRows, all(0xE0)));
    folded = _mm_add_epi8(folded, _mm_add_epi8(_mm_slli_si128(second, 1), _mm_slli_si128(last, 2)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), folded);
    return n;
}
#endif

// Stored text, decoded as QString::fromUtf8 decodes it: a byte that does not
// begin a well-formed sequence reads as one U+FFFD.
class Utf8Source
{
public:
    explicit Utf8Source(QByteArrayView text)
        : m_p(reinterpret_cast<const uchar *>(text.data())), m_end(m_p + text.size())
    {
    }
    bool more() const { return m_p != m_end; }
    // Folds the run that starts here of ASCII but '<', and of kana and
    // ideographs with no half-width mark after them: the bulk of the texts,
    // done without the general path's decoding and branches. Stops before
    // anything else, or once `out` reaches `limit`.
    char *takeCommon(char *out, const char *limit)
    {
        const uchar *p = m_p;
        const uchar *scalarUntil = p;
        while (p != m_end && out < limit) {
#ifdef __SSE2__
            if (p >= scalarUntil && m_end - p >= 18 && limit - out >= 16) {
                int stop;
                const int n = foldBlock(p, out, stop);
                // One character at a time up to and over what the block
                // could not fold.
                if (stop < 16)
                    scalarUntil = p + stop + 1;
                p += n;
                out += n;
                if (n > 0)
                    continue;
            }
#endif
            const uchar lead = *p;
            if (lead < 0x80) {
                if (lead == '<')
                    break;
                *out++ = asciiFolded[lead];
                ++p;
                continue;
            }
            // U+3000..U+9FFF: three bytes, well-formed whenever the two
            // after the lead are continuation bytes.
            if (uchar(lead - 0xE3) > 0xE9 - 0xE3 || m_end - p < 3 || (p[1] & 0xC0) != 0x80 ||
                (p[2] & 0xC0) != 0x80)
                break;
            char32_t c = (char32_t(lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            // Kana and ideographs alternate too often for a branch on which
            // is which; kanaShift[256] leaves the ideographs as they are.
            c += kanaShift[std::min<char32_t>(c - 0x3000, 256)];
            if (c == 0x3000 || (m_end - p > 3 && p[3] == 0xEF))
                break;
            out[0] = char(0xE0 | (c >> 12));
            out[1] = char(0x80 | ((c >> 6) & 0x3F));
            out[2] = char(0x80 | (c & 0x3F));
            out += 3;
            p += 3;
        }
        m_p = p;
        return out;
    }
    bool takeBreak()
    {
        if (m_p[0] != '<' || m_end - m_p < 4 || (m_p[1] | 0x20) != 'b' || (m_p[2] | 0x20) != 'r' ||
            m_p[3] != '>')
            return false;
        m_p += 4;
        return true;
    }
    char32_t take()
    {
        const uchar lead = *m_p++;
        if (lead < 0x80)
            return lead;
        int trail;
        char32_t c;
        char32_t least;
        if (lead < 0xC2) {
            return QChar::ReplacementCharacter;
        } else if (lead < 0xE0) {
            trail = 1, c = lead & 0x1F, least = 0x80;
        } else if (lead < 0xF0) {
            trail = 2, c = lead & 0x0F, least = 0x800;
        } else if (lead < 0xF5) {
            trail = 3, c = lead & 0x07, least = 0x10000;
        } else {
            return QChar::ReplacementCharacter;
        }
        if (m_end - m_p < trail)
            return QChar::ReplacementCharacter;
        for (int i = 0; i < trail; ++i) {
            if ((m_p[i] & 0xC0) != 0x80)
                return QChar::ReplacementCharacter;
            c = (c << 6) | (m_p[i] & 0x3F);
        }
        if (c < least || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            return QChar::ReplacementCharacter;
        m_p += trail;
        return c;
    }
    // The half-width mark that comes next, if one does.
    char32_t markAhead() const
    {
        if (m_end - m_p >= 3 && m_p[0] == 0xEF && m_p[1] == 0xBE &&
            (m_p[2] == 0x9E || m_p[2] == 0x9F))
            return 0xFF00 | m_p[2];
        return 0;
    }
    void skipMark()
    {
        m_p += 3;
    }

private:
    const uchar *m_p;
    const uchar *m_end;
};

// Text in UTF-16; a lone surrogate reads as U+FFFD, as it does in UTF-8.
class Utf16Source
{
public:
    explicit Utf16Source(QStringView text) : m_p(text.utf16()), m_end(m_p + text.size()) {}
    bool more() const { return m_p != m_end; }
    char *takeCommon(char *out, const char *) { return out; }
    bool takeBreak()
    {
        if (m_p[0] != u'<' || m_end - m_p < 4 || (m_p[1] | 0x20) != u'b' ||
            (m_p[2] | 0x20) != u'r' || m_p[3] != u'>')
            return false;
        m_p += 4;
        return true;
    }
    char32_t take()
    {
        const char16_t u = *m_p++;
        if (!QChar::isSurrogate(u))
            return u;
        if (QChar::isHighSurrogate(u) && m_p != m_end && QChar::isLowSurrogate(*m_p))
            return QChar::surrogateToUcs4(u, *m_p++);
        return QChar::ReplacementCharacter;
    }
    char32_t markAhead() const
    {
        return m_p != m_end && (*m_p == VoicedMark || *m_p == SemiVoicedMark) ? *m_p : 0;
    }
    void skipMark() { ++m_p; }

private:
    const char16_t *m_p;
    const char16_t *m_end;
};

// Folds from `in` into UTF-8 at `out` until the text ends or `out` reaches
// `limit`; gives the end of what it wrote, at most MaxUtf8 bytes past `limit`.
template <class Source> char *fold(Source &in, char *out, const char *limit)
{
    while (in.more() && out < limit) {
        out = in.takeCommon(out, limit);
        if (!in.more() || out >= limit)
            break;
        char32_t c;
        if (in.takeBreak()) {
            c = U' ';
        } else {
            c = folded(in.take());
            if (const char32_t mark = in.markAhead()) {
                if (const char32_t voiced = combined(c, mark)) {
                    c = voiced;
                    in.skipMark();
                }
            }
        }
        out = putUtf8(out, c);
    }
    return out;
}

// Whether `word` occurs in `text`. Looks sixteen places at a time for two of
// the word's bytes: its last, and the last of its first character. In
// Japanese these vary far more than the first bytes memmem goes by, which
// most characters share.
inline bool contains(const char *text, size_t length, QByteArrayView word)
{
    const size_t size = word.size();
    if (size > length)
        return false;
#ifdef __SSE2__
    if (size >= 2) {
        size_t probe = 0;
        while (probe + 1 < size && (uchar(word[probe + 1]) & 0xC0) == 0x80)
            ++probe;
        if (probe == size - 1)
            probe = 0;
        const __m128i first = _mm_set1_epi8(word[probe]), last = _mm_set1_epi8(word[size - 1]);
        size_t i = 0;
        for (; i + size - 1 + 16 <= length; i += 16) {
            const auto at = [&](size_t offset) {
                return _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + offset));
            };
            unsigned candidates = _mm_movemask_epi8(_mm_and_si128(
                _mm_cmpeq_epi8(at(probe), first), _mm_cmpeq_epi8(at(size - 1), last)));
            for (; candidates; candidates &= candidates - 1) {
                if (std::memcmp(text + i + __builtin_ctz(candidates), word.data(), size) == 0)
                    return true;
            }
        }
        text += i;
        length -= i;
    }
#endif
    return memmem(text, length, word.data(), size) != nullptr;
}

// Which words have been found so far in a record's fields.
using Found = QVarLengthArray<bool, 8>;

// Looks for the words not found yet in one field, folding it a piece at a
// time into a buffer of the thread's own, so that memory stays small however
// long the text, and folding stops once every word is found. Each piece
// starts with the end of the one before, long enough to hold all but the
// last byte of the longest word, so that no word is missed across the cut.
template <class Source>
void lookFor(const QList<QByteArray> &words, qsizetype longest, Source in, Found &found,
             qsizetype &left)
{
    constexpr qsizetype Piece = 16 * 1024;
    thread_local std::string buffer;
    const qsizetype keep = longest - 1;
    const qsizetype size = std::max(Piece, 2 * keep + 4 * MaxUtf8);
    if (qsizetype(buffer.size()) < size)
        buffer.resize(size);
    char *const begin = buffer.data();
    char *start = begin;
    while (in.more()) {
        char *const end = fold(in, start, begin + size - MaxUtf8);
        const size_t length = end - begin;
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (!found[i] && contains(begin, length, words[i])) {
                found[i] = true;
                if (--left == 0)
                    return;
            }
        }
        const qsizetype carried = std::min<qsizetype>(keep, length);
        std::memmove(begin, end - carried, carried);
        start = begin + carried;
    }
}

} // namespace

QString foldForSearch(QStringView text)
{
    // Folding never makes a UTF-16 code unit more than three bytes of UTF-8.
    QByteArray out(text.size() * 3 + MaxUtf8, Qt::Uninitialized);
    Utf16Source in(text);
    char *const end = fold(in, out.data(), out.data() + out.size() - MaxUtf8);
    // fromUtf8 would drop a leading U+FEFF as a byte-order mark; it is text.
    return QStringDecoder(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
        .decode(QByteArrayView(out.constData(), end - out.constData()));
}

void foldForSearch(QByteArrayView text, std::string &out)
{
    const size_t start = out.size();
    // Folding never makes a byte of UTF-8 more than three (U+FFFD).
    out.resize(start + size_t(text.size()) * 3 + MaxUtf8);
    Utf8Source in(text);
    char *const begin = out.data() + start;
    char *const end = fold(in, begin, out.data() + out.size() - MaxUtf8);
    out.resize(size_t(end - out.data()));
}

char32_t foldedCodePoint(char32_t c)
{
    return folded(c);
}

char32_t foldedWithMark(char32_t base, char32_t mark)
{
    return combined(base, mark);
}

TextSearch::TextSearch(QStringView words)
{
    const QString folded = foldForSearch(words);
    for (const QString &word : folded.split(u' ', Qt::SkipEmptyParts)) {
        if (m_words.contains(word))
            continue;
        m_words.append(word);
        m_folded.append(word.toUtf8());
        m_longest = std::max(m_longest, m_folded.last().size());
    }
}

bool TextSearch::matches(const QaRecord &record) const
{
    if (m_folded.isEmpty())
        return true;
    Found found(m_folded.size(), false);
    qsizetype left = m_folded.size();
    for (const QString *text : {&record.kind, &record.quest, &record.anser}) {
        lookFor(m_folded, m_longest, Utf16Source(*text), found, left);
        if (left == 0)
            return true;
    }
    return false;
}

bool TextSearch::matches(QByteArrayView kind, QByteArrayView quest, QByteArrayView anser) const
{
    if (m_folded.isEmpty())
        return true;
    Found found(m_folded.size(), false);
    qsizetype left = m_folded.size();
    for (QByteArrayView text : {kind, quest, anser}) {
        lookFor(m_folded, m_longest, Utf8Source(text), found, left);
        if (left == 0)
            return true;
    }
    return false;
}
