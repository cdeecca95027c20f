#include "SiteRecord.h"

#include "PageFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SiteRecord
{

namespace
{

const QByteArray Header("wazuna pages 1 ");

QString canonical(const QString &folder)
{
    const QFileInfo info(folder);
    const QString path = info.canonicalFilePath();
    return path.isEmpty() ? info.absoluteFilePath() : path;
}

// A name may hold anything but "/" and NUL: line breaks and "%" are escaped.
QByteArray escaped(const QByteArray &name)
{
    if (!name.contains('%') && !name.contains('\n') && !name.contains('\r'))
        return name;
    QByteArray out;
    for (const char c : name) {
        if (c == '%' || c == '\n' || c == '\r')
            out += '%' + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

} // namespace

quint64 hashOf(QByteArrayView bytes)
{
    // Eight bytes at a time, each mixed in by a multiply and a rotation.
    constexpr quint64 K = 0x9E3779B97F4A7C15ull;
    quint64 h = quint64(bytes.size()) * K;
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = std::rotl((h ^ word) * K, 29);
    }
    quint64 tail = 0;
    std::memcpy(&tail, p, size_t(n));
    h = (h ^ tail) * K;
    h ^= h >> 32;
    h *= K;
    return h ^ (h >> 29);
}

QString pathOf(const QString &folder)
{
    const QByteArray key =
        QCryptographicHash::hash(QFile::encodeName(canonical(folder)), QCryptographicHash::Sha1);
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/wazuna/sites/") + QString::fromLatin1(key.toHex());
}

Pages read(const QString &folder)
{
    QFile file(pathOf(folder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    Pages pages;
    qsizetype at = all.indexOf('\n');
    // A record of another folder (or a damaged one) is no record of this.
    if (at < 0 || QByteArray::fromPercentEncoding(all.left(at)) !=
                      Header + QFile::encodeName(canonical(folder)))
        return {};
    for (++at; at < all.size();) {
        qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            break; // cut short: the last line is not trusted
        const QByteArrayView line(all.constData() + at, end - at);
        at = end + 1;
        // hash size flag name
        const qsizetype s1 = line.indexOf(' ');
        const qsizetype s2 = s1 < 0 ? -1 : line.indexOf(' ', s1 + 1);
        const qsizetype s3 = s2 < 0 ? -1 : line.indexOf(' ', s2 + 1);
        if (s3 < 0 || s3 + 1 >= line.size())
            continue;
        bool okHash = false;
        bool okSize = false;
        Page page;
        page.hash = line.first(s1).toULongLong(&okHash, 16);
        page.size = line.sliced(s1 + 1, s2 - s1 - 1).toLongLong(&okSize);
        page.stale = line.sliced(s2 + 1, s3 - s2 - 1) == "s";
        if (okHash && okSize)
            pages.insert(QByteArray::fromPercentEncoding(line.sliced(s3 + 1).toByteArray()), page);
    }
    return pages;
}

bool write(const QString &folder, const Pages &pages, QString *error)
{
    const QString path = pathOf(folder);
    if (!QDir().mkpath(QFileInfo(path).path())) {
        if (error)
            *error = QFileInfo(path).path();
        return false;
    }
    QByteArray out = escaped(Header + QFile::encodeName(canonical(folder))) + '\n';
    out.reserve(out.size() + pages.size() * 40);
    for (auto it = pages.cbegin(); it != pages.cend(); ++it) {
        out += QByteArray::number(it->hash, 16) + ' ' + QByteArray::number(it->size) +
               (it->stale ? " s " : " - ") + escaped(it.key()) + '\n';
    }
    // A cache: whole or not at all, but not worth a sync.
    QString reason;
    if (PageFile::write(path, out, &reason) == PageFile::Outcome::Failed) {
        if (error)
            *error = path + u'\n' + reason;
        return false;
    }
    return true;
}

bool stillOurs(const QString &folder, const QByteArray &name, const Page &page)
{
    const QByteArray path = QFile::encodeName(PageFile::join(folder, QFile::decodeName(name)));
    // Never through a link, nor into a pipe: our pages are plain files.
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == page.size;
    if (same) {
        QByteArray bytes(page.size, Qt::Uninitialized);
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        same = got == bytes.size() && hashOf(bytes) == page.hash;
    }
    ::close(fd);
    return same;
}

} // namespace SiteRecord
