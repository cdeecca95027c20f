#include "CategoryGroups.h"

#include "CategoryKey.h"

void CategoryGrouper::add(const QaRecord &record)
{
    auto it = m_indexOf.constFind(record.kind);
    if (it == m_indexOf.constEnd()) {
        it = m_indexOf.insert(record.kind, m_groups.size());
        m_groups.append({record.kind, {}, {}});
    }
    if (m_withRecords) {
        CategoryGroup &group = m_groups[*it];
        group.nos.append(record.no);
        group.quests.append(record.quest);
    }
}

QList<CategoryGroup> CategoryGrouper::take()
{
    QList<CategoryGroup> sorted;
    sorted.reserve(m_groups.size());
    for (const QString &kind : CategoryKey::sortedDistinct(m_indexOf.keys()))
        sorted.append(std::move(m_groups[m_indexOf.value(kind)]));
    m_groups.clear();
    m_indexOf.clear();
    return sorted;
}

namespace CategoryGroups
{

std::optional<QList<CategoryGroup>> read(const Database &db, QString *error, bool withRecords)
{
    CategoryGrouper grouper(withRecords);
    const bool ok = db.scan(
        [&grouper](const QaRecord &r) {
            grouper.add(r);
            return true;
        },
        error, withRecords ? Database::Fields::WithoutAnswer : Database::Fields::KindOnly);
    if (!ok)
        return std::nullopt;
    return grouper.take();
}

} // namespace CategoryGroups
