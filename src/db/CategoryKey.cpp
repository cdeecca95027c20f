#include "CategoryKey.h"

#include "Texts.h"

#include <algorithm>

std::optional<CategoryKey> CategoryKey::split(const QString &kind)
{
    const qsizetype comma = kind.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    return CategoryKey{kind.left(comma), kind.mid(comma + 1)};
}

std::optional<QString> CategoryKey::refusal(const QString &kind)
{
    if (isWellFormed(kind))
        return std::nullopt;
    if (kind.contains(u'，'))
        return Texts::categoryFormat() + u'\n' + Texts::fullWidthComma();
    return Texts::categoryFormat();
}

QStringList CategoryKey::sortedDistinct(QStringList kinds)
{
    // QString's operator< compares UTF-16 code units, the shorter text first
    // when it begins the longer one: exactly the order wanted here.
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    return kinds;
}
