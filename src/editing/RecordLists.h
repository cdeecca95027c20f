#pragma once

#include "db/Database.h"
#include "db/Session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class Dialogs;
class ListBox;
class TextSearch;

// The routines that fill the window's lists from the current database. Each
// asks kensu first and tells the user when there is nothing to list; a list
// is changed only once its records have been read whole.
class RecordLists
{
public:
    RecordLists(Session &session, Dialogs &dialogs) : m_session(session), m_dialogs(dialogs) {}
    RecordLists(const RecordLists &) = delete;
    RecordLists &operator=(const RecordLists &) = delete;

    // Number of records of the current database, or 0 after telling the user
    // why there is nothing to count: no database set, no file, or the reason
    // it could not be read.
    int kensu();

    // Each distinct category once, in ascending order; the combo shows the
    // smallest, the list selects it.
    void dbdispk(QComboBox *combo);
    void dbdispl(ListBox *list);
    // Every question, in stored order, and the count with a leading blank.
    void dbdisps(QLabel *count, ListBox *list);
    // The record of the line selected in `list`, into three boxes; the
    // focus then goes to `next`. Gives the record shown, as stored. With
    // `numbers`, the list's parallel record numbers, the line stands for
    // its own record; without, for the first record stored with its
    // question. With `stamp`, the record's stamp as read with it.
    std::optional<QaRecord> dbdisp(ListBox *list, QLineEdit *kind, QLineEdit *quest,
                                   QPlainTextEdit *anser, QWidget *next,
                                   const ListBox *numbers = nullptr, QByteArray *stamp = nullptr);
    // A record into the three boxes, as dbdisp shows it.
    void show(const QaRecord &record, QLineEdit *kind, QLineEdit *quest, QPlainTextEdit *anser,
              QWidget *next);

    // Questions of all records / of one category into `target`, their record
    // numbers into the parallel `numbers` when there is one. With a search,
    // only the records it finds, and the count is theirs; none found is
    // said so (unless `quiet`) and leaves the lists empty.
    void hyouji(ListBox *target, QLabel *count, ListBox *numbers = nullptr,
                const TextSearch *search = nullptr, bool quiet = false);
    void hyoujisel(ListBox *target, QLabel *count, const QString &category,
                   ListBox *numbers = nullptr, const TextSearch *search = nullptr);
    // Summary lines of all records (cut to 60) / of one category (whole) into
    // `target`, their record numbers into the parallel `numbers`: a whole
    // line is read again by its number when the user asks for it.
    void hyoujiall(ListBox *target, QLabel *count, ListBox *numbers,
                   const TextSearch *search = nullptr);
    void hyoujisel2(ListBox *target, QLabel *count, const QString &category, ListBox *numbers,
                    const TextSearch *search = nullptr);
    // The whole summary line of the record numbered `no` (a line of the
    // numbers list above) that was listed as `shown`; nothing after telling
    // the user why, also when the record no longer reads as it was listed
    // (changed since, or another database made current).
    std::optional<QString> wholeLine(const QString &no, const QString &shown);

private:
    Database database() const { return Database(m_session.databasePath); }
    // kensu's count; 0 after saying there is no database or no file, nothing
    // after saying why it could not be read.
    std::optional<int> counted();
    // Whether there are records to list; a table read and found empty is
    // said so, a failed reading only by its reason.
    bool hasRecords(int &n);
    bool scan(const std::function<bool(const QaRecord &)> &visit, Database::Fields fields,
              const QString *kind = nullptr, const TextSearch *search = nullptr);
    // A search found nothing: the lists emptied, and said so unless `quiet`.
    void noneFound(ListBox *target, QLabel *count, ListBox *numbers, bool quiet = false);
    // The categories, sorted and each once; nothing after telling the user why.
    std::optional<QStringList> sortedKinds();
    void questions(ListBox *target, QLabel *count, const QString *category, ListBox *numbers,
                   const TextSearch *search, bool quiet = false);
    void summaries(ListBox *target, QLabel *count, const QString *category, ListBox *numbers,
                   const TextSearch *search);
    void cannotRead(const QString &reason);

    Session &m_session;
    Dialogs &m_dialogs;
};
