#pragma once

#include "Database.h"

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

namespace CategoryGroups
{

// The table read in one pass and grouped by category: each distinct `kind`
// once, in CategoryKey's ascending order. Without `withRecords` only the
// kinds are filled in. Nothing, with the reason in *error, on failure.
std::optional<QList<CategoryGroup>> read(const Database &db, QString *error = nullptr,
                                         bool withRecords = true);

} // namespace CategoryGroups
