#include "AnswerText.h"

namespace
{
const QString crlf = QStringLiteral("\r\n");
const QString brCrlf = QStringLiteral("<br>\r\n");
} // namespace

namespace AnswerText
{

QString brplus(const QString &text, bool on)
{
    if (!on)
        return text;
    QString out = text;
    return out.replace(crlf, brCrlf);
}

QString brhiku(const QString &text, bool on)
{
    if (!on)
        return text;
    QString out = text;
    return out.replace(brCrlf, crlf);
}

QByteArray brhiku(QByteArrayView utf8, bool on)
{
    QByteArray out(utf8.data(), utf8.size());
    return on ? out.replace("<br>\r\n", "\r\n") : out;
}

QString crlfBreaks(const QString &text)
{
    // Most answers hold CR LF alone and go back as they are, uncopied.
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\n' || (c == u'\r' && (i + 1 == text.size() || text.at(i + 1) != u'\n')))
            break;
        if (c == u'\r')
            ++i;
    }
    if (i == text.size())
        return text;
    QString out = text.first(i);
    out.reserve(text.size() + text.size() / 16);
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue; // the LF that follows writes the break
        if (c == u'\r' || c == u'\n')
            out.append(crlf);
        else
            out.append(c);
    }
    return out;
}

QString fromWidget(const QString &lfText)
{
    QString out = lfText;
    return out.replace(u'\n', crlf);
}

QString toWidget(const QString &crlfText)
{
    QString out = crlfText;
    return out.replace(crlf, QStringLiteral("\n"));
}

int byteCount(const QString &crlfText)
{
    int total = 0;
    for (const QChar c : crlfText)
        total += c.unicode() >= 0x1000 ? 2 : 1;
    return total;
}

} // namespace AnswerText
