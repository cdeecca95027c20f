#include "SiteGenerator.h"

#include "Cp932.h"
#include "PageFile.h"
#include "db/CategoryGroups.h"
#include "db/CategoryKey.h"
#include "db/Texts.h"

#include <QHash>

QString SiteReport::failureMessage() const
{
    return failed ? Texts::pagesNotWritten(failed, firstFailedPath, firstFailure) : QString();
}

namespace SiteGenerator
{

namespace
{

// A name that would leave the output folder (or that the file system
// would read short) is not written.
bool unsafe(const QString &name)
{
    return name.contains(u'/') || name.contains(QChar(0));
}

class Run
{
public:
    Run(const SiteOptions &options, const Progress &progress)
        : m_options(options), m_progress(progress)
    {
    }

    void write(const QString &name, const QString &text)
    {
        const QString path = PageFile::join(m_options.folder, name);
        QString error;
        switch (PageFile::write(path, m_encoder.encode(text), &error)) {
        case PageFile::Outcome::Written:
            ++report.written;
            break;
        case PageFile::Outcome::Unchanged:
            ++report.unchanged;
            break;
        case PageFile::Outcome::Failed:
            if (report.failed++ == 0) {
                report.firstFailedPath = path;
                report.firstFailure = error;
            }
            break;
        }
        if (m_progress)
            m_progress(++m_done, m_total);
    }

    void problem(const QString &text) { report.problems.append(text); }
    void setTotal(int total) { m_total = total; }

    SiteReport report;

private:
    const SiteOptions &m_options;
    const Progress &m_progress;
    Cp932 m_encoder;
    int m_done = 0;
    int m_total = 0;
};

} // namespace

SiteReport generate(const Database &db, const SiteOptions &options, qsizetype qaLimit,
                    const QStringList &categoriesBefore, const Progress &progress)
{
    Run run(options, progress);
    run.setTotal(int(qaLimit) + 1);
    PageFile::removeLeftovers(options.folder);

    // The Q&A pages of the first qaLimit records, and every record grouped
    // for the menu pages, in one pass.
    CategoryGrouper grouper;
    qsizetype rows = 0;
    QString error;
    const bool read = db.scan(
        [&](const QaRecord &r) {
            if (rows++ < qaLimit) {
                if (const std::optional<CategoryKey> key = CategoryKey::split(r.kind))
                    run.write(Pages::qaPageName(r.no),
                              Pages::qaPage(r, Pages::subPageName(key->stem), options.layout));
                else
                    run.problem(Texts::badCategory());
            }
            grouper.add(r);
            return true;
        },
        &error);
    if (!read) {
        run.problem(Texts::cannotRead() + u'\n' + error);
        run.report.readFailed = true;
        run.report.categories = categoriesBefore;
        return run.report;
    }
    const QList<CategoryGroup> groups = grouper.take();

    // The index page, which also settles the categories.
    QStringList categories = categoriesBefore;
    if (options.indexName.isEmpty()) {
        run.problem(Texts::indexNameMissing());
    } else {
        if (rows == 0) {
            run.problem(Texts::noRecords());
        } else {
            categories.clear();
            for (const CategoryGroup &g : groups)
                categories.append(g.kind);
        }
        run.setTotal(int(std::min(rows, qaLimit)) + 1 + int(categories.size()));
        if (unsafe(options.indexName)) {
            run.problem(Texts::unsafePageName() + u'\n' + options.indexName);
        } else {
            QString stoppedAt;
            const QString page = Pages::indexPage(options.title, categories, options.layout,
                                                  options.bigTitle, &stoppedAt);
            run.write(options.indexName, page);
            if (!stoppedAt.isNull())
                run.problem(Texts::badCategory() + u'\n' + stoppedAt);
        }
    }
    run.setTotal(int(std::min(rows, qaLimit)) + 1 + int(categories.size()));
    run.report.categories = categories;

    // One menu page a category; one without a comma ends them.
    QHash<QString, const CategoryGroup *> groupOf;
    for (const CategoryGroup &g : groups)
        groupOf.insert(g.kind, &g);
    for (const QString &kind : std::as_const(categories)) {
        const std::optional<CategoryKey> key = CategoryKey::split(kind);
        if (!key) {
            run.problem(Texts::badCategory());
            break;
        }
        if (unsafe(key->stem)) {
            run.problem(Texts::unsafePageName() + u'\n' + kind);
            continue;
        }
        static const CategoryGroup none;
        const CategoryGroup *group = groupOf.value(kind, &none);
        run.write(Pages::subPageName(key->stem),
                  Pages::subPage(key->title, group->nos, group->quests, options.indexName,
                                 options.layout, options.bigTitle));
    }
    return run.report;
}

} // namespace SiteGenerator
