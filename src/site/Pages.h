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

// `phone`: pages a phone lays out at its own width, with readable text and
// links large enough to tap: a viewport and a small style of their own in
// the head, nothing else changed but the Q&A page's link to the index.
// Without it every page is byte for byte as sites already published have it.

// One record's page, linking back to `backLink`, and, for a phone, also
// to `indexName` (when there is one).
QString qaPage(const QaRecord &record, const QString &backLink, Layout layout, bool phone = false,
               const QString &indexName = {});

// The index page: one link a category. A category without a half-width
// comma ends the page there, without its closing lines; `stoppedAt` then
// names it.
// `search`: a search box at its top, opening the site's search page.
QString indexPage(const QString &title, const QStringList &categories, Layout layout, bool bigTitle,
                  QString *stoppedAt = nullptr, bool phone = false, bool search = false);

// The site's search page: its box, the results `script` shows, and the
// link back to the index.
QString searchPage(const QString &script, const QString &indexName, Layout layout, bool bigTitle,
                   bool phone);

// A category's page: one link a record, then the link back to the index.
QString subPage(const QString &title, const QList<qint64> &nos, const QStringList &quests,
                const QString &indexName, Layout layout, bool bigTitle, bool phone = false);

// What a phone-ready page adds to the head of a menu page or of a Q&A page:
// the viewport line and the style line, each ended by CR LF.
QString phoneHead(bool menu);

} // namespace Pages
