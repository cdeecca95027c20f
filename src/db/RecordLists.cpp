#include "RecordLists.h"

#include "AnswerText.h"
#include "CategoryKey.h"
#include "SummaryLine.h"
#include "platform/Dialogs.h"
#include "platform/ListBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSet>

#include <limits>

namespace
{

QString kensuCount(int n)
{
    return u' ' + QString::number(n);
}

const QString noRecords = QStringLiteral("データが登録されていません");
const QString badCategory =
    QStringLiteral("種類フォーマットが違います。半角カンマで区切られていません");

} // namespace

int RecordLists::kensu()
{
    if (m_session.databasePath.isEmpty()) {
        m_dialogs.message(QStringLiteral("環境設定にてアクセスデータベースを作成してください"));
        return 0;
    }
    const std::optional<qint64> n = database().count();
    if (!n) {
        m_dialogs.message(QStringLiteral("データがありません"));
        return 0;
    }
    return int(std::min<qint64>(*n, std::numeric_limits<int>::max()));
}

bool RecordLists::hasRecords(int &n)
{
    n = kensu();
    if (n > 0)
        return true;
    m_dialogs.message(noRecords);
    return false;
}

bool RecordLists::scan(const std::function<bool(const QaRecord &)> &visit, Database::Fields fields,
                       const QString *kind)
{
    QString error;
    if (database().scan(visit, &error, fields, kind))
        return true;
    m_dialogs.message(QStringLiteral("データを読み込めませんでした\n") + error);
    return false;
}

std::optional<QStringList> RecordLists::sortedKinds()
{
    int n;
    if (!hasRecords(n))
        return std::nullopt;
    QStringList kinds;
    QSet<QString> seen;
    const bool ok = scan(
        [&](const QaRecord &r) {
            if (!seen.contains(r.kind)) {
                seen.insert(r.kind);
                kinds.append(r.kind);
            }
            return true;
        },
        Database::Fields::WithoutAnswer);
    if (!ok)
        return std::nullopt;
    return CategoryKey::sortedDistinct(kinds);
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

void RecordLists::dbdisp(ListBox *list, QLineEdit *kind, QLineEdit *quest, QPlainTextEdit *anser,
                         QWidget *next)
{
    int n;
    if (!hasRecords(n))
        return;
    const int row = list->currentRow();
    if (row < 0) {
        m_dialogs.message(QStringLiteral("削除したい行を選択して下さい"));
        return;
    }
    std::optional<QaRecord> found;
    QString error;
    if (!database().findFirstByQuestion(list->item(row), found, &error)) {
        m_dialogs.message(QStringLiteral("データを読み込めませんでした\n") + error);
        return;
    }
    if (!found) {
        m_dialogs.message(QStringLiteral("選択したデータはデータベースにありません\n"
                                         "一覧を表示し直して下さい"));
        return;
    }
    kind->setText(found->kind);
    quest->setText(found->quest);
    anser->setPlainText(
        AnswerText::toWidget(AnswerText::brhiku(found->anser, m_session.brLineBreaks)));
    m_session.shownquest = quest->text();
    if (next)
        next->setFocus();
}

void RecordLists::questions(ListBox *target, QLabel *count, const QString *category,
                            ListBox *numbers)
{
    int n;
    if (!hasRecords(n))
        return;
    QStringList quests;
    QStringList nos;
    if (!category) {
        quests.reserve(n);
        nos.reserve(n);
    }
    if (!scan(
            [&](const QaRecord &r) {
                quests.append(r.quest);
                nos.append(QString::number(r.no));
                return true;
            },
            Database::Fields::WithoutAnswer, category))
        return;
    target->setItems(quests);
    numbers->setItems(nos);
    count->setText(category ? QString::number(quests.size()) : kensuCount(n));
}

void RecordLists::hyouji(ListBox *target, QLabel *count, ListBox *numbers)
{
    questions(target, count, nullptr, numbers);
}

void RecordLists::hyoujisel(ListBox *target, QLabel *count, const QString &category,
                            ListBox *numbers)
{
    questions(target, count, &category, numbers);
}

void RecordLists::summaries(ListBox *target, QLabel *count, const QString *category, ListBox *full)
{
    int n;
    if (!hasRecords(n))
        return;
    QStringList shown;
    QStringList whole;
    bool malformed = false;
    if (!category) {
        shown.reserve(n);
        whole.reserve(n);
    }
    if (!scan(
            [&](const QaRecord &r) {
                const std::optional<QString> line = SummaryLine::of(r);
                if (!line) {
                    malformed = true;
                    return false;
                }
                shown.append(category ? *line : SummaryLine::cut(*line));
                whole.append(*line);
                return true;
            },
            Database::Fields::All, category))
        return;
    // A category without a comma stops the listing; what came before it stays.
    target->setItems(shown);
    full->setItems(whole);
    if (!category)
        count->setText(kensuCount(n));
    else if (!malformed)
        count->setText(QString::number(shown.size()));
    if (malformed)
        m_dialogs.message(badCategory);
}

void RecordLists::hyoujiall(ListBox *target, QLabel *count, ListBox *full)
{
    summaries(target, count, nullptr, full);
}

void RecordLists::hyoujisel2(ListBox *target, QLabel *count, const QString &category, ListBox *full)
{
    summaries(target, count, &category, full);
}
