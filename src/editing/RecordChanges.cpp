#include "RecordChanges.h"

#include "platform/Dialogs.h"

#include <QUndoCommand>

#include <algorithm>

namespace
{

// What the records were and became. The stack only keeps the steps and
// their order: the records are changed by RecordChanges, which moves the
// stack on only once the change is done.
class Step : public QUndoCommand
{
public:
    Step(const QString &text, QList<Database::Exchange> exchanges)
        : QUndoCommand(text), exchanges(std::move(exchanges))
    {
    }
    void undo() override {}
    void redo() override {}

    const QList<Database::Exchange> exchanges;
};

// A question as a step names it: its beginning.
QString shortQuestion(const QString &quest)
{
    constexpr qsizetype Shown = 20;
    return quest.size() > Shown ? quest.left(Shown) + u'…' : quest;
}

} // namespace

RecordChanges::RecordChanges(const Session &session, Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_session(session), m_dialogs(dialogs)
{
}

std::optional<qint64> RecordChanges::add(const QaRecord &record, QString *error)
{
    if (beforeChange)
        beforeChange(m_session.databasePath, false);
    const std::optional<qint64> no = Database(m_session.databasePath).add(record, error);
    if (no) {
        push(QStringLiteral("データの追加「%1」").arg(shortQuestion(record.quest)),
             {{*no, {}, Database::stampOf(record)}});
        emit recordsChanged();
    }
    return no;
}

std::optional<bool> RecordChanges::update(const QaRecord &record, const QByteArray &stamp,
                                          QString *error)
{
    if (beforeChange)
        beforeChange(m_session.databasePath, false);
    const std::optional<bool> changed =
        Database(m_session.databasePath).update(record, error, &stamp);
    if (changed && *changed) {
        push(QStringLiteral("データの変更"), {{record.no, stamp, Database::stampOf(record)}});
        emit recordsChanged();
    }
    return changed;
}

std::optional<bool> RecordChanges::removeByNo(qint64 no, const QString &quest,
                                              const QByteArray &stamp, QString *error)
{
    if (beforeChange)
        beforeChange(m_session.databasePath, false);
    const std::optional<bool> removed =
        Database(m_session.databasePath).removeByNo(no, quest, error, &stamp);
    if (removed && *removed) {
        push(QStringLiteral("データの削除"), {{no, stamp, {}}});
        emit recordsChanged();
    }
    return removed;
}

std::optional<bool> RecordChanges::removeFirstByQuestion(const QString &quest, QString *error)
{
    const Database db(m_session.databasePath);
    // Found, then deleted while it is still as found: what the step keeps
    // is what was deleted. Another program changing it in between is
    // rare; it is looked up again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::optional<QaRecord> found;
        QByteArray stamp;
        if (!db.findFirstByQuestion(quest, found, error, &stamp))
            return std::nullopt;
        if (!found)
            return false;
        const std::optional<bool> removed = removeByNo(found->no, quest, stamp, error);
        if (!removed || *removed)
            return removed;
    }
    return false;
}

void RecordChanges::beforeImport()
{
    if (beforeChange)
        beforeChange(m_session.databasePath, true);
}

void RecordChanges::imported(const QList<qint64> &numbers, const QList<QByteArray> &stamps)
{
    const qsizetype n = std::min(numbers.size(), stamps.size());
    if (n == 0)
        return;
    QList<Database::Exchange> exchanges;
    exchanges.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        exchanges.append({numbers[i], {}, stamps[i]});
    push(QStringLiteral("CSVの読み込み（%1件）").arg(n), std::move(exchanges));
    emit recordsChanged();
}

void RecordChanges::importedWithoutStep()
{
    m_stack.clear();
    emit recordsChanged();
}

QString RecordChanges::undoText() const
{
    return m_stack.canUndo() ? QStringLiteral("元に戻す: ") + m_stack.undoText()
                             : QStringLiteral("元に戻す");
}

QString RecordChanges::redoText() const
{
    return m_stack.canRedo() ? QStringLiteral("やり直し: ") + m_stack.redoText()
                             : QStringLiteral("やり直し");
}

void RecordChanges::undo()
{
    if (m_stack.canUndo() && apply(true))
        m_stack.undo();
}

void RecordChanges::redo()
{
    if (m_stack.canRedo() && apply(false))
        m_stack.redo();
}

void RecordChanges::forget()
{
    m_stack.clear();
}

bool RecordChanges::apply(bool back)
{
    const auto *step =
        static_cast<const Step *>(m_stack.command(m_stack.index() - (back ? 1 : 0)));
    QList<Database::Exchange> exchanges;
    if (back) {
        // Backwards, each record from what the step made it to what it was.
        exchanges.reserve(step->exchanges.size());
        for (auto e = step->exchanges.crbegin(); e != step->exchanges.crend(); ++e)
            exchanges.append({e->no, e->to, e->from});
    }
    QString error;
    qint64 differs = 0;
    const std::optional<bool> done = Database(m_session.databasePath)
                                         .exchange(back ? exchanges : step->exchanges, &error,
                                                   &differs);
    const QString what = back ? QStringLiteral("元に戻しませんでした")
                              : QStringLiteral("やり直しませんでした");
    if (!done) {
        m_dialogs.message(what + u'\n' + m_session.databasePath + u'\n' + error);
        return false;
    }
    if (!*done) {
        m_dialogs.message(
            QStringLiteral("No.%1 のデータがこの操作の後にほかのプログラムで変更されたため、")
                .arg(differs) +
            what);
        return false;
    }
    emit recordsChanged();
    return true;
}

void RecordChanges::push(const QString &text, QList<Database::Exchange> exchanges)
{
    m_stack.push(new Step(text, std::move(exchanges)));
}
