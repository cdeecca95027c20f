#pragma once

#include <QByteArray>
#include <QStringView>

// Text to CP932 (Shift_JIS as Windows writes it), the encoding the pages
// declare. A character CP932 cannot hold is written as an HTML numeric
// character reference ("&#x1F600;"), so a page shows everything it was
// given and nothing becomes "?". ¥ and ‾ count as such characters: CP932
// would turn them into the ASCII bytes of "\" and "~".
class Cp932
{
public:
    Cp932();

    // Appends the encoding of `text` to `out`.
    void append(QByteArray &out, QStringView text);
    // Whether every character of `text` has CP932 bytes of its own.
    bool holds(QStringView text) const;

    QByteArray encode(QStringView text)
    {
        QByteArray out;
        append(out, text);
        return out;
    }

private:
    const quint16 *m_table;
};
