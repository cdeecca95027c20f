#include "SiteRecord.h"

#include "PageFile.h"
#include "db/Texts.h"
#include "db/WholeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SiteRecord
{

namespace
{

const QByteArray Header("wazuna pages 2 ");

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

bool isPageName(QByteArrayView name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

quint64 hashOf(QByteArrayView bytes, quint64 seed)
{
    // Eight bytes at a time, each mixed in by a multiply and a rotation.
    constexpr quint64 K = 0x9E3779B97F4A7C15ull;
    quint64 h = (seed ^ quint64(bytes.size())) * K;
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        h = std::rotl((h ^ word) * K, 29);
    }
    quint64 tail = 0;
    if (n > 0) // an empty text may have no bytes at all: p is then null
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
    // Read with from_chars: a record of a hundred thousand pages is read
    // in a few dozen milliseconds, where Qt's conversions take ten times
    // as long.
    pages.reserve(all.count('\n'));
    const char *p = all.constData() + at + 1;
    const char *const stop = all.constData() + all.size();
    while (p < stop) {
        const char *const end = static_cast<const char *>(std::memchr(p, '\n', size_t(stop - p)));
        if (!end)
            break; // cut short: the last line is not trusted
        // hash size flag input inode changed name
        Page page;
        char flag = 0;
        const auto number = [&](auto &value, int base) {
            const auto [next, ec] = std::from_chars(p, end, value, base);
            if (ec != std::errc() || next == end || *next != ' ')
                return false;
            p = next + 1;
            return true;
        };
        const bool ok = number(page.hash, 16) && number(page.size, 10) && end - p > 2 &&
                        ((flag = *p) == 's' || flag == '-') && p[1] == ' ' && (p += 2) &&
                        number(page.input, 16) && number(page.stamp.ino, 10) &&
                        number(page.stamp.changed, 10) && p < end;
        if (ok) {
            page.stale = flag == 's';
            QByteArray name(p, end - p);
            if (name.contains('%'))
                name = QByteArray::fromPercentEncoding(name);
            // The record is a file anyone with the user's rights may have
            // written: a name that could reach outside the folder is no page.
            if (isPageName(name))
                pages.insert(name, page);
        }
        p = end + 1;
    }
    return pages;
}

bool write(const QString &folder, const Pages &pages, QString *error)
{
    const QString path = pathOf(folder);
    const QString cache = QFileInfo(path).path();
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!QDir().mkpath(cache))
        return fail(cache);
    // Written out a block at a time into a file of its own, then renamed
    // over the record: whole or not at all. A buffer of the whole record
    // (some 80 bytes a page) came on top of everything else a run holds,
    // at its very end, and for a large site that was its largest moment.
    // A cache: not worth a sync.
    static std::atomic<unsigned> counter{0};
    const QByteArray target = QFile::encodeName(path);
    // The record is written only by the run that holds its folder's lock:
    // a file of this name and a suffix of ours is what a killed run left.
    if (DIR *dir = ::opendir(QFile::encodeName(cache).constData())) {
        const QByteArray prefix = QFile::encodeName(QFileInfo(path).fileName()) + ".tmp-";
        while (const dirent *entry = ::readdir(dir))
            if (QByteArrayView(entry->d_name).startsWith(prefix))
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
        ::closedir(dir);
    }
    const QByteArray temp =
        target + ".tmp-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(++counter);
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(path + u'\n' + Texts::Reason::ofErrno(errno));
    constexpr qsizetype Block = 64 * 1024;
    QByteArray out;
    out.reserve(Block + 512);
    bool written = true;
    const auto flush = [&] {
        written = written && WholeFile::writeAll(fd, out);
        out.clear(); // keeps its room
    };
    const auto add = [&](QByteArrayView part) {
        out.append(part);
        if (out.size() >= Block)
            flush();
    };
    add(escaped(Header + QFile::encodeName(canonical(folder))));
    add("\n");
    for (auto it = pages.cbegin(); it != pages.cend(); ++it) {
        const auto number = [&add](auto value, int base) {
            char digits[24]; // a 64-bit number has at most 20
            add(QByteArrayView(
                digits, std::to_chars(digits, digits + sizeof digits, value, base).ptr - digits));
            add(" ");
        };
        number(it->hash, 16);
        number(it->size, 10);
        add(it->stale ? "s " : "- ");
        number(it->input, 16);
        number(it->stamp.ino, 10);
        number(it->stamp.changed, 10);
        add(escaped(it.key()));
        add("\n");
    }
    flush();
    int code = written ? 0 : errno;
    if (::close(fd) != 0 && !code)
        code = errno;
    if (!code && ::rename(temp.constData(), target.constData()) != 0)
        code = errno;
    if (code) {
        ::unlink(temp.constData());
        return fail(path + u'\n' + Texts::Reason::ofErrno(code));
    }
    return true;
}

bool holds(int fd, const Page &page)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != page.size)
        return false;
    QByteArray bytes(page.size, Qt::Uninitialized);
    return WholeFile::readAll(fd, bytes) == bytes.size() && hashOf(bytes) == page.hash;
}

bool stillOurs(const QString &folder, const QByteArray &name, const Page &page)
{
    const QByteArray path = QFile::encodeName(PageFile::join(folder, QFile::decodeName(name)));
    // Never through a link, nor into a pipe: our pages are plain files.
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // One its owner made read-only is theirs, whatever it holds.
    struct stat st;
    const bool same = ::fstat(fd, &st) == 0 && (st.st_mode & S_IWUSR) && holds(fd, page);
    ::close(fd);
    return same;
}

} // namespace SiteRecord
