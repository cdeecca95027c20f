#pragma once

#include "Pages.h"
#include "SiteRecord.h"
#include "db/Database.h"

#include <QStringList>
#include <functional>
#include <optional>

// What a run writes and how.
struct SiteOptions {
    QString folder;    // the output folder
    QString indexName; // the index page's file name; empty: no index page
    QString title;     // the index page's title
    Pages::Layout layout = Pages::Layout::Rules;
    bool bigTitle = false; // a larger heading on the menu pages, table layout only
    bool phone = false;    // pages a phone can read (スマートフォン対応)
    bool search = false;   // a search page and its index (サイト内検索を付ける)
    int threads = 0;       // threads building and writing pages; 0: one a processor, up to 4
};

// What a run did.
struct SiteReport {
    // What the user is told, in the order it happened.
    QStringList problems;
    // The table could not be read, or another run was writing the folder;
    // the run stopped there.
    bool readFailed = false;
    // The categories the menu pages were written from.
    QStringList categories;
    int written = 0;
    int unchanged = 0;
    int failed = 0;
    QString firstFailedPath;
    QString firstFailure;
    // Every page the run should write was written and nothing was
    // reported: only such a run tells which pages are stale.
    bool complete = false;
    // Pages that an earlier run wrote into the folder and this complete
    // one neither wrote nor links to, still as that run left them; `prune`
    // removes these and no others. Empty when the run's record of its pages
    // could not be saved.
    QStringList stale;
    SiteRecord::Pages staleFound; // the same, as recorded

    // The message about pages that could not be written; empty when none.
    QString failureMessage() const;
};

// What removing the stale pages did.
struct PruneReport {
    int removed = 0;
    QString trash; // where they went; empty: deleted
    // Kept after all: changed, replaced or made read-only since the run,
    // or in use again by a later run.
    int kept = 0;
    int failed = 0;
    QString firstFailedPath;
    QString firstFailure;
    // Messages for the user: another run was writing the folder, or the
    // record of the pages could not be saved.
    QStringList problems;
};

// The whole site in one run: the page of every record, the index page,
// then one menu page a category, all from one reading of the table.
// `expected` (the records listed, say) sizes the progress until the table
// has been read. `categoriesBefore` is what the menu pages are written from
// when the index page is not (no index name, or an empty table).
namespace SiteGenerator
{

using Progress = std::function<void(int done, int total)>;

// While another run writes the folder, `waitForFolder` is called once and
// the run waits for it; without one, it stops and says so.
SiteReport generate(const Database &db, const SiteOptions &options, qsizetype expected,
                    const QStringList &categoriesBefore, const Progress &progress = {},
                    const std::function<void()> &waitForFolder = {});

// Removes the pages `run` found stale in `folder`, those alone and only
// while they hold what a run of ours wrote and no later run has written or
// kept them; anything else in the folder is left alone. Each goes to the
// trash of the volume where there is one. Waits for another run as
// `generate` does.
// `compared`, when given, is called with each page's path between the
// moment it was found to be ours and its removal (a test plays another
// program there).
PruneReport prune(const QString &folder, const SiteReport &run,
                  const std::function<void()> &waitForFolder = {},
                  const std::function<void(const QString &)> &compared = {});

// The page a run with `options` writes for `record`, its answer as stored;
// nothing when the category has no half-width comma, as a run then writes
// no page for it.
std::optional<QString> qaPage(const QaRecord &record, const SiteOptions &options);

} // namespace SiteGenerator
