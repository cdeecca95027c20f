#include "CsvTransfer.h"

#include "db/AnswerText.h"
#include "db/CategoryKey.h"
#include "db/Texts.h"
#include "db/WholeFile.h"
#include "site/Cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QSysInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <csv.h>
#include <fcntl.h>
#include <iconv.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace CsvTransfer
{

namespace
{

// Files are read and written a block at a time: 100,000 long answers do not
// fit in the memory the tool may take.
constexpr qsizetype Block = 1 << 20;
constexpr qsizetype ProblemsShown = 10;
constexpr qsizetype RefusedShown = 5;

// ---- Writing ----

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Quoted when a reader could otherwise take it apart or trim it.
void appendField(QByteArray &out, QByteArrayView field)
{
    const char *begin = field.data();
    const char *end = begin + field.size();
    bool quote = !field.isEmpty() && (isBlank(field.front()) || isBlank(field.back()));
    for (const char *p = begin; !quote && p != end; ++p)
        quote = *p == ',' || *p == '"' || *p == '\r' || *p == '\n';
    if (!quote) {
        out.append(field);
        return;
    }
    out.append('"');
    for (const char *p = begin; p != end;) {
        const auto *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
        if (!q) {
            out.append(p, end - p);
            break;
        }
        out.append(p, q + 1 - p);
        out.append('"');
        p = q + 1;
    }
    out.append('"');
}

// A stored text as UTF-8 that any reader takes: bytes another program
// stored that are not UTF-8 go out as every reading shows them, U+FFFD.
QByteArrayView wellFormed(QByteArrayView stored, QByteArray &scratch)
{
    if (stored.isValidUtf8())
        return stored;
    scratch = Database::text(stored).toUtf8();
    return scratch;
}

// Where an export's bytes go: kept whole, or handed on a block at a time.
struct Output {
    QByteArray bytes;
    std::function<bool(const QByteArray &)> flush; // empty: keep everything
    bool failed = false;

    void maybeFlush()
    {
        if (flush && bytes.size() >= Block) {
            failed = failed || !flush(bytes);
            bytes.resize(0);
        }
    }
};

// The rows into `out`; false with the user's words in *message, and
// *refused set when it is the encoding that refuses them.
bool generate(const Database &db, Encoding encoding, bool br, Output &out, int &records,
              QString *message, bool *refusedBySjis = nullptr)
{
    const bool sjis = encoding == Encoding::ShiftJis;
    Cp932 cp932;
    const QString header = QStringLiteral("No,種類,質問,答え\r\n");
    out.bytes = sjis ? cp932.encode(header) : QByteArray("\xEF\xBB\xBF") + header.toUtf8();
    QStringList refused;
    qsizetype moreRefused = 0;
    QByteArray encoded;
    QByteArray shown;
    records = 0;
    const auto visit = [&](const Database::Stored &r) {
        const QByteArray no = QByteArray::number(r.no);
        if (!sjis) {
            out.bytes.append(no).append(',');
            appendField(out.bytes, wellFormed(r.kind, encoded));
            out.bytes.append(',');
            appendField(out.bytes, wellFormed(r.quest, encoded));
            out.bytes.append(',');
            if (br) {
                shown = AnswerText::brhiku(wellFormed(r.anser, encoded), true);
                appendField(out.bytes, shown);
            } else {
                appendField(out.bytes, wellFormed(r.anser, encoded));
            }
        } else {
            const std::array<QString, 3> texts{Database::text(r.kind), Database::text(r.quest),
                                               AnswerText::brhiku(Database::text(r.anser), br)};
            if (!cp932.holds(texts[0]) || !cp932.holds(texts[1]) || !cp932.holds(texts[2])) {
                if (refused.size() < RefusedShown)
                    refused.append(QStringLiteral("番号%1「%2」").arg(r.no).arg(texts[1]));
                else
                    ++moreRefused;
            }
            // Nothing is written once a record is refused; the rest are
            // only looked at, to count them.
            if (!refused.isEmpty())
                return true;
            out.bytes.append(no);
            for (const QString &text : texts) {
                encoded.resize(0);
                cp932.append(encoded, text);
                out.bytes.append(',');
                appendField(out.bytes, encoded);
            }
        }
        out.bytes.append("\r\n");
        ++records;
        out.maybeFlush();
        return !out.failed;
    };
    QString error;
    if (!db.scanWithKinds([](const QStringList &) {}, visit, &error)) {
        if (message)
            *message = Texts::cannotReadFile(db.path(), error);
        return false;
    }
    if (!refused.isEmpty()) {
        if (message)
            *message = Texts::csvNotInShiftJis(refused, moreRefused);
        if (refusedBySjis)
            *refusedBySjis = true;
        return false;
    }
    return true;
}

// ---- Reading ----

// How much of `bytes` ends on a whole UTF-8 sequence: a sequence cut by
// the end of a block is checked with the next block.
qsizetype wholeSequences(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    qsizetype k = 0;
    while (k < 3 && k < n && (quint8(bytes[n - 1 - k]) & 0xC0) == 0x80)
        ++k;
    if (k == n)
        return n;
    const quint8 lead = quint8(bytes[n - 1 - k]);
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length > k + 1 ? n - 1 - k : n;
}

// What the first line says about the separator.
struct FirstLine {
    bool done = false;
    bool tab = false;
    bool comma = false;

    void scan(QByteArrayView bytes)
    {
        for (qsizetype i = 0; !done && i < bytes.size(); ++i) {
            const char c = bytes[i];
            done = c == '\r' || c == '\n';
            tab = tab || c == '\t';
            comma = comma || c == ',';
        }
    }
    char separator(bool tsvByName) const { return tsvByName || (tab && !comma) ? '\t' : ','; }
};

// CP932 bytes to text, as the system's converter reads them.
class Cp932Decoder
{
public:
    Cp932Decoder()
        : m_cd(iconv_open(QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE",
                          "CP932"))
    {
    }
    Cp932Decoder(const Cp932Decoder &) = delete;
    Cp932Decoder &operator=(const Cp932Decoder &) = delete;
    ~Cp932Decoder()
    {
        if (m_cd != iconv_t(-1))
            iconv_close(m_cd);
    }

    std::optional<QString> operator()(QByteArrayView bytes)
    {
        bool ascii = true;
        for (const char c : bytes)
            ascii = ascii && quint8(c) < 0x80;
        if (ascii)
            return QString::fromLatin1(bytes);
        if (m_cd == iconv_t(-1))
            return std::nullopt;
        // Every character takes at least one byte and one UTF-16 unit.
        QString text(bytes.size(), Qt::Uninitialized);
        char *in = const_cast<char *>(bytes.data());
        size_t inLeft = size_t(bytes.size());
        char *out = reinterpret_cast<char *>(text.data());
        size_t outLeft = size_t(text.size()) * 2;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_cd, &in, &inLeft, &out, &outLeft) == size_t(-1) || inLeft != 0)
            return std::nullopt;
        text.resize(text.size() - qsizetype(outLeft / 2));
        return text;
    }

private:
    iconv_t m_cd;
};

// The rows of a file, fed a block at a time, checked as the input tab
// checks a record; the records go to `sink`, with the line each begins
// on, until a problem is found.
class Rows
{
public:
    using Emit = std::function<bool(const QaRecord &, qint64 line)>;

    Rows(char separator, bool utf8, bool br, Emit sink)
        : m_utf8(utf8), m_br(br), m_emit(std::move(sink))
    {
        csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
        csv_set_delim(&m_parser, static_cast<unsigned char>(separator));
        // A field grows by this much when full: the default 128 bytes makes
        // a long answer quadratic.
        csv_set_blk_size(&m_parser, 1 << 16);
        // Blanks are text: nothing is trimmed.
        csv_set_space_func(&m_parser, [](unsigned char) { return 0; });
    }
    Rows(const Rows &) = delete;
    Rows &operator=(const Rows &) = delete;
    ~Rows() { csv_free(&m_parser); }

    // False once reading must stop: a malformed file or a record not stored.
    bool feed(QByteArrayView bytes)
    {
        // A piece at a time: a field growing past the limit is caught while
        // the parser holds little more than the limit.
        constexpr qsizetype Piece = 1 << 16;
        for (qsizetype at = 0; at < bytes.size() && !stopped(); at += Piece) {
            const QByteArrayView piece = bytes.sliced(at, std::min(Piece, bytes.size() - at));
            const size_t done =
                csv_parse(&m_parser, piece.data(), size_t(piece.size()), onField, onRow, this);
            if (stopped())
                break;
            if (done < size_t(piece.size())) {
                problem(m_rowLine,
                        csv_error(&m_parser) == CSV_EPARSE
                            ? Texts::csvBadQuote()
                            : QString::fromLocal8Bit(csv_strerror(csv_error(&m_parser))));
                m_malformed = true;
            } else if (m_parser.entry_pos > size_t(FieldLimit)) {
                tooLong();
            }
        }
        return !stopped();
    }
    void finish()
    {
        if (!stopped() && csv_fini(&m_parser, onField, onRow, this) != 0) {
            problem(m_rowLine, Texts::csvUnclosedQuote());
            m_malformed = true;
        }
    }

    bool stopped() const { return m_malformed || m_notStored; }
    bool notStored() const { return m_notStored; }
    qsizetype problemCount() const { return m_problemCount; }
    QStringList problems() const
    {
        QStringList shown = m_problems;
        if (m_problemCount > ProblemsShown)
            shown.append(Texts::csvMore(m_problemCount - ProblemsShown));
        return shown;
    }

private:
    static void onField(void *field, size_t size, void *self)
    {
        static_cast<Rows *>(self)->field(static_cast<const char *>(field), size);
    }
    static void onRow(int end, void *self) { static_cast<Rows *>(self)->rowEnd(end); }

    void field(const char *data, size_t size)
    {
        if (stopped())
            return;
        if (size > size_t(FieldLimit)) {
            tooLong();
            return;
        }
        m_nul = m_nul || std::memchr(data, 0, size);
        if (m_count < qsizetype(m_fields.size()))
            m_fields[size_t(m_count)].assign(data, size);
        ++m_count;
        // Line breaks inside a quoted field count as lines of the file.
        for (size_t i = 0; i < size; ++i)
            if (data[i] == '\n' || (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n')))
                ++m_breaks;
        m_afterCr = false;
    }

    // `end` is the CR or LF that ended the row, or -1 at the end of the file.
    void rowEnd(int end)
    {
        if (stopped())
            return;
        if (m_count == 0) {
            // Outside any row: the LF of a CR LF, or an empty line.
            if (end == '\n' && m_afterCr) {
                m_afterCr = false;
                return;
            }
            if (end >= 0 && m_blankLine == 0)
                m_blankLine = m_breaks + 1;
            lineBreak(end);
            return;
        }
        const qint64 line = m_rowLine;
        lineBreak(end);
        // Empty lines are allowed only at the end.
        if (m_blankLine != 0) {
            problem(m_blankLine, Texts::csvBlankLine());
            m_blankLine = 0;
        }
        row(line);
        m_count = 0;
        m_nul = false;
    }

    void lineBreak(int end)
    {
        if (end == '\r' || end == '\n')
            ++m_breaks;
        m_afterCr = end == '\r';
        m_rowLine = m_breaks + 1;
    }

    std::optional<QString> text(qsizetype index)
    {
        const std::string &bytes = m_fields[size_t(index)];
        if (m_utf8)
            return Database::text(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        return m_cp932(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }

    // A header is known by its names: with or without the No column.
    bool isHeader()
    {
        if (m_count != 3 && m_count != 4)
            return false;
        QStringList names;
        for (qsizetype i = 0; i < m_count; ++i) {
            const std::optional<QString> name = text(i);
            if (!name)
                return false;
            names.append(name->trimmed());
        }
        const QStringList japanese{QStringLiteral("No"), QStringLiteral("種類"),
                                   QStringLiteral("質問"), QStringLiteral("答え")};
        const QStringList english{QStringLiteral("No"), QStringLiteral("kind"),
                                  QStringLiteral("quest"), QStringLiteral("anser")};
        const qsizetype from = 4 - m_count;
        return names == japanese.mid(from) || names == english.mid(from);
    }

    void row(qint64 line)
    {
        if (m_columns == 0) {
            const bool header = isHeader();
            m_columns = header ? m_count : 3;
            if (header)
                return;
        }
        // The input tab can store no NUL, and a page cannot carry one.
        if (m_nul) {
            problem(line, Texts::csvNul());
            return;
        }
        if (m_count != m_columns) {
            problem(line, Texts::csvFieldCount(m_columns, m_count));
            return;
        }
        const qsizetype first = m_columns - 3; // past a No column
        std::array<std::optional<QString>, 3> texts{text(first), text(first + 1), text(first + 2)};
        if (!texts[0] || !texts[1] || !texts[2]) {
            problem(line, Texts::csvUndecodable());
            return;
        }
        QaRecord record{0, std::move(*texts[0]), std::move(*texts[1]),
                        m_br ? AnswerText::brplus(AnswerText::crlfBreaks(*texts[2]), true)
                             : std::move(*texts[2])};
        if (record.kind.isEmpty() || record.quest.isEmpty() || record.anser.isEmpty())
            problem(line, Texts::noInput());
        else if (!CategoryKey::isWellFormed(record.kind))
            problem(line, Texts::badCategory());
        else if (const std::optional<QString> refused =
                     Database::tooLong(record.kind, record.quest))
            problem(line, *refused);
        else if (m_problemCount == 0 && !m_emit(record, line))
            m_notStored = true;
    }

    // Reading stops there: the field is not held any longer.
    void tooLong()
    {
        problem(m_rowLine, Texts::csvFieldTooLong(FieldLimit));
        m_malformed = true;
    }

    void problem(qint64 line, const QString &reason)
    {
        if (m_problems.size() < ProblemsShown)
            m_problems.append(Texts::csvAtLine(line, reason));
        ++m_problemCount;
    }

    csv_parser m_parser{};
    const bool m_utf8;
    const bool m_br;
    Emit m_emit;
    Cp932Decoder m_cp932;
    std::array<std::string, 4> m_fields; // the first four; more are only counted
    qsizetype m_count = 0;               // fields of the row so far
    qsizetype m_columns = 0;             // known after the first row
    qint64 m_breaks = 0;                 // line breaks read so far
    qint64 m_rowLine = 1;                // where the row being read began
    qint64 m_blankLine = 0;              // the first empty line not yet followed by a row
    bool m_afterCr = false;
    bool m_nul = false; // in the row being read
    bool m_malformed = false;
    bool m_notStored = false;
    QStringList m_problems;
    qsizetype m_problemCount = 0;
};

// A file read a block at a time, twice: once to tell its encoding and
// separator, once for its rows.
class Source
{
public:
    Source() = default;
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;
    ~Source()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool open(const QString &path, QString *error)
    {
        if (path.isEmpty()) {
            *error = Texts::Reason::noFileName();
            return false;
        }
        // Looked at before it is opened: opening a named pipe waits for a
        // writer, for good. Opened without waiting all the same, should one
        // take the file's place meanwhile.
        const QByteArray name = QFile::encodeName(path);
        if (::stat(name.constData(), &m_seen) != 0 || !plain(error))
            return fail(error);
        m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0 || ::fstat(m_fd, &m_seen) != 0 || !plain(error))
            return fail(error);
        return true;
    }

    qint64 size() const { return m_seen.st_size; }

    // Whether the second reading read the bytes of the first, and nothing
    // wrote to the file since it was opened. The times alone could miss a
    // write within the clock's tick.
    bool unchanged() const
    {
        struct stat now {
        };
        return m_hash == m_firstHash && ::fstat(m_fd, &now) == 0 && now.st_size == m_seen.st_size &&
               now.st_mtim.tv_sec == m_seen.st_mtim.tv_sec &&
               now.st_mtim.tv_nsec == m_seen.st_mtim.tv_nsec &&
               now.st_ctim.tv_sec == m_seen.st_ctim.tv_sec &&
               now.st_ctim.tv_nsec == m_seen.st_ctim.tv_nsec;
    }

    // Appends up to a block to `buffer`; 0 at the end, -1 with errno.
    qsizetype read(QByteArray &buffer)
    {
        const qsizetype had = buffer.size();
        buffer.resize(had + Block);
        ssize_t n;
        do
            n = ::read(m_fd, buffer.data() + had, size_t(Block));
        while (n < 0 && errno == EINTR);
        buffer.resize(had + (n > 0 ? n : 0));
        if (n > 0)
            m_hash = qHash(QByteArrayView(buffer).sliced(had), m_hash);
        return n;
    }

    bool rewind()
    {
        m_firstHash = m_hash;
        m_hash = 0;
        return ::lseek(m_fd, 0, SEEK_SET) == 0;
    }

private:
    bool plain(QString *error) const
    {
        if (S_ISREG(m_seen.st_mode))
            return true;
        *error = S_ISDIR(m_seen.st_mode) ? Texts::Reason::isFolder() : Texts::Reason::notAFile();
        errno = 0;
        return false;
    }
    // After plain() (errno 0) or a call that set errno.
    static bool fail(QString *error)
    {
        if (errno != 0)
            *error = Texts::Reason::ofErrno(errno);
        return false;
    }

    int m_fd = -1;
    struct stat m_seen {
    };
    // Of the bytes read so far, and of the whole first reading: both read a
    // block at a time, so alike when the bytes are.
    size_t m_hash = 0;
    size_t m_firstHash = 0;
};

// Why bytes that begin so are not a CSV file at all; empty when they may be.
QString notCsv(QByteArrayView head)
{
    // Zip (.xlsx, .ods) and the compound file of .xls.
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06") ||
        head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return Texts::csvNotCsv();
    if (head.startsWith("\xFF\xFE"))
        return Texts::csvUtf16(QStringLiteral("UTF-16LE"));
    if (head.startsWith("\xFE\xFF"))
        return Texts::csvUtf16(QStringLiteral("UTF-16BE"));
    // Without a byte-order mark: the NUL of every ASCII character, always on
    // the same side of the pair, where neither UTF-8 nor Shift_JIS has any.
    const QByteArrayView sample = head.first(std::min<qsizetype>(head.size(), 1024) & ~1);
    qsizetype nul[2] = {0, 0};
    for (qsizetype i = 0; i < sample.size(); ++i)
        nul[i % 2] += sample[i] == 0;
    const qsizetype pairs = sample.size() / 2;
    for (const int side : {0, 1})
        if (pairs >= 2 && nul[1 - side] == 0 && nul[side] * 4 >= pairs)
            return Texts::csvUtf16(side == 1 ? QStringLiteral("UTF-16LE")
                                             : QStringLiteral("UTF-16BE"));
    return {};
}

QByteArrayView withoutBom(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

} // namespace

std::optional<QByteArray> exportBytes(const Database &db, Encoding encoding, bool br,
                                      QString *message)
{
    Output out;
    int records = 0;
    if (!generate(db, encoding, br, out, records, message))
        return std::nullopt;
    return out.bytes;
}

bool isDatabaseFile(const Database &db, const QString &path)
{
    struct stat a {
    }, b{};
    return ::stat(QFile::encodeName(db.path()).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

Exported exportTo(const Database &db, const QString &path, Encoding encoding, bool br)
{
    Exported result;
    WholeFile::Writer file;
    QString error;
    // Written over the database, the export would replace every record by
    // their text.
    if (isDatabaseFile(db, path)) {
        result.message = Texts::csvNotWritten(path, Texts::Reason::isTheDatabase());
        return result;
    }
    WholeFile::removeLeftovers(QFileInfo(path).absolutePath());
    if (!file.open(path, &error)) {
        result.message = Texts::csvNotWritten(path, error);
        return result;
    }
    Output out;
    out.flush = [&file](const QByteArray &bytes) { return file.write(bytes); };
    int records = 0;
    if (!generate(db, encoding, br, out, records, &result.message, &result.refused))
        return result;
    // A failed write is reported by the commit, which then drops the file.
    file.write(out.bytes);
    if (!file.commit(&error)) {
        result.message = Texts::csvNotWritten(path, error);
        return result;
    }
    result.ok = true;
    result.records = records;
    result.message = Texts::csvExported(records);
    return result;
}

Parsed parse(const QByteArray &bytes, bool tsvByName, bool br)
{
    Parsed parsed;
    parsed.failure = notCsv(bytes);
    if (!parsed.failure.isEmpty())
        return parsed;
    const bool utf8 = bytes.isValidUtf8();
    const QByteArrayView text = utf8 ? withoutBom(bytes) : QByteArrayView(bytes);
    FirstLine first;
    first.scan(text);
    Rows rows(first.separator(tsvByName), utf8, br, [&parsed](const QaRecord &record, qint64) {
        parsed.records.append(record);
        return true;
    });
    rows.feed(text);
    rows.finish();
    parsed.problems = rows.problems();
    return parsed;
}

Imported importFrom(const Database &db, const QString &path, bool br, const Progress &progress,
                    const OnDuplicates &onDuplicates, qint64 stampBytes)
{
    Imported result;
    Source source;
    QString error;
    if (isDatabaseFile(db, path)) {
        result.failure = Texts::csvNotRead(path, Texts::Reason::isTheDatabase());
        return result;
    }
    WholeFile::removeLeftovers(QFileInfo(path).absolutePath());
    if (!source.open(path, &error)) {
        result.failure = Texts::csvNotRead(path, error);
        return result;
    }

    // The encoding needs the whole file: it is UTF-8 only when every
    // sequence is.
    bool utf8 = true;
    FirstLine first;
    QByteArray buffer;
    qsizetype n;
    for (bool head = true; (n = source.read(buffer)) > 0; head = false) {
        if (const QString why = head ? notCsv(buffer) : QString(); !why.isEmpty()) {
            result.failure = Texts::csvNotRead(path, why);
            return result;
        }
        first.scan(buffer);
        const qsizetype whole = wholeSequences(buffer);
        utf8 = utf8 && QByteArrayView(buffer).first(whole).isValidUtf8();
        buffer.remove(0, whole);
    }
    if (n < 0) {
        result.failure = Texts::csvNotRead(path, Texts::Reason::ofErrno(errno));
        return result;
    }
    utf8 = utf8 && buffer.isEmpty();
    const bool tsvByName = path.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive);

    // Checked first, the rows are read twice more: the progress runs over
    // both readings.
    const bool checking = bool(onDuplicates);
    const qint64 readings = checking ? 2 : 1;
    qint64 reading = 0;
    bool readFailed = false;
    qsizetype problems = 0;
    // One reading of the rows from the top, each to `sink`; false when they
    // may not be added: a row refused, or `sink` stopped them.
    const auto readRows = [&](const Rows::Emit &sink) {
        if (!source.rewind()) {
            readFailed = true;
            error = Texts::Reason::ofErrno(errno);
            return false;
        }
        Rows rows(first.separator(tsvByName), utf8, br, sink);
        qint64 done = 0;
        QByteArray block;
        qsizetype got;
        while ((got = source.read(block)) > 0) {
            const QByteArrayView bytes = done == 0 && utf8 ? withoutBom(block) : block;
            done += got;
            if (!rows.feed(bytes))
                break;
            block.resize(0);
            if (progress)
                progress(reading * source.size() + done, readings * source.size());
        }
        ++reading;
        if (got < 0) {
            readFailed = true;
            error = Texts::Reason::ofErrno(errno);
            return false;
        }
        rows.finish();
        // The encoding was told from the bytes of the first reading: every
        // other, when it read them all, must have read the same. One that
        // stopped at a row has nothing to add.
        if (got == 0 && !source.unchanged()) {
            readFailed = true;
            error = Texts::Reason::changedWhileRead();
            return false;
        }
        result.problems = rows.problems();
        problems = rows.problemCount();
        return problems == 0 && !rows.notStored();
    };

    const auto failed = [&result](const QString &failure) {
        result.failure = failure;
        result.numbers.clear();
        result.stamps.clear();
        result.skipped = 0;
        return result;
    };
    std::optional<qint64> added;
    QList<qint64> duplicates;         // lines of the rows stored already, in order
    std::optional<Duplicates> answer; // nothing when not asked
    bool storedMeanwhile = false;
    qint64 keptBytes = -1; // -1: no more stamps kept
    do {
        reading = 0;
        duplicates.clear();
        answer.reset();
        storedMeanwhile = false;
        result.stamps.clear();
        keptBytes = stampBytes > 0 ? 0 : -1;
        result.skipped = 0;
        // Checked in a reading of its own, so that the question waits for
        // no lock: another program may write while it is asked.
        if (checking) {
            const bool looked = db.lookUp(
                [&](const Database::Holds &holds) {
                    readRows([&](const QaRecord &record, qint64 line) {
                        const std::optional<bool> held = holds(record);
                        if (held && *held)
                            duplicates.append(line);
                        return held.has_value();
                    });
                },
                &error);
            if (readFailed)
                return failed(Texts::csvNotRead(path, error));
            if (!looked)
                return failed(Texts::notAdded(db.path(), error));
            if (problems > 0)
                return result;
            if (!duplicates.isEmpty()) {
                answer = onDuplicates(int(duplicates.size()), duplicates);
                if (*answer == Duplicates::Cancel) {
                    result.cancelled = true;
                    return result;
                }
            }
        }
        // Looked up again as the rows are added: a row another program
        // stored since the check is left out after Skip too, and one
        // nobody was asked about sends the import back to the check.
        added = db.addAll(
            [&](const Database::Store &store) {
                return readRows([&](const QaRecord &record, qint64 line) {
                    if (checking && answer != Duplicates::Add) {
                        const std::optional<bool> held = store.held(record);
                        if (!held)
                            return false;
                        if (answer && (*held || std::binary_search(duplicates.cbegin(),
                                                                   duplicates.cend(), line))) {
                            ++result.skipped;
                            return true;
                        }
                        if (*held) {
                            storedMeanwhile = true;
                            return false;
                        }
                    }
                    if (!store(record))
                        return false;
                    if (keptBytes >= 0) {
                        result.stamps.append(Database::stampOf(record));
                        keptBytes += result.stamps.last().size();
                        if (keptBytes > stampBytes) {
                            keptBytes = -1;
                            result.stamps = {};
                        }
                    }
                    return true;
                });
            },
            &error, &result.numbers);
    } while (storedMeanwhile && added && !readFailed);
    if (readFailed)
        return failed(Texts::csvNotRead(path, error));
    if (!added) {
        result.problems.clear();
        return failed(Texts::notAdded(db.path(), error));
    }
    if (problems > 0)
        return failed({});
    result.ok = true;
    result.records = int(*added);
    return result;
}

} // namespace CsvTransfer
