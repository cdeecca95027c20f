#include "Cp932.h"

#include <QSysInfo>

#include <array>
#include <iconv.h>
#include <mutex>

namespace
{

// Each UTF-16 code unit's CP932 bytes (one in the low byte, or two with the
// lead in the high byte); 0 where CP932 has no place for it. Made once from
// the system's converter, so the mapping is exactly iconv's, and then read
// a character at a time: ten times faster than asking iconv for every page.
using Table = std::array<quint16, 0x10000>;

const Table &table()
{
    static Table codes{};
    static std::once_flag made;
    std::call_once(made, [] {
        const iconv_t cd = iconv_open(
            "CP932", QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE");
        for (char32_t c = 0; c < 0x80; ++c)
            codes[c] = quint16(c);
        if (cd == reinterpret_cast<iconv_t>(-1))
            return;
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            // CP932 would turn ¥ and ‾ into the ASCII bytes of "\" and "~".
            if (QChar::isSurrogate(c) || c == 0x00A5 || c == 0x203E)
                continue;
            char16_t unit = char16_t(c);
            char out[4];
            char *in = reinterpret_cast<char *>(&unit);
            char *dst = out;
            size_t inLeft = sizeof unit;
            size_t outLeft = sizeof out;
            if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1) && inLeft == 0) {
                const qsizetype n = dst - out;
                if (n == 1 && quint8(out[0]) >= 0x80)
                    codes[c] = quint8(out[0]);
                else if (n == 2)
                    codes[c] = quint16(quint8(out[0]) << 8 | quint8(out[1]));
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        iconv_close(cd);
    });
    return codes;
}

void appendReference(QByteArray &out, char32_t codePoint)
{
    out.append("&#x").append(QByteArray::number(uint(codePoint), 16).toUpper()).append(';');
}

} // namespace

Cp932::Cp932() : m_table(table().data()) {}

bool Cp932::holds(QStringView text) const
{
    for (const QChar c : text)
        if (m_table[c.unicode()] == 0 && c.unicode() != 0)
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
