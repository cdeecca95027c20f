#pragma once

#include "db/QaRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The three page templates of the site, as text with CR LF after every
// line. Stored texts go in exactly as they stand: users write markup on
// purpose, and a stored line break spans lines of the page.
namespace Pages
{

enum class Layout { Rules, Table }; // 枠無し（<hr>） / 枠有り（<table>）

// "qa" + the number zero-filled to at least three digits + ".html".
QString qaPageName(qint64 no);
// The sub-menu page of a category stem: stem + ".html".
QString subPageName(const QString &stem);

// One record's page, linking back to `backLink`.
QString qaPage(const QaRecord &record, const QString &backLink, Layout layout);

// The index page: one link a category. A category without a half-width
// comma ends the page there, without its closing lines; `stoppedAt` then
// names it.
QString indexPage(const QString &title, const QStringList &categories, Layout layout, bool bigTitle,
                  QString *stoppedAt = nullptr);

// A category's page: one link a record, then the link back to the index.
QString subPage(const QString &title, const QList<qint64> &nos, const QStringList &quests,
                const QString &indexName, Layout layout, bool bigTitle);

} // namespace Pages
