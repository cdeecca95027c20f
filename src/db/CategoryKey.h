#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// A category as stored in `kind`: stem, a half-width comma, title. The stem
// names the category's menu page (stem + ".html"); nothing is trimmed.
struct CategoryKey {
    QString stem;
    QString title;

    // Split at the first half-width comma; nothing when there is none.
    static std::optional<CategoryKey> split(const QString &kind);
    static bool isWellFormed(const QString &kind) { return kind.contains(u','); }
    // What the input and modify tabs tell the user when a typed category is
    // not well formed, with a hint when a full-width comma, as an input
    // method gives, stands where the half-width one belongs; nothing when
    // it is well formed.
    static std::optional<QString> refusal(const QString &kind);

    // Each text once, ascending by UTF-16 code values, a text before any
    // longer text it begins. No case, width or locale folding.
    static QStringList sortedDistinct(QStringList kinds);
};
