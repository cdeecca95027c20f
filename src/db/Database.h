#pragma once

#include "QaRecord.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class TextSearch;

// The engine: one SQLite file per collection, table tbl1 and index idx1.
// Every call opens the file, works and closes it before it returns. Reads
// open it for writing too when it may be written, so that a journal left by
// a writer that was killed is rolled back rather than hiding the records;
// otherwise they read it read-only. Nothing but that rollback is written by
// a read. A file is one of ours only when it carries our mark and its tbl1
// is a table with our four columns; anything else is refused before a
// record is read, and a file whose header lacks our mark before SQLite
// opens it, so that another program's journal is never rolled back.
// Failures come back as a false/empty result with a reason in *error.
class Database
{
public:
    // Marks a file as ours ("WAZU") and gives its layout's version.
    static constexpr int ApplicationId = 0x57415A55;
    static constexpr int SchemaVersion = 1;
    static constexpr int KindMax = 100;  // UTF-16 code units
    static constexpr int QuestMax = 250; // UTF-16 code units
    // What the user is told when a category or question is longer than its
    // column holds; nothing when both fit.
    static std::optional<QString> tooLong(const QString &kind, const QString &quest);

    // Whether `path` is a regular file that SQLite would take for a database,
    // ours or another program's, by its first bytes.
    static bool isSqliteFile(const QString &path);

    explicit Database(QString path) : m_path(std::move(path)) {}
    const QString &path() const { return m_path; }

    // A new, empty database at the path. A file already there is replaced only
    // when `replace` is set, and only once the new file is complete.
    // With `records`, the new file holds them, each with its own number, and
    // numbering goes on after the highest.
    bool create(bool replace, QString *error = nullptr,
                const QList<QaRecord> *records = nullptr) const;

    std::optional<qint64> count(QString *error = nullptr) const;

    // What a reading fills in; the fields left out read as empty text.
    // Listings that show no answers need not read them, and one that shows
    // only a line's beginning needs no more than AnswerHead characters.
    enum class Fields { All, WithoutAnswer, AnswerHead, KindOnly };
    static constexpr int AnswerHead = 60;

    // Every record, in the order stored, or only those whose category is
    // exactly `kind`. `visit` returns false to stop early. With a `search`
    // that is not empty, only the records it matches are visited; it looks
    // at all three texts whatever `fields` asks for.
    bool scan(const std::function<bool(const QaRecord &)> &visit, QString *error = nullptr,
              Fields fields = Fields::All, const QString *kind = nullptr,
              const TextSearch *search = nullptr) const;

    // A record as the engine holds it, in UTF-8 (a NULL as empty); the
    // views last only while it is visited.
    struct Stored {
        qint64 no;
        QByteArrayView kind;
        QByteArrayView quest;
        QByteArrayView anser;
    };
    // Stored text as every reading gives it.
    static QString text(QByteArrayView stored);

    // Every category (a NULL as empty text) each once, then every record in
    // the order stored, from one state of the table: whatever another
    // program adds meanwhile is in both or in neither. Without `kinds`,
    // the records alone.
    bool scanWithKinds(const std::function<void(const QStringList &)> &kinds,
                       const std::function<bool(const Stored &)> &visit,
                       QString *error = nullptr) const;

    // Stores a record and gives its new number.
    std::optional<qint64> add(const QaRecord &record, QString *error = nullptr) const;

    // Whether the table holds a record exactly as add and addAll store it:
    // its three texts byte for byte (see stampOf). Nothing on failure.
    using Holds = std::function<std::optional<bool>(const QaRecord &)>;
    // Hands `look` a Holds that answers from one state of the table for as
    // long as `look` runs. False when the file could not be read or a
    // lookup failed.
    bool lookUp(const std::function<void(const Holds &)> &look, QString *error = nullptr) const;

    // What addAll hands to its `produce`: store(record) stores a record and
    // returns false once storing failed (stop then); store.held(record)
    // tells whether the table held that record before the transaction
    // began, as Holds does.
    struct Store {
        std::function<bool(const QaRecord &)> add;
        Holds held;
        bool operator()(const QaRecord &record) const { return add(record); }
    };
    // Stores, in one transaction and in order, every record `produce` hands
    // to its `store`. Records come one at a time, so a large file need not
    // be held whole. Nothing is stored unless `produce` returns true and
    // every record went in; gives how many were stored (0 when `produce`
    // gave up), and with `numbers` the number each one got, in order.
    std::optional<qint64> addAll(const std::function<bool(const Store &store)> &produce,
                                 QString *error = nullptr, QList<qint64> *numbers = nullptr) const;

    // The first record stored with exactly this question; `found` is left
    // empty when there is none. False only on failure. With `stamp`, the
    // record's stamp (see update) read with it.
    bool findFirstByQuestion(const QString &quest, std::optional<QaRecord> &found,
                             QString *error = nullptr, QByteArray *stamp = nullptr) const;
    // The record numbered `no`, likewise.
    bool findByNo(qint64 no, std::optional<QaRecord> &found, QString *error = nullptr,
                  QByteArray *stamp = nullptr) const;

    // Deletes the first record stored with exactly this question. True when
    // one was deleted, false when there was none; nothing on failure.
    std::optional<bool> removeFirstByQuestion(const QString &quest, QString *error = nullptr) const;
    // Deletes the record numbered `no` while it still has this question
    // and, given a `stamp` (see update), while it is still exactly so.
    std::optional<bool> removeByNo(qint64 no, const QString &quest, QString *error = nullptr,
                                   const QByteArray *stamp = nullptr) const;
    // Writes kind, quest and anser into the record numbered record.no. True
    // when it was changed, false when there is no such record. With a
    // `stamp` read before, only while the record still has it: the type and
    // bytes of its three texts exactly as stored, so a change by another
    // program is seen even where it reads as the same text. Compared and
    // written in one statement, so nothing can come in between.
    std::optional<bool> update(const QaRecord &record, QString *error = nullptr,
                               const QByteArray *stamp = nullptr) const;

    // The stamp (see update) of a record as add, addAll and update store
    // it: its three texts as UTF-8 text.
    static QByteArray stampOf(const QaRecord &record);

    // A record taken from one state to another, each given by its stamp:
    // empty when there is no record of that number.
    struct Exchange {
        qint64 no;
        QByteArray from, to;
    };
    // Takes every record from `from` to `to`, its number kept and its
    // texts exactly as the stamp has them, in one transaction, and only
    // when every record is still as `from` says: otherwise nothing is
    // changed, and `*differs` is the number of the first record that is
    // not (true is then false). Nothing on failure.
    std::optional<bool> exchange(const QList<Exchange> &changes, QString *error = nullptr,
                                 qint64 *differs = nullptr) const;

    // The user's words for an SQLite result code (primary or extended) and
    // the system's errno behind it, if any; codes without words of our own
    // keep SQLite's text.
    static QString reason(int sqliteCode, const QString &sqliteText, int systemErrno = 0);

    // How long an operation waits for another program's lock before it
    // reports the file as in use: 5 s unless a test wants less.
    static void setBusyTimeout(int milliseconds);

private:
    QString m_path;
};
