#include "SummaryLine.h"

namespace SummaryLine
{

std::optional<QString> of(const QaRecord &record)
{
    const qsizetype comma = record.kind.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    // Built in place: a listing makes a hundred thousand of these.
    const QStringView kind(record.kind);
    QString line;
    line.reserve(record.kind.size() + record.quest.size() + record.anser.size() + 16);
    line.append(kind.left(comma))
        .append(QLatin1StringView(".html , "))
        .append(kind.mid(comma + 1))
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
