#include "SummaryLine.h"

#include "CategoryKey.h"

namespace SummaryLine
{

std::optional<QString> of(const QaRecord &record)
{
    const std::optional<CategoryKey> key = CategoryKey::split(record.kind);
    if (!key)
        return std::nullopt;
    // Built in place: a listing makes a hundred thousand of these.
    QString line;
    line.reserve(record.kind.size() + record.quest.size() + record.anser.size() + 16);
    line.append(key->stem)
        .append(QLatin1StringView(".html , "))
        .append(key->title)
        .append(QLatin1StringView(" / "))
        .append(record.quest)
        .append(QLatin1StringView(" / "))
        .append(record.anser);
    return line;
}

QString cut(const QString &line, int width)
{
    if (line.size() <= width)
        return line;
    int end = width;
    if (end > 0 && line.at(end - 1).isHighSurrogate())
        --end;
    return line.left(end);
}

} // namespace SummaryLine
