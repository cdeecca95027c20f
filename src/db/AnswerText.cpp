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
