#pragma once

#include <QByteArray>
#include <QStringView>

#include <bitset>

// Text to CP932 (Shift_JIS as Windows writes it), the encoding the pages
// declare. A character CP932 cannot hold is written as an HTML numeric
// character reference ("&#x1F600;"), so a page shows everything it was
// given and nothing becomes "?". So does a character whose bytes would
// read back as another (¥ as "\", — as ―), but for the wave dash 〜: pages
// keep it as 0x8160, the bytes Windows users typed it as.
class Cp932
{
public:
    Cp932();

    // Appends the encoding of `text` to `out`.
    void append(QByteArray &out, QStringView text);
    // Whether every character of `text` has CP932 bytes that read back as
    // that character; the wave dash has not.
    bool holds(QStringView text) const;

    QByteArray encode(QStringView text)
    {
        QByteArray out;
        append(out, text);
        return out;
    }

private:
    const quint16 *m_table;
    const std::bitset<0x10000> *m_oneWay;
};
