#include "Cp932.h"

#include <QSysInfo>

#include <array>
#include <bitset>
#include <iconv.h>
#include <mutex>
#include <optional>

namespace
{

// Each UTF-16 code unit's CP932 bytes (one in the low byte, or two with the
// lead in the high byte); 0 where CP932 has no place for it. Made once from
// the system's converter, so the mapping is exactly iconv's, and then read
// a character at a time: ten times faster than asking iconv for every page.
using Table = std::array<quint16, 0x10000>;

struct Tables {
    Table codes{};
    // Characters whose bytes read back as another character, yet which
    // pages keep as bytes.
    std::bitset<0x10000> oneWay;
};

// Pages write the wave dash as 0x8160, as Windows users typed it and as
// readers expect it, though the bytes read back as the fullwidth tilde.
constexpr char16_t WaveDash = u'\u301C';

bool isLittleEndian()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian;
}

// Converts `size` bytes at `from` with `cd`; the bytes out, or none on failure.
std::optional<QByteArray> convert(iconv_t cd, const char *from, size_t size)
{
    char out[8];
    char *in = const_cast<char *>(from);
    char *dst = out;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &size, &dst, &outLeft) == size_t(-1) || size != 0)
        return std::nullopt;
    return QByteArray(out, dst - out);
}

const Tables &tables()
{
    static Tables made;
    static std::once_flag once;
    std::call_once(once, [] {
        const char *const utf16 = isLittleEndian() ? "UTF-16LE" : "UTF-16BE";
        const iconv_t encoder = iconv_open("CP932", utf16);
        const iconv_t decoder = iconv_open(utf16, "CP932");
        for (char32_t c = 0; c < 0x80; ++c)
            made.codes[c] = quint16(c);
        for (char32_t c = 0x80; c < 0x10000 && encoder != iconv_t(-1) && decoder != iconv_t(-1);
             ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const char16_t unit = char16_t(c);
            const std::optional<QByteArray> bytes =
                convert(encoder, reinterpret_cast<const char *>(&unit), sizeof unit);
            if (!bytes || bytes->isEmpty() || bytes->size() > 2)
                continue;
            // CP932 holds some characters only one way: ¥ becomes "\", — the
            // bytes of ―, and so on. Anything that would not read back as
            // itself is written as a reference instead.
            const std::optional<QByteArray> back =
                convert(decoder, bytes->constData(), size_t(bytes->size()));
            if (!back || *back != QByteArray(reinterpret_cast<const char *>(&unit), sizeof unit)) {
                if (c != WaveDash)
                    continue;
                made.oneWay.set(c);
            }
            const quint8 lead = quint8(bytes->at(0));
            made.codes[c] = bytes->size() == 1 ? lead : quint16(lead << 8 | quint8(bytes->at(1)));
        }
        if (encoder != iconv_t(-1))
            iconv_close(encoder);
        if (decoder != iconv_t(-1))
            iconv_close(decoder);
    });
    return made;
}

void appendReference(QByteArray &out, char32_t codePoint)
{
    out.append("&#x").append(QByteArray::number(uint(codePoint), 16).toUpper()).append(';');
}

} // namespace

Cp932::Cp932() : m_table(tables().codes.data()), m_oneWay(&tables().oneWay) {}

bool Cp932::holds(QStringView text) const
{
    for (const QChar c : text)
        if ((m_table[c.unicode()] == 0 && c.unicode() != 0) || m_oneWay->test(c.unicode()))
            return false;
    return true;
}

void Cp932::append(QByteArray &out, QStringView text)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    qsizetype at = out.size();
    out.resize(at + 2 * text.size()); // at most two bytes a code unit, but for references
    while (p < end) {
        const char16_t c = *p++;
        const quint16 code = m_table[c];
        if (code != 0 || c == 0) {
            if (code > 0xFF)
                out[at++] = char(code >> 8);
            out[at++] = char(code);
            continue;
        }
        char32_t unmapped = c;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p))
            unmapped = QChar::surrogateToUcs4(c, *p++);
        else if (QChar::isSurrogate(c))
            unmapped = 0xFFFD; // half a pair stands for nothing
        out.resize(at);
        appendReference(out, unmapped);
        at = out.size();
        out.resize(at + 2 * (end - p));
    }
    out.resize(at);
}
