#pragma once

#include "db/Database.h"
#include "db/Session.h"

#include <QObject>
#include <QUndoStack>

#include <functional>
#include <optional>

class Dialogs;

// Every change of records the window makes goes through here: it is done,
// kept as a step that 元に戻す takes back and やり直し does again, and
// announced. A step holds each record's number and its exact bytes before
// and after, so that an undone delete brings back the same number (the same
// page name), and it is taken back only while every record is still as the
// step left it: what another program wrote since is never overwritten.
class RecordChanges : public QObject
{
    Q_OBJECT
public:
    RecordChanges(const Session &session, Dialogs &dialogs, QObject *parent = nullptr);

    QUndoStack *stack() { return &m_stack; }

    // Asked before a change the user makes (not before an undo or redo),
    // with the database it will change; `import` for a CSV import.
    std::function<void(const QString &database, bool import)> beforeChange;

    // As the engine's calls of the same names, on the current database.
    std::optional<qint64> add(const QaRecord &record, QString *error);
    // The record numbered record.no while it still has `stamp`.
    std::optional<bool> update(const QaRecord &record, const QByteArray &stamp, QString *error);
    std::optional<bool> removeByNo(qint64 no, const QString &quest, const QByteArray &stamp,
                                   QString *error);
    // The first record stored with this question: the one the engine's
    // removeFirstByQuestion would delete.
    std::optional<bool> removeFirstByQuestion(const QString &quest, QString *error);
    // A CSV import is about to add records / added these: each record's
    // number and stamp, as stored.
    void beforeImport();
    void imported(const QList<qint64> &numbers, const QList<QByteArray> &stamps);
    // An import too large to keep as a step: the steps before it could no
    // longer be taken back in order, and go.
    void importedWithoutStep();

    // Texts of the menu's actions: what 元に戻す / やり直し would do.
    QString undoText() const;
    QString redoText() const;

public slots:
    // Take the last step back / do the next one again; refused, with a
    // message naming the record, when a record is no longer as expected.
    void undo();
    void redo();
    // Another database became current: its steps are not this one's.
    void forget();

signals:
    // Records were added, changed or deleted through the window.
    void recordsChanged();

private:
    bool apply(bool back);
    void push(const QString &text, QList<Database::Exchange> exchanges);

    const Session &m_session;
    Dialogs &m_dialogs;
    QUndoStack m_stack;
};
