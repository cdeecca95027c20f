#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <variant>

// Direct access to a database file, bypassing the engine, so a test can
// check what landed on disk and make files the engine would never make.
class RawSqlite
{
public:
    explicit RawSqlite(const QString &path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) !=
            SQLITE_OK)
            QTest::qFail("cannot open the database file", __FILE__, __LINE__);
    }
    RawSqlite(const RawSqlite &) = delete;
    RawSqlite &operator=(const RawSqlite &) = delete;
    ~RawSqlite() { sqlite3_close_v2(m_db); }

    bool exec(const char *sql)
    {
        char *message = nullptr;
        const bool ok = sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK;
        if (!ok)
            qWarning("sqlite: %s", message);
        sqlite3_free(message);
        return ok;
    }

    // Column `column` of every row of the query, as text.
    QStringList column(const char *sql, int column = 0)
    {
        QStringList values;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
            return {QStringLiteral("<error>")};
        while (sqlite3_step(st) == SQLITE_ROW)
            values.append(
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, column))));
        sqlite3_finalize(st);
        return values;
    }

    qint64 integer(const char *sql)
    {
        const QStringList values = column(sql);
        return values.size() == 1 ? values.first().toLongLong() : -1;
    }

    // Any value SQLite can hold, bound as it is: text as its bytes, valid
    // UTF-8 or not, NULs and all.
    struct Blob {
        QByteArray bytes;
    };
    using Value = std::variant<std::nullptr_t, qint64, double, QByteArray, Blob>;

    // One statement with ?1, ?2, ... bound to `values`, run to its end.
    bool execWith(const char *sql, const QList<Value> &values)
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
            qWarning("sqlite: %s", sqlite3_errmsg(m_db));
            return false;
        }
        for (int i = 0; i < values.size(); ++i) {
            const Value &v = values[i];
            if (const auto *n = std::get_if<qint64>(&v))
                sqlite3_bind_int64(st, i + 1, *n);
            else if (const auto *d = std::get_if<double>(&v))
                sqlite3_bind_double(st, i + 1, *d);
            else if (const auto *t = std::get_if<QByteArray>(&v))
                sqlite3_bind_text(st, i + 1, t->constData(), int(t->size()), SQLITE_TRANSIENT);
            else if (const auto *b = std::get_if<Blob>(&v))
                sqlite3_bind_blob(st, i + 1, b->bytes.constData(), int(b->bytes.size()),
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(st, i + 1);
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            qWarning("sqlite: %s", sqlite3_errmsg(m_db));
        sqlite3_finalize(st);
        return rc == SQLITE_DONE;
    }

    // `n` records in one transaction: fast enough for tens of thousands.
    bool insertRecords(int n)
    {
        if (!exec("BEGIN"))
            return false;
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(m_db, "INSERT INTO tbl1 (kind, quest, anser) VALUES (?1, ?2, ?3)",
                               -1, &st, nullptr) != SQLITE_OK)
            return false;
        bool ok = true;
        for (int i = 0; ok && i < n; ++i) {
            const QByteArray quest = "q" + QByteArray::number(i);
            sqlite3_bind_text(st, 1, "sub100,a", -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, quest.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, "a", -1, SQLITE_STATIC);
            ok = sqlite3_step(st) == SQLITE_DONE;
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        return exec(ok ? "COMMIT" : "ROLLBACK") && ok;
    }

    // Another program that is killed while it writes: a child process
    // deletes every record and stores 3,000 others, with a cache too small
    // to hold them so that changed pages go into the file and the old ones
    // into the journal, and is killed before COMMIT. True when it left the
    // file changed and the journal behind; the records committed before are
    // then only to be had by rolling the journal back.
    static bool killWriterMidTransaction(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        const QByteArray before = contents(path);
        const pid_t pid = ::fork();
        if (pid < 0)
            return false;
        if (pid == 0) {
            sqlite3 *db = nullptr;
            if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
                    SQLITE_OK &&
                sqlite3_exec(db,
                             "PRAGMA cache_size = 2; BEGIN; DELETE FROM tbl1;"
                             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n"
                             " WHERE i < 3000)"
                             " INSERT INTO tbl1 (kind, quest, anser)"
                             " SELECT 'new,x', 'new' || i, printf('%.300c', 'x') FROM n",
                             nullptr, nullptr, nullptr) == SQLITE_OK)
                std::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFSIGNALED(status) ||
            WTERMSIG(status) != SIGKILL)
            return false;
        return contents(path) != before && QFile(path + QStringLiteral("-journal")).size() > 0;
    }

private:
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    sqlite3 *m_db = nullptr;
};
