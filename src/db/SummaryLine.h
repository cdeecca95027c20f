#pragma once

#include "QaRecord.h"

#include <optional>

// The one-line summary of a record: stem ".html , " title " / " question
// " / " answer. Nothing when the category has no half-width comma.
namespace SummaryLine
{

std::optional<QString> of(const QaRecord &record);

// The first `width` UTF-16 code units, without splitting a surrogate pair.
QString cut(const QString &line, int width = 60);

} // namespace SummaryLine
