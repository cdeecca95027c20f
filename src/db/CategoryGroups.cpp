#include "CategoryGroups.h"

#include "CategoryKey.h"

#include <QHash>

namespace CategoryGroups
{

std::optional<QList<CategoryGroup>> read(const Database &db, QString *error, bool withRecords)
{
    QList<CategoryGroup> groups;
    QHash<QString, qsizetype> indexOf;
    const bool ok = db.scan(
        [&](const QaRecord &r) {
            auto it = indexOf.constFind(r.kind);
            if (it == indexOf.constEnd()) {
                it = indexOf.insert(r.kind, groups.size());
                groups.append({r.kind, {}, {}});
            }
            if (withRecords) {
                CategoryGroup &group = groups[*it];
                group.nos.append(r.no);
                group.quests.append(r.quest);
            }
            return true;
        },
        error, withRecords ? Database::Fields::WithoutAnswer : Database::Fields::KindOnly);
    if (!ok)
        return std::nullopt;

    QList<CategoryGroup> sorted;
    sorted.reserve(groups.size());
    for (const QString &kind : CategoryKey::sortedDistinct(indexOf.keys()))
        sorted.append(std::move(groups[indexOf.value(kind)]));
    return sorted;
}

} // namespace CategoryGroups
