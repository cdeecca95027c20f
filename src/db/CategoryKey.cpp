#include "CategoryKey.h"

#include <algorithm>

std::optional<CategoryKey> CategoryKey::split(const QString &kind)
{
    const qsizetype comma = kind.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    return CategoryKey{kind.left(comma), kind.mid(comma + 1)};
}

QStringList CategoryKey::sortedDistinct(QStringList kinds)
{
    // QString's operator< compares UTF-16 code units, the shorter text first
    // when it begins the longer one: exactly the order wanted here.
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    return kinds;
}
