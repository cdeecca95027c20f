#include "Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace
{

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString notOurs()
{
    return QStringLiteral("このツールのデータベースではありません");
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

    bool open(const QString &path, int flags, QString *error)
    {
        const QFileInfo info(path);
        if (path.isEmpty()) {
            setError(error, QStringLiteral("ファイル名がありません"));
            return false;
        }
        if (info.isDir()) {
            setError(error, QStringLiteral("フォルダーです"));
            return false;
        }
        if (!(flags & SQLITE_OPEN_CREATE) && !info.exists()) {
            setError(error, QStringLiteral("ファイルがありません"));
            return false;
        }
        const QByteArray name = QFile::encodeName(path);
        if (sqlite3_open_v2(name.constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            setError(error, lastError());
            return false;
        }
        sqlite3_busy_timeout(m_db, 5000);
        return true;
    }

    // The file must carry our mark and a layout this version knows.
    bool verify(QString *error)
    {
        qint64 appId = 0;
        qint64 version = 0;
        if (!pragma("application_id", appId, error) || !pragma("user_version", version, error))
            return false;
        if (appId != Database::ApplicationId) {
            setError(error, notOurs());
            return false;
        }
        if (version < 1 || version > Database::SchemaVersion) {
            setError(error, QStringLiteral("このツールの新しい版で作られたデータベースです"));
            return false;
        }
        return true;
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
            return QStringLiteral("データベースを開けません");
        const int code = sqlite3_errcode(m_db);
        if (code == SQLITE_NOTADB)
            return notOurs();
        if (code == SQLITE_CANTOPEN || code == SQLITE_PERM || code == SQLITE_READONLY)
            return QStringLiteral("ファイルを開けません（%1）")
                .arg(QString::fromUtf8(sqlite3_errmsg(m_db)));
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    }

private:
    bool pragma(const char *name, qint64 &value, QString *error);
    sqlite3 *m_db = nullptr;
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

    void bind(int index, const QString &text)
    {
        sqlite3_bind_text16(m_stmt, index, text.utf16(), int(text.size() * sizeof(char16_t)),
                            SQLITE_TRANSIENT);
    }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(m_stmt); }

    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

    // A NULL reads as empty text.
    QString text(int column) const
    {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        if (!data)
            return {};
        return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
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

// A connection is used by one thread only.
constexpr int ReadFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
constexpr int WriteFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

bool openVerified(Connection &c, const QString &path, int flags, QString *error)
{
    return c.open(path, flags, error) && c.verify(error);
}

const char *const SelectAll = "SELECT No, kind, quest, anser FROM tbl1 ORDER BY No";

QaRecord recordAt(const Statement &st)
{
    return {st.integer(0), st.text(1), st.text(2), st.text(3)};
}

} // namespace

bool Database::create(bool replace, QString *error) const
{
    const QFileInfo target(m_path);
    if (m_path.isEmpty()) {
        setError(error, QStringLiteral("ファイル名がありません"));
        return false;
    }
    if (target.isDir()) {
        setError(error, QStringLiteral("同じ名前のフォルダーがあります"));
        return false;
    }
    if (!target.absoluteDir().exists()) {
        setError(error, QStringLiteral("フォルダーがありません"));
        return false;
    }
    if (target.exists() && !replace) {
        setError(error, QStringLiteral("同じ名前のファイルがあります"));
        return false;
    }

    // Build the new file beside the target and move it into place only when
    // it is complete, so a failure never costs the file that was there.
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.wazuna-XXXXXX.tmp"));
    if (!temp.open()) {
        setError(error, QStringLiteral("フォルダーに書き込めません（%1）").arg(temp.errorString()));
        return false;
    }
    temp.close();
    {
        Connection c;
        if (!c.open(temp.fileName(), WriteFlags, error))
            return false;
        const QByteArray schema = "PRAGMA application_id = " + QByteArray::number(ApplicationId) +
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
                                  "CREATE INDEX idx1 ON tbl1 (quest);"
                                  "COMMIT;";
        if (!c.exec(schema.constData(), error))
            return false;
    }
    temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        setError(error, QStringLiteral("ファイルを作成できません（%1）")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    temp.setAutoRemove(false);
    return true;
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
                    Fields fields, const QString *kind) const
{
    Connection c;
    if (!openVerified(c, m_path, ReadFlags, error))
        return false;
    static const char *const queries[2][2] = {
        {SelectAll,
         "SELECT No, kind, quest, anser FROM tbl1 WHERE coalesce(kind, '') = ?1 ORDER BY No"},
        {"SELECT No, kind, quest, NULL FROM tbl1 ORDER BY No",
         "SELECT No, kind, quest, NULL FROM tbl1 WHERE coalesce(kind, '') = ?1 ORDER BY No"}};
    Statement st(c, queries[fields == Fields::All ? 0 : 1][kind ? 1 : 0]);
    if (!st.ok()) {
        setError(error, c.lastError());
        return false;
    }
    if (kind)
        st.bind(1, *kind);
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        if (!visit(recordAt(st)))
            return true;
    }
    if (rc != SQLITE_DONE) {
        setError(error, c.lastError());
        return false;
    }
    return true;
}

std::optional<QList<QaRecord>> Database::readAll(QString *error) const
{
    QList<QaRecord> records;
    if (!scan(
            [&records](const QaRecord &r) {
                records.append(r);
                return true;
            },
            error))
        return std::nullopt;
    return records;
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

bool Database::findFirstByQuestion(const QString &quest, std::optional<QaRecord> &found,
                                   QString *error) const
{
    found.reset();
    Connection c;
    if (!openVerified(c, m_path, ReadFlags, error))
        return false;
    Statement st(c, "SELECT No, kind, quest, anser FROM tbl1 WHERE quest = ?1 ORDER BY No LIMIT 1");
    if (!st.ok()) {
        setError(error, c.lastError());
        return false;
    }
    st.bind(1, quest);
    const int rc = st.step();
    if (rc == SQLITE_ROW) {
        found = recordAt(st);
        return true;
    }
    if (rc != SQLITE_DONE) {
        setError(error, c.lastError());
        return false;
    }
    return true;
}
