#include "Cp932.h"

#include <QSysInfo>

#include <cerrno>
#include <iconv.h>

namespace
{

iconv_t handle(void *cd)
{
    return static_cast<iconv_t>(cd);
}

void appendReference(QByteArray &out, char32_t codePoint)
{
    out.append("&#x").append(QByteArray::number(uint(codePoint), 16).toUpper()).append(';');
}

// Characters that CP932 maps one way only, onto ASCII bytes that read back
// as other characters.
bool readsBackAsOther(char16_t c)
{
    return c == 0x00A5 || c == 0x203E;
}

} // namespace

Cp932::Cp932()
    : m_cd(iconv_open("CP932",
                      QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE"))
{
}

Cp932::~Cp932()
{
    if (handle(m_cd) != reinterpret_cast<iconv_t>(-1))
        iconv_close(handle(m_cd));
}

void Cp932::append(QByteArray &out, QStringView text)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        // ASCII is the same in CP932: copied as it is.
        const char16_t *run = p;
        while (p < end && *p < 0x80)
            ++p;
        if (p > run) {
            const qsizetype at = out.size();
            out.resize(at + (p - run));
            char *dst = out.data() + at;
            for (const char16_t *s = run; s < p; ++s)
                *dst++ = char(*s);
        }
        if (p == end)
            break;

        // A run of characters that need converting, up to the next one that
        // CP932 certainly cannot hold.
        run = p;
        while (p < end && *p >= 0x80 && !QChar::isSurrogate(*p) && !readsBackAsOther(*p))
            ++p;
        if (handle(m_cd) == reinterpret_cast<iconv_t>(-1)) {
            for (const char16_t *s = run; s < p; ++s)
                appendReference(out, *s);
        } else if (p > run) {
            auto *in = const_cast<char *>(reinterpret_cast<const char *>(run));
            size_t inLeft = size_t(p - run) * sizeof(char16_t);
            while (inLeft > 0) {
                const qsizetype at = out.size();
                out.resize(at + qsizetype(inLeft) + 16); // at most two bytes a character
                char *dst = out.data() + at;
                size_t outLeft = inLeft + 16;
                const size_t rc = iconv(handle(m_cd), &in, &inLeft, &dst, &outLeft);
                const int why = errno;
                out.resize(dst - out.data());
                if (rc != size_t(-1) || why == E2BIG)
                    continue;
                // A character CP932 has no place for.
                appendReference(out, *reinterpret_cast<const char16_t *>(in));
                in += sizeof(char16_t);
                inLeft -= sizeof(char16_t);
            }
            iconv(handle(m_cd), nullptr, nullptr, nullptr, nullptr);
        }
        if (p == end || *p < 0x80)
            continue;

        // A pair, a lone surrogate, ¥ or ‾: a reference.
        if (QChar::isHighSurrogate(*p) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
            appendReference(out, QChar::surrogateToUcs4(p[0], p[1]));
            p += 2;
        } else if (QChar::isSurrogate(*p)) {
            appendReference(out, 0xFFFD);
            ++p;
        } else if (readsBackAsOther(*p)) {
            appendReference(out, *p);
            ++p;
        }
    }
}
