#pragma once

#include "Database.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <optional>

// The records of one category: their numbers and questions, side by side,
// in the order stored.
struct CategoryGroup {
    QString kind;
    QList<qint64> nos;
    QStringList quests;

    friend bool operator==(const CategoryGroup &, const CategoryGroup &) = default;
};

// Records handed over in stored order, grouped by category as they come.
class CategoryGrouper
{
public:
    explicit CategoryGrouper(bool withRecords = true) : m_withRecords(withRecords) {}

    void add(const QaRecord &record);
    // Each distinct `kind` once, in CategoryKey's ascending order. Without
    // records only the kinds are filled in.
    QList<CategoryGroup> take();

private:
    bool m_withRecords;
    QList<CategoryGroup> m_groups;
    QHash<QString, qsizetype> m_indexOf;
};

namespace CategoryGroups
{

// The table read in one pass and grouped by category. Nothing, with the
// reason in *error, on failure.
std::optional<QList<CategoryGroup>> read(const Database &db, QString *error = nullptr,
                                         bool withRecords = true);

} // namespace CategoryGroups
