#include "DbListFile.h"

#include "site/Cp932.h"

#include <QFile>
#include <QSaveFile>
#include <QSysInfo>

#include <cerrno>
#include <iconv.h>

namespace DbListFile
{

namespace
{

// CP932 bytes to text; a byte that does not decode becomes U+FFFD and marks
// the file as damaged.
QString decode(const QByteArray &bytes, bool &damaged)
{
    QString text;
    text.resize(bytes.size());
    const iconv_t cd = iconv_open(
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        damaged = true;
        return QString::fromLatin1(bytes);
    }
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *out = reinterpret_cast<char *>(text.data());
    size_t outLeft = size_t(text.size()) * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen: one code unit at most a byte
        // A byte that is not CP932, or a lead byte at the very end.
        damaged = true;
        *reinterpret_cast<char16_t *>(out) = 0xFFFD;
        out += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    text.resize((out - reinterpret_cast<char *>(text.data())) / qsizetype(sizeof(char16_t)));
    return text;
}

bool lineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

Contents read(const QString &path)
{
    Contents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return contents;
    contents.read = true;
    const QString text = decode(file.readAll(), contents.damaged);
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Blanks before a field, and empty lines, carry nothing.
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || lineEnd(text[i])))
            ++i;
        if (i == n)
            break;
        QString field;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            qsizetype end = i + 1;
            while (end < n && !lineEnd(text[end]) && end != close)
                ++end;
            field = text.mid(i + 1, end - i - 1);
            if (end != close) // the closing quote is missing on this line
                contents.damaged = true;
            i = end + (end == close ? 1 : 0);
            // Whatever follows the closing quote, up to the separator, is not
            // part of an entry.
            const qsizetype start = i;
            while (i < n && text[i] != u',' && !lineEnd(text[i]))
                ++i;
            if (!text.mid(start, i - start).trimmed().isEmpty())
                contents.damaged = true;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && !lineEnd(text[i]))
                ++i;
            field = text.mid(start, i - start).trimmed();
        }
        if (i < n && text[i] == u',')
            ++i;
        contents.entries.append(field);
    }
    return contents;
}

bool write(const QString &path, const QStringList &entries, QString *error)
{
    Cp932 encoder;
    QByteArray bytes;
    for (const QString &entry : entries) {
        bytes.append('"');
        encoder.append(bytes, entry);
        bytes.append("\"\r\n");
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<QString> unwritable(const QString &text)
{
    Cp932 encoder;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"')
            return QString(c);
        const qsizetype width = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (!encoder.holds(QStringView(text).mid(i, width)))
            return text.mid(i, width);
        i += width - 1;
    }
    return std::nullopt;
}

QString databaseOf(const QString &entry)
{
    const qsizetype slash = entry.indexOf(u'/');
    return slash < 0 ? entry : entry.mid(slash + 1);
}

} // namespace DbListFile
