#include "DbListFile.h"

#include "db/Texts.h"
#include "db/WholeFile.h"
#include "site/Cp932.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DbListFile
{

namespace
{

// All the bytes of the file; false with the reason when it could not be
// opened or read to its end (what was read is kept).
bool readAll(const QString &path, QByteArray &bytes, QString &problem)
{
    // Not blocking: opening a pipe of that name would wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        problem = Texts::Reason::ofErrno(errno);
        return false;
    }
    struct stat info {
    };
    if (::fstat(fd, &info) != 0)
        problem = Texts::Reason::ofErrno(errno);
    else if (S_ISDIR(info.st_mode))
        problem = Texts::Reason::isFolder();
    else if (!S_ISREG(info.st_mode))
        problem = Texts::Reason::notAFile();
    while (problem.isEmpty()) {
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n > 0)
            bytes.append(buffer, n);
        else if (errno != EINTR)
            problem = Texts::Reason::ofErrno(errno);
    }
    ::close(fd);
    return problem.isEmpty();
}

// CP932 bytes to text; a byte that does not decode becomes U+FFFD, which
// CP932 itself never gives. False when the system has no such converter.
bool decode(const QByteArray &bytes, QString &text)
{
    text.resize(bytes.size());
    const iconv_t cd = iconv_open(
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        text = QString::fromLatin1(bytes);
        return false;
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
        *reinterpret_cast<char16_t *>(out) = 0xFFFD;
        out += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    text.resize((out - reinterpret_cast<char *>(text.data())) / qsizetype(sizeof(char16_t)));
    return true;
}

bool lineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// The line, counted from 1, that holds text[at]; CR LF, LF and CR each end
// one.
int lineOf(const QString &text, qsizetype at)
{
    int line = 1;
    for (qsizetype i = 0; i < at; ++i)
        if (text[i] == u'\n' ||
            (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            ++line;
    return line;
}

// The first place where the text stops being entries, and what is wrong
// there (%1 is its line).
struct Damage {
    qsizetype at = -1;
    QString what;

    void note(qsizetype where, const QString &text)
    {
        if (at < 0 || where < at) {
            at = where;
            what = text;
        }
    }
};

} // namespace

Contents read(const QString &path)
{
    Contents contents;
    QByteArray bytes;
    contents.read = readAll(path, bytes, contents.problem);
    QString text;
    Damage damage;
    if (!decode(bytes, text)) {
        contents.damaged = true;
        if (contents.problem.isEmpty())
            contents.problem = QStringLiteral("CP932（Shift_JIS）の文字コード変換を使えません");
    } else if (const qsizetype bad = text.indexOf(QChar(0xFFFD)); bad >= 0) {
        damage.note(bad,
                    QStringLiteral("%1行目に CP932（Shift_JIS）として読めないバイトがあります"));
    }
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
            if (end != close)
                damage.note(i, QStringLiteral("%1行目の「\"」が閉じていません"));
            i = end + (end == close ? 1 : 0);
            // Whatever follows the closing quote, up to the separator, is not
            // part of an entry.
            const qsizetype start = i;
            while (i < n && text[i] != u',' && !lineEnd(text[i]))
                ++i;
            if (!text.mid(start, i - start).trimmed().isEmpty())
                damage.note(start, QStringLiteral("%1行目の「\"」の後ろに余分な文字があります"));
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
    if (damage.at >= 0) {
        contents.damaged = true;
        // A failed read says more than the damage it left at the end.
        if (contents.problem.isEmpty())
            contents.problem = damage.what.arg(lineOf(text, damage.at));
    }
    return contents;
}

bool write(const QString &path, const QStringList &entries, QString *error)
{
    Cp932 encoder;
    QByteArray bytes;
    for (const QString &entry : entries) {
        // A numeric reference, a quote or a line break would be read back
        // as other entries.
        if (const std::optional<QString> bad = unwritable(entry)) {
            if (error)
                *error = cannotHold(*bad) + u'\n' + entry;
            return false;
        }
        bytes.append('"');
        encoder.append(bytes, entry);
        bytes.append("\"\r\n");
    }
    return WholeFile::write(path, bytes, error);
}

std::optional<QString> unwritable(const QString &text)
{
    Cp932 encoder;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"' || lineEnd(c))
            return QString(c);
        const qsizetype width =
            c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        if (!encoder.holds(QStringView(text).mid(i, width)))
            return text.mid(i, width);
        i += width - 1;
    }
    return std::nullopt;
}

QString cannotHold(const QString &character)
{
    // A line break or half a surrogate pair would not show in a message.
    const QString shown =
        character.size() == 1 && !character.at(0).isPrint()
            ? QStringLiteral("U+%1").arg(character.at(0).unicode(), 4, 16, QChar(u'0')).toUpper()
            : character;
    return QStringLiteral("一覧ファイルに書けない文字が含まれています（%1）").arg(shown);
}

QString databaseOf(const QString &entry)
{
    const qsizetype slash = entry.indexOf(u'/');
    return slash < 0 ? entry : entry.mid(slash + 1);
}

} // namespace DbListFile
