#include "Database.h"

#include "TextSearch.h"
#include "Texts.h"
#include "WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryFile>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::atomic<int> busyTimeout{5000};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool markIsOurs(qint64 appId, qint64 version, QString *error)
{
    if (appId != Database::ApplicationId) {
        setError(error, Texts::Reason::notOurs());
        return false;
    }
    if (version < 1 || version > Database::SchemaVersion) {
        setError(error, Texts::Reason::newerVersion());
        return false;
    }
    return true;
}

constexpr QByteArrayView SqliteMagic("SQLite format 3\0", 16);

// The first `size` bytes of a regular file (fewer if it is shorter), read
// without waiting on a pipe; 0 or the errno of the failure.
int readHead(const QString &path, qsizetype size, QByteArray &head)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st {
    };
    int code = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
    head.resize(size);
    qsizetype got = 0;
    while (code == 0 && got < size) {
        const ssize_t n = ::read(fd, head.data() + got, size_t(size - got));
        if (n < 0 && errno != EINTR)
            code = errno;
        else if (n == 0)
            break;
        else if (n > 0)
            got += n;
    }
    ::close(fd);
    head.truncate(got);
    return code;
}

// Our mark, read from the file's header without SQLite: a connection that
// may write rolls back a journal beside the file on its first read, and a
// journal of another program's file is not ours to touch.
bool headerIsOurs(const QString &path, QString *error)
{
    QByteArray head;
    if (const int code = readHead(path, 100, head)) {
        setError(error, Texts::Reason::cannotOpen() +
                            QStringLiteral("（%1）").arg(Texts::Reason::ofErrno(code)));
        return false;
    }
    if (head.size() < 100 || !head.startsWith(SqliteMagic)) {
        setError(error, Texts::Reason::notOurs());
        return false;
    }
    return markIsOurs(qFromBigEndian<qint32>(head.constData() + 68),
                      qFromBigEndian<qint32>(head.constData() + 60), error);
}

// One open connection; closed when it goes out of scope.
class Connection
{
public:
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection()
    {
        if (m_db)
            sqlite3_close_v2(m_db);
    }

    // `check`, when given, is asked about the file before SQLite opens it.
    bool open(const QString &path, int flags, QString *error,
              bool (*check)(const QString &, QString *) = nullptr)
    {
        const QFileInfo info(path);
        if (path.isEmpty()) {
            setError(error, Texts::Reason::noFileName());
            return false;
        }
        if (info.isDir()) {
            setError(error, Texts::Reason::isFolder());
            return false;
        }
        // A pipe or a device would block or mislead the engine.
        if (info.exists() && !info.isFile()) {
            setError(error, Texts::Reason::notAFile());
            return false;
        }
        if (!(flags & SQLITE_OPEN_CREATE) && !info.exists()) {
            setError(error, Texts::Reason::fileMissing());
            return false;
        }
        if (check && !check(path, error))
            return false;
        const QByteArray name = QFile::encodeName(path);
        m_path = path;
        if (sqlite3_open_v2(name.constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            setError(error, lastError());
            return false;
        }
        sqlite3_busy_timeout(m_db, busyTimeout.load());
        return true;
    }

    // The file must carry our mark, a layout this version knows and our
    // table.
    bool verify(QString *error)
    {
        qint64 appId = 0;
        qint64 version = 0;
        if (!pragma("application_id", appId, error) || !pragma("user_version", version, error))
            return false;
        return markIsOurs(appId, version, error) && hasOurTable(error);
    }

    bool exec(const char *sql, QString *error)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            setError(error, lastError());
            return false;
        }
        return true;
    }

    sqlite3 *handle() const { return m_db; }

    QString lastError() const
    {
        if (!m_db)
            return Texts::Reason::cannotOpen();
        const int code = sqlite3_extended_errcode(m_db);
        // A journal left by a killed writer that could be played back but not
        // opened for writing or deleted: the folder or the journal may not be
        // written.
        if ((code == SQLITE_IOERR_DELETE || (code & 0xff) == SQLITE_CANTOPEN) &&
            QFileInfo::exists(m_path + QStringLiteral("-journal")))
            return Texts::Reason::journalNotRolledBack();
        return Database::reason(code, QString::fromUtf8(sqlite3_errmsg(m_db)),
                                sqlite3_system_errno(m_db));
    }

private:
    bool pragma(const char *name, qint64 &value, QString *error);
    bool hasOurTable(QString *error);
    sqlite3 *m_db = nullptr;
    QString m_path;
};

// One prepared statement; finalized when it goes out of scope.
class Statement
{
public:
    Statement(const Connection &connection, const char *sql)
    {
        if (sqlite3_prepare_v2(connection.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement() { sqlite3_finalize(m_stmt); }

    bool ok() const { return m_stmt != nullptr; }

    void bindInteger(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }
    void bindBytes(int index, const QByteArray &bytes)
    {
        sqlite3_bind_blob(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    void reset() { sqlite3_reset(m_stmt); }
    sqlite3_stmt *handle() const { return m_stmt; }

    // As UTF-8: the UTF-16 binding takes a leading U+FEFF for a byte-order
    // mark and drops it from the stored text.
    void bind(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(m_stmt); }

    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QByteArray bytes(int column) const
    {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(data, data ? sqlite3_column_bytes(m_stmt, column) : 0);
    }

    // A NULL reads as empty text.
    QString text(int column) const { return Database::text(utf8(column)); }
    QByteArrayView utf8(int column) const
    {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        if (!data)
            return {};
        return QByteArrayView(data, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

bool Connection::pragma(const char *name, qint64 &value, QString *error)
{
    const QByteArray sql = QByteArray("PRAGMA ") + name;
    Statement st(*this, sql.constData());
    if (!st.ok()) {
        setError(error, lastError());
        return false;
    }
    const int rc = st.step();
    if (rc != SQLITE_ROW) {
        setError(error, lastError());
        return false;
    }
    value = st.integer(0);
    return true;
}

// tbl1 must be a stored table (not a view, which could read anything or
// never end, nor a virtual table) that has our four columns; more columns
// or tables do no harm. SQLite matches names without regard to case.
bool Connection::hasOurTable(QString *error)
{
    Statement table(*this, "SELECT type = 'table' AND rootpage > 0 FROM sqlite_master"
                           " WHERE name = 'tbl1' COLLATE NOCASE");
    if (!table.ok()) {
        setError(error, lastError());
        return false;
    }
    int rc = table.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        setError(error, lastError());
        return false;
    }
    if (rc == SQLITE_DONE || table.integer(0) == 0) {
        setError(error, Texts::Reason::notOurs());
        return false;
    }
    Statement columns(*this, "PRAGMA table_info(tbl1)");
    if (!columns.ok()) {
        setError(error, lastError());
        return false;
    }
    QStringList missing{QStringLiteral("no"), QStringLiteral("kind"), QStringLiteral("quest"),
                        QStringLiteral("anser")};
    while ((rc = columns.step()) == SQLITE_ROW)
        missing.removeOne(columns.text(1).toLower());
    if (rc != SQLITE_DONE) {
        setError(error, lastError());
        return false;
    }
    if (!missing.isEmpty()) {
        setError(error, Texts::Reason::notOurs());
        return false;
    }
    return true;
}

// A connection is used by one thread only. Reads ask for writing too:
// only a connection that may write rolls back a journal left by a killed
// writer, and SQLite opens the file read-only where it may not be written.
constexpr int ReadFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
constexpr int WriteFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

// shown(x): a stored value as every listing shows it, in UTF-8. What a user
// picks from a list then compares equal to the value it was read from,
// whatever another program stored there: bytes that are not UTF-8, a
// number, a BLOB, NULL (shown as nothing).
void shownText(sqlite3_context *context, int, sqlite3_value **values)
{
    sqlite3_value *value = values[0];
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        return;
    }
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(value));
    const QByteArrayView stored(bytes, bytes ? sqlite3_value_bytes(value) : 0);
    if (type == SQLITE_TEXT && stored.isValidUtf8()) {
        sqlite3_result_value(context, value);
        return;
    }
    const QByteArray utf8 = Database::text(stored).toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// stamp(a, b, ...): each value's type and its bytes exactly as stored, one
// after the other, each text or BLOB after its length. Two values that
// read as the same text (bytes that are not UTF-8, a number and its digits)
// have different stamps.
void stampOf(sqlite3_context *context, int count, sqlite3_value **values)
{
    QByteArray stamp;
    for (int i = 0; i < count; ++i) {
        sqlite3_value *value = values[i];
        const int type = sqlite3_value_type(value);
        stamp.append(char('0' + type));
        if (type == SQLITE_INTEGER) {
            const sqlite3_int64 n = sqlite3_value_int64(value);
            stamp.append(reinterpret_cast<const char *>(&n), sizeof n);
        } else if (type == SQLITE_FLOAT) {
            const double d = sqlite3_value_double(value);
            stamp.append(reinterpret_cast<const char *>(&d), sizeof d);
        } else if (type != SQLITE_NULL) {
            const auto *bytes = static_cast<const char *>(sqlite3_value_blob(value));
            const int size = sqlite3_value_bytes(value);
            stamp.append(QByteArray::number(size)).append(':').append(bytes, bytes ? size : 0);
        }
    }
    sqlite3_result_blob(context, stamp.constData(), int(stamp.size()), SQLITE_TRANSIENT);
}

bool openVerified(Connection &c, const QString &path, int flags, QString *error)
{
    if (!c.open(path, flags, error, headerIsOurs) || !c.verify(error))
        return false;
    constexpr int Flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    sqlite3_create_function_v2(c.handle(), "shown", 1, Flags, nullptr, shownText, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(c.handle(), "stamp", -1, Flags, nullptr, stampOf, nullptr, nullptr,
                               nullptr);
    return true;
}

// The columns a reading asks for, in the order recordAt reads them.
const char *columnsOf(Database::Fields fields)
{
    switch (fields) {
    case Database::Fields::WithoutAnswer:
        return "SELECT No, kind, quest, NULL FROM tbl1";
    case Database::Fields::AnswerHead:
        // substr counts characters, each one or two UTF-16 code units, so
        // this is never less than AnswerHead code units.
        return "SELECT No, kind, quest, substr(anser, 1, 60) FROM tbl1";
    case Database::Fields::KindOnly:
        return "SELECT No, kind, NULL, NULL FROM tbl1";
    case Database::Fields::All:
        break;
    }
    return "SELECT No, kind, quest, anser FROM tbl1";
}
static_assert(Database::AnswerHead == 60, "the query above cuts at 60");

QaRecord recordAt(const Statement &st)
{
    return {st.integer(0), st.text(1), st.text(2), st.text(3)};
}

// A search reads the three texts whatever the reading fills in: the columns
// 1 to 3 are matched, 4 holds the head of the answer where one is wanted,
// cut as columnsOf cuts it.
const char *searchedColumnsOf(Database::Fields fields)
{
    return fields == Database::Fields::AnswerHead
               ? "SELECT No, kind, quest, anser, substr(anser, 1, 60) FROM tbl1"
               : "SELECT No, kind, quest, anser, NULL FROM tbl1";
}

// A record read by searchedColumnsOf, with only what `fields` asks for.
QaRecord searchedRecordAt(const Statement &st, Database::Fields fields)
{
    QaRecord record{st.integer(0), st.text(1), {}, {}};
    if (fields != Database::Fields::KindOnly)
        record.quest = st.text(2);
    if (fields == Database::Fields::All)
        record.anser = st.text(3);
    else if (fields == Database::Fields::AnswerHead)
        record.anser = st.text(4);
    return record;
}

} // namespace

bool Database::create(bool replace, QString *error, const QList<QaRecord> *records) const
{
    const QFileInfo target(m_path);
    if (m_path.isEmpty()) {
        setError(error, Texts::Reason::noFileName());
        return false;
    }
    if (target.isDir()) {
        setError(error, Texts::Reason::sameNameFolder());
        return false;
    }
    if (!target.absoluteDir().exists()) {
        setError(error, Texts::Reason::folderMissing());
        return false;
    }
    if (target.exists() && !replace) {
        setError(error, Texts::Reason::sameNameFile());
        return false;
    }

    // Build the new file beside the target and move it into place only when
    // it is complete, so a failure never costs the file that was there.
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.wazuna-XXXXXX.tmp"));
    if (!temp.open()) {
        const int code = errno;
        setError(error, Texts::Reason::cannotWriteFolder() +
                            QStringLiteral("（%1）").arg(code ? Texts::Reason::ofErrno(code)
                                                              : temp.errorString()));
        return false;
    }
    temp.close();
    {
        Connection c;
        if (!c.open(temp.fileName(), WriteFlags, error))
            return false;
        const QByteArray schema = "PRAGMA page_size = 16384;"
                                  "PRAGMA application_id = " +
                                  QByteArray::number(ApplicationId) +
                                  ";"
                                  "PRAGMA user_version = " +
                                  QByteArray::number(SchemaVersion) +
                                  ";"
                                  "BEGIN;"
                                  "CREATE TABLE tbl1 ("
                                  " No INTEGER PRIMARY KEY AUTOINCREMENT,"
                                  " kind VARCHAR(100) CHECK (length(kind) <= 100),"
                                  " quest VARCHAR(250) CHECK (length(quest) <= 250),"
                                  " anser TEXT);"
                                  "CREATE INDEX idx1 ON tbl1 (quest);";
        if (!c.exec(schema.constData(), error))
            return false;
        if (records) {
            // AUTOINCREMENT remembers the highest number inserted, so the
            // next record added goes on after it.
            Statement st(c, "INSERT INTO tbl1 (No, kind, quest, anser) VALUES (?1, ?2, ?3, ?4)");
            if (!st.ok()) {
                setError(error, c.lastError());
                return false;
            }
            for (const QaRecord &r : *records) {
                st.bindInteger(1, r.no);
                st.bind(2, r.kind);
                st.bind(3, r.quest);
                st.bind(4, r.anser);
                if (st.step() != SQLITE_DONE) {
                    setError(error, c.lastError());
                    return false;
                }
                st.reset();
            }
        }
        if (!c.exec("COMMIT", error))
            return false;
    }
    ::chmod(QFile::encodeName(temp.fileName()).constData(), WholeFile::newFileMode());
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    // Without `replace`, a file that appeared meanwhile is not overwritten.
    const int code = replace ? (std::rename(from.constData(), to.constData()) == 0 ? 0 : errno)
                             : WholeFile::renameNew(from, to);
    if (code != 0) {
        setError(error, Texts::Reason::cannotCreate() +
                            QStringLiteral("（%1）").arg(Texts::Reason::ofErrno(code)));
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

bool Database::isSqliteFile(const QString &path)
{
    QByteArray head;
    return readHead(path, SqliteMagic.size(), head) == 0 && head == SqliteMagic;
}

std::optional<qint64> Database::count(QString *error) const
{
    Connection c;
    if (!openVerified(c, m_path, ReadFlags, error))
        return std::nullopt;
    Statement st(c, "SELECT count(*) FROM tbl1");
    if (!st.ok() || st.step() != SQLITE_ROW) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    return st.integer(0);
}

bool Database::scan(const std::function<bool(const QaRecord &)> &visit, QString *error,
                    Fields fields, const QString *kind, const TextSearch *search) const
{
    if (search && search->isEmpty())
        search = nullptr;
    Connection c;
    if (!openVerified(c, m_path, ReadFlags, error))
        return false;
    const QByteArray sql = QByteArray(search ? searchedColumnsOf(fields) : columnsOf(fields)) +
                           (kind ? " WHERE shown(kind) = ?1 ORDER BY No" : " ORDER BY No");
    Statement st(c, sql.constData());
    if (!st.ok()) {
        setError(error, c.lastError());
        return false;
    }
    if (kind)
        st.bind(1, *kind);
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        // Matched on the stored bytes: a record passed over is never decoded.
        if (search && !search->matches(st.utf8(1), st.utf8(2), st.utf8(3)))
            continue;
        if (!visit(search ? searchedRecordAt(st, fields) : recordAt(st)))
            return true;
    }
    if (rc != SQLITE_DONE) {
        setError(error, c.lastError());
        return false;
    }
    return true;
}

QString Database::text(QByteArrayView stored)
{
    // fromUtf8 drops a leading U+FEFF as a byte-order mark; it is text.
    if (stored.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                        QStringDecoder::Flag::Stateless)(stored);
    return QString::fromUtf8(stored);
}

bool Database::scanWithKinds(const std::function<void(const QStringList &)> &kinds,
                             const std::function<bool(const Stored &)> &visit, QString *error) const
{
    Connection c;
    if (!openVerified(c, m_path, ReadFlags, error) || !c.exec("BEGIN", error))
        return false;
    // A read transaction ends with the connection; nothing to commit.
    if (kinds) {
        Statement st(c, "SELECT DISTINCT coalesce(kind, '') FROM tbl1");
        if (!st.ok()) {
            setError(error, c.lastError());
            return false;
        }
        QStringList found;
        int rc;
        while ((rc = st.step()) == SQLITE_ROW)
            found.append(st.text(0));
        if (rc != SQLITE_DONE) {
            setError(error, c.lastError());
            return false;
        }
        kinds(found);
    }
    const QByteArray sql = QByteArray(columnsOf(Fields::All)) + " ORDER BY No";
    Statement st(c, sql.constData());
    if (!st.ok()) {
        setError(error, c.lastError());
        return false;
    }
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        if (!visit({st.integer(0), st.utf8(1), st.utf8(2), st.utf8(3)}))
            return true;
    }
    if (rc != SQLITE_DONE) {
        setError(error, c.lastError());
        return false;
    }
    return true;
}

namespace
{

// A record looked up by its question through idx1, then compared by its
// stamp: a file of a thousand rows costs a thousand lookups, whatever the
// table holds. Only records numbered up to `last` count, so that those an
// addAll stores (AUTOINCREMENT numbers them above) are not found.
class HeldQuery
{
public:
    HeldQuery(const Connection &c, qint64 last)
        : m_c(c), m_st(c, "SELECT 1 FROM tbl1 WHERE quest = ?1 AND No <= ?2"
                          " AND stamp(kind, quest, anser) = ?3 LIMIT 1"),
          m_last(last)
    {
    }
    bool ok() const { return m_st.ok(); }

    std::optional<bool> operator()(const QaRecord &record, QString *error)
    {
        m_st.reset();
        m_st.bind(1, record.quest);
        m_st.bindInteger(2, m_last);
        m_st.bindBytes(3, Database::stampOf(record));
        const int rc = m_st.step();
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            return rc == SQLITE_ROW;
        setError(error, m_c.lastError());
        return std::nullopt;
    }

private:
    const Connection &m_c;
    Statement m_st;
    const qint64 m_last;
};

} // namespace

bool Database::lookUp(const std::function<void(const Holds &)> &look, QString *error) const
{
    Connection c;
    if (!openVerified(c, m_path, ReadFlags, error) || !c.exec("BEGIN", error))
        return false;
    // A read transaction ends with the connection; nothing to commit.
    HeldQuery query(c, std::numeric_limits<qint64>::max());
    if (!query.ok()) {
        setError(error, c.lastError());
        return false;
    }
    bool failed = false;
    look([&](const QaRecord &record) -> std::optional<bool> {
        if (failed)
            return std::nullopt;
        const std::optional<bool> held = query(record, error);
        failed = !held;
        return held;
    });
    return !failed;
}

std::optional<qint64> Database::add(const QaRecord &record, QString *error) const
{
    Connection c;
    if (!openVerified(c, m_path, WriteFlags, error))
        return std::nullopt;
    Statement st(c, "INSERT INTO tbl1 (kind, quest, anser) VALUES (?1, ?2, ?3)");
    if (!st.ok()) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    st.bind(1, record.kind);
    st.bind(2, record.quest);
    st.bind(3, record.anser);
    if (st.step() != SQLITE_DONE) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(c.handle());
}

std::optional<qint64> Database::addAll(const std::function<bool(const Store &)> &produce,
                                       QString *error, QList<qint64> *numbers) const
{
    if (numbers)
        numbers->clear();
    Connection c;
    if (!openVerified(c, m_path, WriteFlags, error) || !c.exec("BEGIN IMMEDIATE", error))
        return std::nullopt;
    // Without a COMMIT the transaction is rolled back when the connection
    // closes.
    Statement st(c, "INSERT INTO tbl1 (kind, quest, anser) VALUES (?1, ?2, ?3)");
    Statement last(c, "SELECT coalesce(max(No), 0) FROM tbl1");
    if (!st.ok() || !last.ok() || last.step() != SQLITE_ROW) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    HeldQuery query(c, last.integer(0));
    last.reset();
    if (!query.ok()) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    qint64 stored = 0;
    bool failed = false;
    Store store;
    store.add = [&](const QaRecord &record) {
        if (failed)
            return false;
        st.bind(1, record.kind);
        st.bind(2, record.quest);
        st.bind(3, record.anser);
        if (st.step() != SQLITE_DONE) {
            setError(error, c.lastError());
            failed = true;
            return false;
        }
        st.reset();
        ++stored;
        if (numbers)
            numbers->append(sqlite3_last_insert_rowid(c.handle()));
        return true;
    };
    store.held = [&](const QaRecord &record) -> std::optional<bool> {
        if (failed)
            return std::nullopt;
        const std::optional<bool> held = query(record, error);
        failed = !held;
        return held;
    };
    const bool wanted = produce(store);
    if (!wanted || failed) {
        if (numbers)
            numbers->clear();
        return failed ? std::nullopt : std::optional<qint64>(0);
    }
    if (!c.exec("COMMIT", error)) {
        if (numbers)
            numbers->clear();
        return std::nullopt;
    }
    return stored;
}

namespace
{

// Runs one changing statement; how many records it changed.
template <class Bind>
std::optional<bool> change(const QString &path, const char *sql, const Bind &bind, QString *error)
{
    Connection c;
    if (!openVerified(c, path, WriteFlags, error))
        return std::nullopt;
    Statement st(c, sql);
    if (!st.ok()) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    bind(st);
    if (st.step() != SQLITE_DONE) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    return sqlite3_changes(c.handle()) > 0;
}

} // namespace

std::optional<bool> Database::removeFirstByQuestion(const QString &quest, QString *error) const
{
    const auto bind = [&quest](Statement &st) { st.bind(1, quest); };
    // By the index first; a question stored as another program stores it
    // only then, by what the list shows.
    const std::optional<bool> removed = change(
        m_path,
        "DELETE FROM tbl1 WHERE No = (SELECT No FROM tbl1 WHERE quest = ?1 ORDER BY No LIMIT 1)",
        bind, error);
    if (!removed || *removed)
        return removed;
    return change(m_path,
                  "DELETE FROM tbl1 WHERE No = "
                  "(SELECT No FROM tbl1 WHERE shown(quest) = ?1 ORDER BY No LIMIT 1)",
                  bind, error);
}

std::optional<bool> Database::removeByNo(qint64 no, const QString &quest, QString *error,
                                         const QByteArray *stamp) const
{
    return change(
        m_path,
        stamp ? "DELETE FROM tbl1 WHERE No = ?1 AND shown(quest) = ?2"
                " AND stamp(kind, quest, anser) = ?3"
              : "DELETE FROM tbl1 WHERE No = ?1 AND shown(quest) = ?2",
        [no, &quest, stamp](Statement &st) {
            st.bindInteger(1, no);
            st.bind(2, quest);
            if (stamp)
                st.bindBytes(3, *stamp);
        },
        error);
}

std::optional<bool> Database::update(const QaRecord &record, QString *error,
                                     const QByteArray *stamp) const
{
    return change(
        m_path,
        stamp ? "UPDATE tbl1 SET kind = ?1, quest = ?2, anser = ?3"
                " WHERE No = ?4 AND stamp(kind, quest, anser) = ?5"
              : "UPDATE tbl1 SET kind = ?1, quest = ?2, anser = ?3 WHERE No = ?4",
        [&record, stamp](Statement &st) {
            st.bind(1, record.kind);
            st.bind(2, record.quest);
            st.bind(3, record.anser);
            st.bindInteger(4, record.no);
            if (stamp)
                st.bindBytes(5, *stamp);
        },
        error);
}

namespace
{

// The first record a one-parameter query gives, into `found`, and its
// stamp into `stamp` when asked. `where` follows the record's columns.
template <class Bind>
bool findFirst(const QString &path, const char *where, const Bind &bind,
               std::optional<QaRecord> &found, QString *error, QByteArray *stamp)
{
    found.reset();
    Connection c;
    if (!openVerified(c, path, ReadFlags, error))
        return false;
    const QByteArray sql =
        QByteArray("SELECT No, kind, quest, anser, stamp(kind, quest, anser) FROM tbl1 ") + where;
    Statement st(c, sql.constData());
    if (!st.ok()) {
        setError(error, c.lastError());
        return false;
    }
    bind(st);
    const int rc = st.step();
    if (rc == SQLITE_ROW) {
        found = recordAt(st);
        if (stamp)
            *stamp = st.bytes(4);
        return true;
    }
    if (rc != SQLITE_DONE) {
        setError(error, c.lastError());
        return false;
    }
    return true;
}

} // namespace

bool Database::findFirstByQuestion(const QString &quest, std::optional<QaRecord> &found,
                                   QString *error, QByteArray *stamp) const
{
    const auto bind = [&quest](Statement &st) { st.bind(1, quest); };
    // By the index first, then by what the list shows, as above.
    if (!findFirst(m_path, "WHERE quest = ?1 ORDER BY No LIMIT 1", bind, found, error, stamp))
        return false;
    return found || findFirst(m_path, "WHERE shown(quest) = ?1 ORDER BY No LIMIT 1", bind, found,
                              error, stamp);
}

bool Database::findByNo(qint64 no, std::optional<QaRecord> &found, QString *error,
                        QByteArray *stamp) const
{
    return findFirst(
        m_path, "WHERE No = ?1", [no](Statement &st) { st.bindInteger(1, no); }, found, error,
        stamp);
}

std::optional<QString> Database::tooLong(const QString &kind, const QString &quest)
{
    if (kind.size() > KindMax)
        return Texts::kindTooLong(kind.size());
    if (quest.size() > QuestMax)
        return Texts::questTooLong(quest.size());
    return std::nullopt;
}

void Database::setBusyTimeout(int milliseconds)
{
    busyTimeout = milliseconds;
}

QByteArray Database::stampOf(const QaRecord &record)
{
    QByteArray stamp;
    for (const QString *text : {&record.kind, &record.quest, &record.anser}) {
        const QByteArray utf8 = text->toUtf8();
        stamp.append(char('0' + SQLITE_TEXT))
            .append(QByteArray::number(utf8.size()))
            .append(':')
            .append(utf8);
    }
    return stamp;
}

namespace
{

// The values a stamp holds, bound as they were stored; false when the
// stamp is not one of three values.
bool bindStamp(sqlite3_stmt *st, int first, const QByteArray &stamp)
{
    const char *p = stamp.constData(), *const end = p + stamp.size();
    for (int column = first; column < first + 3; ++column) {
        if (p == end)
            return false;
        const int type = *p++ - '0';
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            if (end - p < 8)
                return false;
            if (type == SQLITE_INTEGER) {
                sqlite3_int64 n;
                std::memcpy(&n, p, sizeof n);
                sqlite3_bind_int64(st, column, n);
            } else {
                double d;
                std::memcpy(&d, p, sizeof d);
                sqlite3_bind_double(st, column, d);
            }
            p += 8;
        } else if (type == SQLITE_NULL) {
            sqlite3_bind_null(st, column);
        } else if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            const char *colon = static_cast<const char *>(std::memchr(p, ':', size_t(end - p)));
            bool ok = false;
            const qint64 size = colon ? QByteArrayView(p, colon - p).toLongLong(&ok) : -1;
            if (!ok || size < 0 || size > end - colon - 1)
                return false;
            p = colon + 1;
            if (type == SQLITE_TEXT)
                sqlite3_bind_text(st, column, p, int(size), SQLITE_TRANSIENT);
            else
                sqlite3_bind_blob(st, column, p, int(size), SQLITE_TRANSIENT);
            p += size;
        } else {
            return false;
        }
    }
    return p == end;
}

} // namespace

std::optional<bool> Database::exchange(const QList<Exchange> &changes, QString *error,
                                       qint64 *differs) const
{
    Connection c;
    if (!openVerified(c, m_path, WriteFlags, error) || !c.exec("BEGIN IMMEDIATE", error))
        return std::nullopt;
    // Without a COMMIT the transaction is rolled back when the connection
    // closes.
    Statement read(c, "SELECT stamp(kind, quest, anser) FROM tbl1 WHERE No = ?1");
    Statement remove(c, "DELETE FROM tbl1 WHERE No = ?1");
    Statement insert(c, "INSERT INTO tbl1 (No, kind, quest, anser) VALUES (?1, ?2, ?3, ?4)");
    Statement update(c, "UPDATE tbl1 SET kind = ?2, quest = ?3, anser = ?4 WHERE No = ?1");
    if (!read.ok() || !remove.ok() || !insert.ok() || !update.ok()) {
        setError(error, c.lastError());
        return std::nullopt;
    }
    for (const Exchange &e : changes) {
        read.reset();
        read.bindInteger(1, e.no);
        const int rc = read.step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            setError(error, c.lastError());
            return std::nullopt;
        }
        if (rc == SQLITE_DONE ? !e.from.isEmpty() : read.bytes(0) != e.from) {
            if (differs)
                *differs = e.no;
            return false;
        }
        Statement &st = e.to.isEmpty() ? remove : e.from.isEmpty() ? insert : update;
        st.reset();
        st.bindInteger(1, e.no);
        if (!e.to.isEmpty() && !bindStamp(st.handle(), 2, e.to)) {
            setError(error, Texts::Reason::notOurs());
            return std::nullopt;
        }
        if (st.step() != SQLITE_DONE) {
            setError(error, c.lastError());
            return std::nullopt;
        }
    }
    if (!c.exec("COMMIT", error))
        return std::nullopt;
    return true;
}

QString Database::reason(int sqliteCode, const QString &sqliteText, int systemErrno)
{
    if (sqliteCode == SQLITE_READONLY_ROLLBACK)
        return Texts::Reason::journalNotRolledBack();
    if (sqliteCode == SQLITE_READONLY_DIRECTORY)
        return Texts::Reason::cannotWriteFolder();
    switch (sqliteCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Texts::Reason::locked();
    case SQLITE_CORRUPT:
        return Texts::Reason::damaged();
    case SQLITE_READONLY:
        return Texts::Reason::readOnly();
    case SQLITE_FULL:
        return Texts::Reason::diskFull();
    case SQLITE_NOTADB:
        return Texts::Reason::notOurs();
    case SQLITE_IOERR:
        return Texts::Reason::ofErrno(systemErrno ? systemErrno : EIO);
    case SQLITE_CANTOPEN:
        if (systemErrno)
            return Texts::Reason::cannotOpen() +
                   QStringLiteral("（%1）").arg(Texts::Reason::ofErrno(systemErrno));
        return Texts::Reason::cannotOpen();
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return Texts::Reason::cannotOpen();
    default:
        return sqliteText;
    }
}
