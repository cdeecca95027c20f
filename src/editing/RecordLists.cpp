#include "RecordLists.h"

#include "db/AnswerText.h"
#include "db/CategoryGroups.h"
#include "db/SummaryLine.h"
#include "db/TextSearch.h"
#include "db/Texts.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <limits>

namespace
{

QString kensuCount(int n)
{
    return u' ' + QString::number(n);
}

} // namespace

int RecordLists::kensu()
{
    return counted().value_or(0);
}

std::optional<int> RecordLists::counted()
{
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return 0;
    }
    QString error;
    const std::optional<qint64> n = database().count(&error);
    if (!n) {
        // Only a file that is not there has no data; any other failure
        // says what kept the records from being read.
        if (!QFileInfo::exists(m_session.databasePath)) {
            m_dialogs.message(Texts::noData());
            return 0;
        }
        cannotRead(error);
        return std::nullopt;
    }
    return int(std::min<qint64>(*n, std::numeric_limits<int>::max()));
}

bool RecordLists::hasRecords(int &n)
{
    const std::optional<int> counted = this->counted();
    if (!counted)
        return false;
    n = *counted;
    if (n > 0)
        return true;
    m_dialogs.message(Texts::noRecords());
    return false;
}

bool RecordLists::scan(const std::function<bool(const QaRecord &)> &visit, Database::Fields fields,
                       const QString *kind, const TextSearch *search)
{
    QString error;
    if (database().scan(visit, &error, fields, kind, search))
        return true;
    cannotRead(error);
    return false;
}

void RecordLists::noneFound(ListBox *target, QLabel *count, ListBox *numbers, bool quiet)
{
    target->clear();
    if (numbers)
        numbers->clear();
    count->setText(kensuCount(0));
    if (!quiet)
        m_dialogs.message(Texts::noneFound());
}

void RecordLists::cannotRead(const QString &reason)
{
    m_dialogs.message(Texts::cannotReadFile(m_session.databasePath, reason));
}

std::optional<QStringList> RecordLists::sortedKinds()
{
    int n;
    if (!hasRecords(n))
        return std::nullopt;
    QString error;
    const std::optional<QList<CategoryGroup>> groups =
        CategoryGroups::read(database(), &error, false);
    if (!groups) {
        cannotRead(error);
        return std::nullopt;
    }
    QStringList kinds;
    kinds.reserve(groups->size());
    for (const CategoryGroup &group : *groups)
        kinds.append(group.kind);
    return kinds;
}

void RecordLists::dbdispk(QComboBox *combo)
{
    const std::optional<QStringList> kinds = sortedKinds();
    if (!kinds)
        return;
    combo->clear();
    combo->addItems(*kinds);
    combo->setCurrentIndex(0);
}

void RecordLists::dbdispl(ListBox *list)
{
    const std::optional<QStringList> kinds = sortedKinds();
    if (!kinds)
        return;
    list->setItems(*kinds);
    // The first line is selected, as the in-place sort of old left it.
    list->setCurrentRow(0);
}

void RecordLists::dbdisps(QLabel *count, ListBox *list)
{
    int n;
    if (!hasRecords(n))
        return;
    QStringList lines;
    lines.reserve(n);
    if (!scan(
            [&lines](const QaRecord &r) {
                lines.append(r.quest);
                return true;
            },
            Database::Fields::WithoutAnswer))
        return;
    list->setItems(lines);
    count->setText(kensuCount(n));
}

std::optional<QaRecord> RecordLists::dbdisp(ListBox *list, QLineEdit *kind, QLineEdit *quest,
                                            QPlainTextEdit *anser, QWidget *next,
                                            const ListBox *numbers, QByteArray *stamp)
{
    int n;
    if (!hasRecords(n))
        return std::nullopt;
    const int row = list->currentRow();
    if (row < 0) {
        m_dialogs.message(Texts::selectLine());
        return std::nullopt;
    }
    std::optional<QaRecord> found;
    QString error;
    // Two records may share a question: the line's own number tells which.
    const bool byNumber = numbers && row < numbers->count();
    if (!(byNumber ? database().findByNo(numbers->item(row).toLongLong(), found, &error, stamp)
                   : database().findFirstByQuestion(list->item(row), found, &error, stamp))) {
        cannotRead(error);
        return std::nullopt;
    }
    // A record changed since it was listed is not taken for the line.
    if (!found || found->quest != list->item(row)) {
        m_dialogs.message(Texts::recordGone());
        return std::nullopt;
    }
    show(*found, kind, quest, anser, next);
    return found;
}

void RecordLists::show(const QaRecord &record, QLineEdit *kind, QLineEdit *quest,
                       QPlainTextEdit *anser, QWidget *next)
{
    kind->setText(record.kind);
    quest->setText(record.quest);
    anser->setPlainText(
        AnswerText::toWidget(AnswerText::brhiku(record.anser, m_session.brLineBreaks)));
    m_session.shownquest = quest->text();
    if (next)
        next->setFocus();
}

void RecordLists::questions(ListBox *target, QLabel *count, const QString *category,
                            ListBox *numbers, const TextSearch *search, bool quiet)
{
    int n;
    if (!hasRecords(n))
        return;
    if (search && search->isEmpty())
        search = nullptr;
    QStringList quests;
    QStringList nos;
    if (!category && !search) {
        quests.reserve(n);
        nos.reserve(n);
    }
    if (!scan(
            [&](const QaRecord &r) {
                quests.append(r.quest);
                nos.append(QString::number(r.no));
                return true;
            },
            Database::Fields::WithoutAnswer, category, search))
        return;
    if (search && quests.isEmpty())
        return noneFound(target, count, numbers, quiet);
    target->setItems(quests);
    if (numbers)
        numbers->setItems(nos);
    if (category)
        count->setText(QString::number(quests.size()));
    else
        count->setText(kensuCount(search ? int(quests.size()) : n));
}

void RecordLists::hyouji(ListBox *target, QLabel *count, ListBox *numbers, const TextSearch *search,
                         bool quiet)
{
    questions(target, count, nullptr, numbers, search, quiet);
}

void RecordLists::hyoujisel(ListBox *target, QLabel *count, const QString &category,
                            ListBox *numbers, const TextSearch *search)
{
    questions(target, count, &category, numbers, search);
}

void RecordLists::summaries(ListBox *target, QLabel *count, const QString *category,
                            ListBox *numbers, const TextSearch *search)
{
    int n;
    if (!hasRecords(n))
        return;
    if (search && search->isEmpty())
        search = nullptr;
    QStringList shown;
    QStringList nos;
    bool malformed = false;
    if (!category && !search) {
        shown.reserve(n);
        nos.reserve(n);
    }
    // All records show cut lines, which need only the answer's beginning;
    // one category's records show whole lines.
    if (!scan(
            [&](const QaRecord &r) {
                const std::optional<QString> line = SummaryLine::of(r);
                if (!line) {
                    malformed = true;
                    return false;
                }
                shown.append(category ? *line : SummaryLine::cut(*line));
                nos.append(QString::number(r.no));
                return true;
            },
            category ? Database::Fields::All : Database::Fields::AnswerHead, category, search))
        return;
    if (search && shown.isEmpty() && !malformed)
        return noneFound(target, count, numbers);
    // A category without a comma stops the listing; what came before it stays.
    target->setItems(shown);
    numbers->setItems(nos);
    if (!category)
        count->setText(kensuCount(search ? int(shown.size()) : n));
    else if (!malformed)
        count->setText(QString::number(shown.size()));
    if (malformed)
        m_dialogs.message(Texts::badCategory());
}

std::optional<QString> RecordLists::wholeLine(const QString &no, const QString &shown)
{
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(Texts::noDatabaseSet());
        return std::nullopt;
    }
    std::optional<QaRecord> found;
    QString error;
    if (!database().findByNo(no.toLongLong(), found, &error)) {
        cannotRead(error);
        return std::nullopt;
    }
    const std::optional<QString> line = found ? SummaryLine::of(*found) : std::nullopt;
    if (!line || !line->startsWith(shown)) {
        m_dialogs.message(Texts::recordGone());
        return std::nullopt;
    }
    return line;
}

void RecordLists::hyoujiall(ListBox *target, QLabel *count, ListBox *numbers,
                            const TextSearch *search)
{
    summaries(target, count, nullptr, numbers, search);
}

void RecordLists::hyoujisel2(ListBox *target, QLabel *count, const QString &category,
                             ListBox *numbers, const TextSearch *search)
{
    summaries(target, count, &category, numbers, search);
}
