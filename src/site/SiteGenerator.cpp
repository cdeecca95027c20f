#include "SiteGenerator.h"

#include "Cp932.h"
#include "PageFile.h"
#include "db/CategoryGroups.h"
#include "db/CategoryKey.h"
#include "db/Texts.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

// Writes pages on a few threads: most of a run is the kernel's work on
// files, which one thread leaves half idle. The pages of one name always go
// to the same thread, in order, so a page written twice ends as the later.
class Writers
{
public:
    explicit Writers(SiteReport &report)
        : m_report(report),
          m_queues(std::clamp<int>(int(std::thread::hardware_concurrency()), 1, 4))
    {
        for (Queue &queue : m_queues)
            m_threads.emplace_back([this, &queue] { work(queue); });
    }
    Writers(const Writers &) = delete;
    Writers &operator=(const Writers &) = delete;
    ~Writers() { finish(); }

    void submit(const QString &path, QByteArray bytes)
    {
        Queue &queue = m_queues[qHash(path, 0) % m_queues.size()];
        std::unique_lock lock(queue.mutex);
        queue.roomy.wait(lock, [&] { return queue.jobs.size() < QueueLimit; });
        queue.jobs.push_back({m_submitted++, path, std::move(bytes)});
        // Waking a thread costs a system call: only one that may be asleep.
        if (queue.jobs.size() == 1)
            queue.ready.notify_one();
    }

    // Waits for every page; afterwards the report holds the outcomes.
    void finish()
    {
        for (Queue &queue : m_queues) {
            const std::lock_guard lock(queue.mutex);
            queue.closed = true;
            queue.ready.notify_one();
        }
        for (std::thread &t : m_threads)
            if (t.joinable())
                t.join();
    }

    int done() const { return m_done.load(); }

private:
    static constexpr size_t QueueLimit = 256;

    struct Job {
        qsizetype index;
        QString path;
        QByteArray bytes;
    };
    struct Queue {
        std::mutex mutex;
        std::condition_variable ready;
        std::condition_variable roomy;
        std::deque<Job> jobs;
        bool closed = false;
    };

    void work(Queue &queue)
    {
        std::deque<Job> batch;
        for (;;) {
            {
                std::unique_lock lock(queue.mutex);
                queue.ready.wait(lock, [&] { return !queue.jobs.empty() || queue.closed; });
                if (queue.jobs.empty())
                    return;
                // All that waits, in one go; the producer may go on at once.
                const bool wasFull = queue.jobs.size() >= QueueLimit;
                batch.swap(queue.jobs);
                if (wasFull)
                    queue.roomy.notify_one();
            }
            for (Job &job : batch)
                write(job);
            batch.clear();
        }
    }

    void write(const Job &job)
    {
        QString error;
        const PageFile::Outcome outcome = PageFile::write(job.path, job.bytes, &error);
        {
            const std::lock_guard lock(m_reportMutex);
            switch (outcome) {
            case PageFile::Outcome::Written:
                ++m_report.written;
                break;
            case PageFile::Outcome::Unchanged:
                ++m_report.unchanged;
                break;
            case PageFile::Outcome::Failed:
                // The first in the order of writing, whichever thread saw it.
                if (m_report.failed++ == 0 || job.index < m_firstFailed) {
                    m_firstFailed = job.index;
                    m_report.firstFailedPath = job.path;
                    m_report.firstFailure = error;
                }
                break;
            }
        }
        ++m_done;
    }

    SiteReport &m_report;
    std::vector<Queue> m_queues;
    std::vector<std::thread> m_threads;
    std::mutex m_reportMutex;
    qsizetype m_submitted = 0;
    qsizetype m_firstFailed = 0;
    std::atomic<int> m_done{0};
};

// One run at a time writes a folder: a second one would sweep away the
// first one's temporary files. The lock lives on the folder itself, so no
// file of ours lies in the site; the kernel drops it with a killed run.
class FolderLock
{
public:
    explicit FolderLock(const QString &folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }

    // False only when another run holds the folder and `wait` is empty. A
    // folder that cannot be opened is left to the page writes to report.
    bool take(const std::function<void()> &wait)
    {
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK)
            return true; // a file system without locks
        if (!wait)
            return false;
        wait();
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        return true;
    }

private:
    int m_fd;
};

class Run
{
public:
    Run(const SiteOptions &options, const Progress &progress)
        : m_options(options), m_progress(progress), m_writers(report)
    {
    }

    void write(const QString &name, const QString &text)
    {
        m_writers.submit(PageFile::join(m_options.folder, name), m_encoder.encode(text));
        if (m_progress)
            m_progress(m_writers.done(), m_total);
    }

    // Every page written: the report is complete.
    SiteReport finish()
    {
        m_writers.finish();
        if (m_progress)
            m_progress(m_total, m_total);
        return report;
    }

    void problem(const QString &text) { report.problems.append(text); }
    void setTotal(int total) { m_total = total; }

    SiteReport report;

private:
    const SiteOptions &m_options;
    const Progress &m_progress;
    Cp932 m_encoder;
    Writers m_writers;
    int m_total = 0;
};

} // namespace

SiteReport generate(const Database &db, const SiteOptions &options, qsizetype expected,
                    const QStringList &categoriesBefore, const Progress &progress,
                    const std::function<void()> &waitForFolder)
{
    FolderLock lock(options.folder);
    if (!lock.take(waitForFolder)) {
        SiteReport busy;
        busy.problems.append(Texts::folderBusy() + u'\n' + options.folder);
        busy.readFailed = true;
        busy.categories = categoriesBefore;
        return busy;
    }
    Run run(options, progress);
    run.setTotal(int(expected) + 1);
    // What is left of runs that no longer hold the lock.
    PageFile::removeLeftovers(options.folder);

    // The Q&A page of every record read, and every record grouped for the
    // menu pages, in one pass: one reading, so every page a menu links to
    // is one the run wrote, whatever was added since the listing.
    CategoryGrouper grouper;
    qsizetype rows = 0;
    QString error;
    const bool read = db.scan(
        [&](const QaRecord &r) {
            ++rows;
            if (const std::optional<CategoryKey> key = CategoryKey::split(r.kind))
                run.write(Pages::qaPageName(r.no),
                          Pages::qaPage(r, Pages::subPageName(key->stem), options.layout));
            else
                run.problem(Texts::badCategory());
            grouper.add(r);
            return true;
        },
        &error);
    if (!read) {
        run.problem(Texts::cannotReadFile(db.path(), error));
        run.report.readFailed = true;
        run.report.categories = categoriesBefore;
        return run.finish();
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
        run.setTotal(int(rows) + 1 + int(categories.size()));
        if (unsafe(options.indexName)) {
            run.problem(Texts::unsafePageName(options.indexName));
        } else {
            QString stoppedAt;
            const QString page = Pages::indexPage(options.title, categories, options.layout,
                                                  options.bigTitle, &stoppedAt);
            run.write(options.indexName, page);
            if (!stoppedAt.isNull())
                run.problem(Texts::badCategory() + u'\n' + stoppedAt);
        }
    }
    run.setTotal(int(rows) + 1 + int(categories.size()));
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
            run.problem(Texts::unsafePageName(kind));
            continue;
        }
        static const CategoryGroup none;
        const CategoryGroup *group = groupOf.value(kind, &none);
        run.write(Pages::subPageName(key->stem),
                  Pages::subPage(key->title, group->nos, group->quests, options.indexName,
                                 options.layout, options.bigTitle));
    }
    return run.finish();
}

} // namespace SiteGenerator
