#include "SiteGenerator.h"

#include "Cp932.h"
#include "PageFile.h"
#include "SiteRecord.h"
#include "SiteSearch.h"
#include "db/CategoryKey.h"
#include "db/Texts.h"
#include "db/Trash.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString SiteReport::failureMessage() const
{
    return failed ? Texts::pagesNotWritten(failed, firstFailedPath, firstFailure) : QString();
}

using namespace Qt::StringLiterals;

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

// One page to write: a Q&A page from its record, or any other from a
// function that builds its text; both are built on a writer's thread.
struct Page {
    QString name;
    std::function<QString()> text; // empty for a Q&A page
    QaRecord record;               // but for the answer, which is
    QByteArray anser;              // still as stored
    QString backLink;
    quint64 input = 0; // what a page of `text` is built from, hashed; 0: not known
    QByteArray bytes = {}; // or, instead of `text`, its bytes ready
};

// The bytes of a UTF-16 text, for hashing.
QByteArrayView bytesOf(const QString &text)
{
    return {reinterpret_cast<const char *>(text.constData()),
            text.size() * qsizetype(sizeof(QChar))};
}

// Builds, encodes and writes pages on a few threads: most of an unchanged
// re-run is building and encoding, most of a fresh one the kernel's work
// on files, and one thread leaves either half idle. The pages of one name
// always go to the same thread, in order.
class Writers
{
public:
    Writers(const SiteOptions &options, const SiteRecord::Pages &before, SiteReport &report)
        : m_folder(options.folder), m_layout(options.layout), m_phone(options.phone),
          m_indexName(options.indexName), m_before(before),
          // Names looked up in the folder open, not along its whole path.
          m_dir(::open(QFile::encodeName(options.folder).constData(),
                       O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          m_report(report),
          m_queues(options.threads > 0
                       ? options.threads
                       : std::clamp<int>(int(std::thread::hardware_concurrency()), 1, 4))
    {
        for (Queue &queue : m_queues)
            m_threads.emplace_back([this, &queue] { work(queue); });
    }
    Writers(const Writers &) = delete;
    Writers &operator=(const Writers &) = delete;
    ~Writers()
    {
        finish();
        if (m_dir >= 0)
            ::close(m_dir);
    }

    void submit(Page page)
    {
        Queue &queue = m_queues[qHash(page.name, 0) % m_queues.size()];
        queue.outbox.push_back({m_submitted++, std::move(page)});
        if (queue.outbox.size() >= Batch)
            handOver(queue);
    }

    // Waits for every page; afterwards the report holds the outcomes.
    void finish()
    {
        for (Queue &queue : m_queues)
            handOver(queue);
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

    // Waits until no more than `pending` pages wait for a writer: for pages
    // whose texts are large, which would otherwise pile up.
    void drain(qsizetype pending)
    {
        for (Queue &queue : m_queues)
            handOver(queue);
        while (m_submitted - m_done.load() > pending)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Whether the page of `name` is still as the last run left it, built
    // from `input`.
    bool isUntouched(const QString &name, quint64 input) const
    {
        return untouched(QFile::encodeName(name), input) != m_before.cend();
    }
    // Takes such a page as written, without building it.
    void keep(const QString &name, quint64 input)
    {
        const auto it = untouched(QFile::encodeName(name), input);
        if (it == m_before.cend())
            return;
        m_keptHere.push_back(it);
        {
            const std::lock_guard lock(m_reportMutex);
            ++m_report.unchanged;
        }
        ++m_done;
    }

    // After finish: `record`, the earlier record the writers looked
    // pages up in, takes what each page written or found unchanged holds;
    // those pages and the ones that could not be written keep an entry
    // that is not stale. Entries marked stale and not among them are those
    // the run did not write at all.
    void recordInto(SiteRecord::Pages &record)
    {
        // Kept first: their entries are looked up by the iterators the
        // writers found them by, valid until the record grows; and a name
        // written after it was found untouched (a number that comes back)
        // takes what was written. A page that failed after it was written
        // is the page written.
        for (const SiteRecord::Pages::const_iterator &it : m_keptHere)
            record.find(it.key())->stale = false;
        m_keptHere = {};
        for (Queue &queue : m_queues) {
            for (const SiteRecord::Pages::const_iterator &it : queue.kept)
                record.find(it.key())->stale = false;
            queue.kept = {};
            for (const QByteArray &name : std::as_const(queue.failed))
                if (const auto it = record.find(name); it != record.end())
                    it->stale = false;
            queue.failed = {};
        }
        // Sized once for the names it does not hold yet: growing would hold
        // its table twice over for a moment, and so would room for names
        // it holds already (a site written again after a change of layout).
        qsizetype added = 0;
        for (const Queue &queue : m_queues)
            for (const auto &entry : queue.written)
                added += !record.contains(entry.first);
        record.reserve(record.size() + added);
        // Each queue's list let go as soon as it is in: for a large site
        // it is among the largest things a run holds.
        for (Queue &queue : m_queues) {
            for (auto &[name, page] : queue.written)
                record.insert(std::move(name), page);
            queue.written = {};
        }
    }

private:
    // A page waiting holds its answer, a few kilobytes: a couple of
    // batches in hand keep a writer busy, and more only cost memory.
    static constexpr size_t QueueLimit = 64;
    // Pages are handed over a few dozen at a time: waking a writer is a
    // system call, and one a page would cost more than hashing it.
    static constexpr size_t Batch = 32;

    struct Job {
        qsizetype index;
        Page page;
    };
    struct Queue {
        std::mutex mutex;
        std::condition_variable ready;
        std::condition_variable roomy;
        std::deque<Job> jobs;
        bool closed = false;
        std::deque<Job> outbox; // the producer's own, until handed over
        // Touched by the queue's own thread only.
        Cp932 encoder;
        // In blocks: a list that doubles copies itself as it grows and
        // holds room for as many again.
        std::deque<std::pair<QByteArray, SiteRecord::Page>> written;
        // Pages untouched since the last run: their entries of its record,
        // not copies, which would hold that record twice over.
        std::deque<SiteRecord::Pages::const_iterator> kept;
        QList<QByteArray> failed;
    };

    void handOver(Queue &queue)
    {
        if (queue.outbox.empty())
            return;
        std::unique_lock lock(queue.mutex);
        queue.roomy.wait(lock, [&] { return queue.jobs.size() < QueueLimit; });
        const bool idle = queue.jobs.empty();
        std::move(queue.outbox.begin(), queue.outbox.end(), std::back_inserter(queue.jobs));
        queue.outbox.clear();
        // Only a thread that may be asleep is woken.
        if (idle)
            queue.ready.notify_one();
    }

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
                write(queue, job);
            batch.clear();
        }
    }

    // A page built from what the last run built it from, and whose file
    // nobody has written since that run, is as it should be.
    // Its entry of the last run's record; the record's end when not.
    SiteRecord::Pages::const_iterator untouched(const QByteArray &name, quint64 input) const
    {
        const auto none = m_before.cend();
        if (!input || m_dir < 0)
            return none;
        const auto it = m_before.constFind(name);
        if (it == none || it->input != input || !it->stamp.changed)
            return none;
        struct stat st;
        if (::fstatat(m_dir, name.constData(), &st, 0) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size != it->size || !(PageFile::Stamp::of(st) == it->stamp))
            return none;
        return it;
    }

    QString path(const Job &job) const { return PageFile::join(m_folder, job.page.name); }

    void write(Queue &queue, const Job &job)
    {
        QByteArray name = QFile::encodeName(job.page.name);
        // The earlier record's copy of the name, shared by the new record.
        if (const auto it = m_before.constFind(name); it != m_before.cend())
            name = it.key();
        SiteRecord::Page page;
        QString error;
        PageFile::Outcome outcome = PageFile::Outcome::Unchanged;
        // What a Q&A page is built from; the pages of other texts, few,
        // are always built.
        const Page &p = job.page;
        const quint64 input =
            p.text ? p.input
                   : SiteRecord::hashOf(
                         p.anser,
                         SiteRecord::hashOf(bytesOf(p.record.quest),
                                            SiteRecord::hashOf(bytesOf(p.backLink), builder())));
        const auto kept = untouched(name, input);
        if (kept == m_before.cend()) {
            QByteArray bytes = p.bytes;
            if (!p.text) {
                QaRecord record = p.record;
                record.anser = Database::text(p.anser);
                bytes = queue.encoder.encode(
                    Pages::qaPage(record, p.backLink, m_layout, m_phone, m_indexName));
            } else if (bytes.isNull()) {
                bytes = queue.encoder.encode(p.text());
            }
            outcome = m_dir >= 0 ? PageFile::write(m_dir, name, bytes, &error, &page.stamp)
                                 : PageFile::write(path(job), bytes, &error);
            page.hash = SiteRecord::hashOf(bytes);
            page.size = bytes.size();
            page.input = input;
        }
        if (outcome == PageFile::Outcome::Failed)
            queue.failed.append(name);
        else if (kept != m_before.cend())
            queue.kept.push_back(kept);
        else
            queue.written.push_back({name, page});
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
                    m_report.firstFailedPath = path(job);
                    m_report.firstFailure = error;
                }
                break;
            }
        }
        ++m_done;
    }

    // How this version builds a Q&A page, as part of what each is built
    // from: another version's pages are built again.
    quint64 builder()
    {
        std::call_once(m_builderOnce, [this] {
            m_builder = SiteRecord::hashOf(Cp932().encode(Pages::qaPage(
                {12, u"s,t"_s, u"質問 <b>&amp;</b> ～〜 ① ｶﾅ"_s, u"答え<br>\r\n😀 ¥ — ‾"_s},
                u"s.html"_s, m_layout, m_phone, m_indexName)));
        });
        return m_builder;
    }

    const QString m_folder;
    const Pages::Layout m_layout;
    const bool m_phone;
    const QString m_indexName;
    std::once_flag m_builderOnce;
    quint64 m_builder = 0;
    const SiteRecord::Pages &m_before;
    const int m_dir;
    SiteReport &m_report;
    std::vector<Queue> m_queues;
    std::vector<std::thread> m_threads;
    std::vector<SiteRecord::Pages::const_iterator> m_keptHere; // the producer's own
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
    Run(const SiteOptions &options, const SiteRecord::Pages &before, const Progress &progress)
        : m_progress(progress),
          m_writers(options, before, report)
    {
    }

    void write(Page page)
    {
        m_writers.submit(std::move(page));
        if (m_progress)
            m_progress(m_writers.done(), m_total);
    }

    // Every page written: the report is complete but for the record.
    void finish()
    {
        m_writers.finish();
        if (m_progress)
            m_progress(m_total, m_total);
    }
    void recordInto(SiteRecord::Pages &record) { m_writers.recordInto(record); }
    void drain(qsizetype pending) { m_writers.drain(pending); }
    bool isUntouched(const QString &name, quint64 input) const
    {
        return m_writers.isUntouched(name, input);
    }
    void keep(const QString &name, quint64 input) { m_writers.keep(name, input); }
    int total() const { return m_total; }

    void problem(const QString &text) { report.problems.append(text); }
    void setTotal(int total) { m_total = total; }

    SiteReport report;

private:
    const Progress &m_progress;
    Writers m_writers;
    int m_total = 0;
};

// The numbers and questions of each category, in the order stored, held
// from the reading of the table to the menu pages. A string apiece cost
// some 170 bytes a question, the most of what a run held; one text a
// category costs little more than its characters.
class MenuGroups
{
public:
    struct Group {
        QList<qint64> nos;
        QString quests;        // one after another
        QList<qsizetype> ends; // where each ends in `quests`

        QString quest(qsizetype i) const
        {
            const qsizetype from = i ? ends[i - 1] : 0;
            return quests.sliced(from, ends[i] - from);
        }
        QStringList questList() const
        {
            QStringList list;
            list.reserve(ends.size());
            for (qsizetype i = 0; i < ends.size(); ++i)
                list.append(quest(i));
            return list;
        }
    };
    // Where a record's question is kept.
    struct Where {
        const Group *group = nullptr;
        qsizetype index = 0;
        QString quest() const { return group->quest(index); }
    };

    Where add(const QString &kind, qint64 no, const QString &quest)
    {
        Group *&group = m_byKind[kind];
        if (!group)
            group = &m_groups.emplace_back();
        group->nos.append(no);
        group->quests += quest;
        group->ends.append(group->quests.size());
        return {group, group->ends.size() - 1};
    }
    // Empty for a category without records.
    Group of(const QString &kind) const
    {
        const Group *group = m_byKind.value(kind);
        return group ? *group : Group();
    }

private:
    std::deque<Group> m_groups; // where a group is stays put
    QHash<QString, Group *> m_byKind;
};

// A page written after every Q&A page (the index, a menu page) or, in its
// place, a problem to report.
struct Later {
    QString name; // empty for a problem
    QString what; // who wants the name, or the problem
    QString kind; // the category of a menu page; null for the index
};

// The index page and the menu pages of `categories`, in the order of
// writing; one category without a comma ends the menu pages.
QList<Later> laterPages(const SiteOptions &options, const QStringList &categories, bool anyRows)
{
    QList<Later> later;
    if (options.indexName.isEmpty()) {
        later.append({{}, Texts::indexNameMissing(), {}});
    } else {
        if (!anyRows)
            later.append({{}, Texts::noRecords(), {}});
        if (unsafe(options.indexName))
            later.append({{}, Texts::unsafePageName(options.indexName), {}});
        else
            later.append({options.indexName, Texts::indexPageOf(options.indexName), {}});
    }
    for (const QString &kind : categories) {
        const std::optional<CategoryKey> key = CategoryKey::split(kind);
        if (!key) {
            later.append({{}, Texts::badCategory(), {}});
            break;
        }
        if (unsafe(key->stem))
            later.append({{}, Texts::unsafePageName(kind), {}});
        else
            later.append({Pages::subPageName(key->stem), Texts::menuPageOf(kind), kind});
    }
    return later;
}

// Names wanted by more than one page, each with the pages that wanted it,
// in the order they became known.
class Claims
{
public:
    void add(const QString &name, const QString &what)
    {
        QStringList &list = m_whose[name];
        if (list.isEmpty())
            m_order.append(name);
        list.append(what);
    }
    bool contains(const QString &name) const { return m_whose.contains(name); }
    void report(SiteReport &report) const
    {
        for (const QString &name : m_order)
            report.problems.append(Texts::pageNameShared(name, m_whose.value(name)));
    }

private:
    QHash<QString, QStringList> m_whose;
    QStringList m_order;
};

// Whether `name` in the folder open as `dir` is the very file of a page
// the run keeps: the same name to a folder that takes upper and lower case
// as one (a FAT stick, an SMB share), or a link to it.
class LiveFiles
{
public:
    LiveFiles(int dir, const SiteRecord::Pages &live) : m_dir(dir), m_live(live) {}

    bool contains(const QByteArray &name)
    {
        struct stat st;
        if (m_dir < 0 || ::fstatat(m_dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (!m_built) {
            m_built = true;
            for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
                if (it->stale)
                    continue;
                if (it->stamp.ino)
                    m_inodes.insert(it->stamp.ino);
                m_folded.insert(QFile::decodeName(it.key()).toCaseFolded(), it.key());
            }
        }
        if (m_inodes.contains(quint64(st.st_ino)))
            return true;
        // An inode recorded before another page of the run took the file.
        const QString folded = QFile::decodeName(name).toCaseFolded();
        for (auto it = m_folded.constFind(folded); it != m_folded.cend() && it.key() == folded;
             ++it) {
            struct stat live;
            if (*it != name && ::fstatat(m_dir, it->constData(), &live, AT_SYMLINK_NOFOLLOW) == 0 &&
                live.st_dev == st.st_dev && live.st_ino == st.st_ino)
                return true;
        }
        return false;
    }

private:
    const int m_dir;
    const SiteRecord::Pages &m_live;
    bool m_built = false;
    QSet<quint64> m_inodes;
    QMultiHash<QString, QByteArray> m_folded;
};

// The rows whose Q&A pages a run wrote: where each was in the reading of
// the table, and what it was read as, hashed.
struct SearchRows {
    std::vector<qsizetype> rows;
    std::vector<quint64> hashes;
    static quint64 hashOf(const Database::Stored &stored)
    {
        return SiteRecord::hashOf(
            stored.anser,
            SiteRecord::hashOf(stored.quest,
                               SiteRecord::hashOf(stored.kind, quint64(stored.no))));
    }
};

void writeSearchPage(const SiteOptions &options, const SiteSearch::Shape &shape, quint64 input,
                     Run &run)
{
    run.write({SiteSearch::pageName(),
               [script = SiteSearch::pageScript(shape, options.layout), &options] {
                   return Pages::searchPage(script, options.indexName, options.layout,
                                            options.bigTitle, options.phone);
               },
               {},
               {},
               {},
               input});
}

// A site with no index yet has its index built while its pages are: what
// it costs then mostly fits in the time the writers keep the reading
// waiting. Its files wait for the end of the reading: a reading that
// fails gives none.
struct EarlySearch {
    using Out = std::function<void(const QString &, QByteArray)>;
    Out out;
    SiteSearch::Builder builder{
        [this](const QString &name, QByteArray bytes) { out(name, std::move(bytes)); },
        16 * 1024, true};
};

// The site's search page and its index, over the records whose pages the
// run wrote. Rebuilt only when what they were built from, or one of their
// files, changed since the last run: from a second reading of the table,
// unless it was built with the pages (`early`). A table that changed
// between the two readings gives no index: it would find what the pages do
// not hold.
void writeSearch(const Database &db, const SiteOptions &options, const SiteRecord::Pages &before,
                 SearchRows written, Run &run, std::unique_ptr<EarlySearch> early)
{
    // How this version writes them, as part of what they are built from:
    // another version's files are built again.
    static const quint64 version = [] {
        quint64 hash = 0;
        SiteSearch::Builder sample([&hash](const QString &name, const QByteArray &bytes) {
            hash = SiteRecord::hashOf(bytes, SiteRecord::hashOf(bytesOf(name), hash));
        });
        sample.add(12, "s,t", "質問 <b>&amp;</b> ｶﾞ", "答え<br>\r\n😀 ＡＢ ab ab", u"質問"_s);
        sample.add(-3, "", "\xff", "ぱ", {});
        sample.finish(nullptr);
        for (const Pages::Layout layout : {Pages::Layout::Rules, Pages::Layout::Table})
            hash = SiteRecord::hashOf(bytesOf(SiteSearch::pageScript(sample.shape(), layout)),
                                      hash);
        return hash;
    }();
    quint64 all = version;
    for (const quint64 hash : written.hashes)
        all = SiteRecord::hashOf(QByteArrayView(reinterpret_cast<const char *>(&hash), 8), all);
    const auto inputOf = [all](const QString &name) {
        return SiteRecord::hashOf(bytesOf(name), all);
    };
    const QString page = SiteSearch::pageName();
    const quint64 pageInput = SiteRecord::hashOf(
        bytesOf(options.indexName),
        SiteRecord::hashOf(QByteArray::number(int(options.layout) * 4 + options.bigTitle * 2 +
                                              options.phone),
                           inputOf(page)));

    const int docs = int(written.rows.size());
    const int lists = (docs + SiteSearch::ListBlock - 1) / SiteSearch::ListBlock;
    int shards = 0;
    while (before.contains(QFile::encodeName(SiteSearch::indexFileName(shards))))
        ++shards;
    // The files the last run left, each with what it should be built from.
    QList<std::pair<QString, quint64>> files{{page, pageInput}};
    for (int shard = 0; shard < shards; ++shard)
        files.append({SiteSearch::indexFileName(shard), inputOf(SiteSearch::indexFileName(shard))});
    for (int list = 0; list < lists; ++list)
        files.append({SiteSearch::listFileName(list), inputOf(SiteSearch::listFileName(list))});
    if (shards > 0 && (shards & (shards - 1)) == 0 &&
        std::all_of(files.cbegin(), files.cend(),
                    [&run](const auto &file) { return run.isUntouched(file.first, file.second); })) {
        for (const auto &[name, input] : std::as_const(files))
            run.keep(name, input);
        return;
    }

    run.setTotal(run.total() + lists + std::max(shards, 1) + 1);
    const EarlySearch::Out out = [&](const QString &name, QByteArray bytes) {
        // A file of a big site's index may be large: a few at a time, a
        // large one alone.
        const qsizetype pending = bytes.size() > 1024 * 1024 ? 0 : 4;
        run.write({name, [] { return QString(); }, {}, {}, {}, inputOf(name), std::move(bytes)});
        run.drain(pending);
    };
    QString error;
    if (early) {
        written = {};
        early->out = out;
        if (!early->builder.finish(&error))
            run.problem(Texts::searchNotBuilt(error));
        else
            writeSearchPage(options, early->builder.shape(), pageInput, run);
        return;
    }
    SiteSearch::Builder builder(out);
    size_t next = 0;
    qsizetype row = 0;
    bool changed = false;
    const bool read = db.scanWithKinds(
        {},
        [&](const Database::Stored &stored) {
            const qsizetype at = row++;
            if (next == written.rows.size() || written.rows[next] != at)
                return true;
            if (SearchRows::hashOf(stored) != written.hashes[next]) {
                changed = true;
                return false;
            }
            ++next;
            builder.add(stored.no, stored.kind, stored.quest, stored.anser,
                        Database::text(stored.quest));
            return true;
        },
        &error);
    const bool whole = next == written.rows.size();
    written = {}; // not wanted for the index files, the largest
    if (read && (changed || !whole)) {
        run.problem(Texts::searchTableChanged());
        return;
    }
    if (!read || !builder.finish(&error)) {
        run.problem(Texts::searchNotBuilt(error));
        return;
    }
    writeSearchPage(options, builder.shape(), pageInput, run);
}

// Keeps the record of what the run wrote, and finds the pages an earlier
// run wrote that this one neither wrote nor links to, still as that run
// left them. A page that could not be written this time stays in the
// record as it was; after a run that did not write the whole site, nothing
// is taken for stale: what it did not write may be what its pages link to.
void recordPages(const QString &folder, SiteRecord::Pages record, Run &run,
                 const QSet<QByteArray> &linked, SiteReport &report)
{
    // The earlier record becomes the new one in place: a second record of
    // a large site beside it was the largest thing the end of a run held.
    // Every entry is marked stale first; the run's own pages then clear it,
    // and those still marked are the ones it did not write.
    if (!report.readFailed)
        for (SiteRecord::Page &page : record)
            page.stale = true;
    const bool any = !record.isEmpty();
    run.recordInto(record);
    if (!report.readFailed) {
        // What is kept is in use too, and is so before any page is found
        // stale.
        for (auto it = record.begin(); it != record.end(); ++it)
            if (it->stale && (!report.complete || linked.contains(it.key())))
                it->stale = false;
        const int dir =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        LiveFiles liveFiles(dir, record);
        // Removed afterwards: the record does not change while it is gone
        // through, nor while the live files are taken from it.
        QList<QByteArray> gone;
        for (auto it = record.cbegin(); it != record.cend(); ++it) {
            if (!it->stale)
                continue;
            if (liveFiles.contains(it.key())) {
                // Another name of a page written now: it leaves the record.
                gone.append(it.key());
            } else if (SiteRecord::stillOurs(folder, it.key(), *it)) {
                report.stale.append(QFile::decodeName(it.key()));
                report.staleFound.insert(it.key(), *it);
            } else {
                gone.append(it.key());
            }
        }
        for (const QByteArray &name : std::as_const(gone))
            record.remove(name);
        if (dir >= 0)
            ::close(dir);
        report.stale.sort();
    }
    if (record.isEmpty() && !any)
        return;
    QString error;
    if (!SiteRecord::write(folder, record, &error)) {
        report.problems.append(Texts::pageRecordNotSaved(error));
        // A later prune could not tell these from what a later run keeps.
        report.stale.clear();
        report.staleFound.clear();
    }
}

// Pages of different names that landed in one file, in a folder that
// takes upper and lower case as one: `names` holds, by folded name, each
// name that folds the same as another and who wanted it.
void reportCaseShared(const QString &folder,
                      const QHash<QString, QList<std::pair<QString, QString>>> &names,
                      SiteReport &report)
{
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    for (const auto &group : names) {
        QStringList distinct;
        for (const auto &[name, what] : group)
            if (!distinct.contains(name))
                distinct.append(name);
        if (distinct.size() < 2)
            continue;
        QHash<quint64, QStringList> byFile;
        for (const QString &name : std::as_const(distinct)) {
            struct stat st;
            if (::fstatat(dir, QFile::encodeName(name).constData(), &st, 0) == 0)
                byFile[quint64(st.st_ino)].append(name);
        }
        for (const QStringList &same : std::as_const(byFile)) {
            if (same.size() < 2)
                continue;
            QStringList whose;
            for (const auto &[name, what] : group)
                if (same.contains(name))
                    whose.append(what);
            report.problems.append(Texts::pageNameShared(same.join(u"、"), whose));
        }
    }
    ::close(dir);
}

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
    // What is left of runs that no longer hold the lock.
    PageFile::removeLeftovers(options.folder);
    SiteRecord::Pages before = SiteRecord::read(options.folder);
    Run run(options, before, progress);
    run.setTotal(int(expected) + 1);

    // The categories come first, from the same reading as the records: the
    // index and the menu pages are then known before any Q&A page is
    // written, and a Q&A page whose name a later page takes is not written
    // at all. The Q&A page of every record read is written, so every page a
    // menu links to is one the run wrote, whatever was added since the
    // listing.
    QStringList categories = categoriesBefore;
    bool anyRows = false;
    QList<Later> later;
    QHash<QString, int> laterCount;
    Claims claims;
    // What the pages of the run link to, and the names of the index and
    // menu pages by their folded case, with the Q&A pages that fold the same.
    QSet<QByteArray> linked;
    QHash<QString, QList<std::pair<QString, QString>>> folded;
    MenuGroups menus;
    qsizetype rows = 0;

    // The Q&A page of a record is held until the next record is read: two
    // records that share a number (a table another program made) share a
    // page name, and then only the later one is written.
    struct Held {
        Page page;
        MenuGroups::Where where;
        qsizetype row = 0;
        quint64 hash = 0; // what the row was read as, for the search
        QByteArray kind, quest; // as stored, for an index built with the pages
        QString what() const { return Texts::qaPageOf(page.record.no, page.record.quest); }
    };
    std::optional<Held> held;
    SearchRows searchRows;
    std::unique_ptr<EarlySearch> early;
    if (options.search && !before.contains(QFile::encodeName(SiteSearch::indexFileName(0))))
        early = std::make_unique<EarlySearch>();
    // Numbers stored as NULL, text or BLOB read as 0 or as the number they
    // begin with, and come after the others: a Q&A page written earlier in
    // the run may see its name come back. The last one written stays, and
    // the earlier one is named with it.
    QHash<qint64, MenuGroups::Where> writtenQuest;
    const auto claim = [&](const QString &name, const QString &what) {
        if (!claims.contains(name))
            if (const auto it = writtenQuest.constFind(held->page.record.no);
                it != writtenQuest.cend())
                claims.add(name, Texts::qaPageOf(it.key(), it->quest()));
        claims.add(name, what);
    };
    const auto flush = [&] {
        if (!held)
            return;
        const QString &name = held->page.name;
        if (laterCount.contains(name) || claims.contains(name) ||
            writtenQuest.contains(held->page.record.no))
            claim(name, held->what());
        if (!laterCount.contains(name)) {
            // Q&A page names are lower case already.
            if (const auto it = folded.find(name); it != folded.end())
                it->append({name, held->what()});
            writtenQuest.insert(held->page.record.no, held->where);
            if (options.search) {
                searchRows.rows.push_back(held->row);
                searchRows.hashes.push_back(held->hash);
            }
            if (early)
                early->builder.add(held->page.record.no, held->kind, held->quest,
                                   held->page.anser, held->page.record.quest);
            run.write(std::move(held->page));
        }
        held.reset();
    };

    QString lastBackLink;
    QString error;
    const bool read = db.scanWithKinds(
        [&](const QStringList &kinds) {
            anyRows = !kinds.isEmpty();
            if (anyRows && !options.indexName.isEmpty())
                categories = CategoryKey::sortedDistinct(kinds);
            later = laterPages(options, categories, anyRows);
            for (const Later &page : std::as_const(later))
                if (!page.name.isEmpty()) {
                    ++laterCount[page.name];
                    linked.insert(QFile::encodeName(page.name));
                    folded[page.name.toCaseFolded()].append({page.name, page.what});
                }
        },
        [&](const Database::Stored &stored) {
            ++rows;
            // The answer, most of the bytes, stays as stored until a page
            // has to be built from it.
            const QaRecord r{
                stored.no, Database::text(stored.kind), Database::text(stored.quest), {}};
            const MenuGroups::Where where = menus.add(r.kind, r.no, r.quest);
            const std::optional<CategoryKey> key = CategoryKey::split(r.kind);
            if (!key) {
                run.problem(Texts::badCategory());
                return true;
            }
            const QString name = Pages::qaPageName(r.no);
            QString backLink = Pages::subPageName(key->stem);
            if (backLink != lastBackLink) {
                linked.insert(QFile::encodeName(backLink));
                lastBackLink = backLink;
            }
            if (held && held->page.name == name)
                claim(name, held->what());
            else
                flush();
            held = Held{{name, {}, r, stored.anser.toByteArray(), std::move(backLink)},
                        where,
                        rows - 1,
                        options.search ? SearchRows::hashOf(stored) : 0,
                        early ? stored.kind.toByteArray() : QByteArray(),
                        early ? stored.quest.toByteArray() : QByteArray()};
            return true;
        },
        &error);
    if (!read) {
        held.reset();
        run.problem(Texts::cannotReadFile(db.path(), error));
        run.report.readFailed = true;
        run.report.categories = categoriesBefore;
    } else {
        flush();
        writtenQuest = {}; // wanted while the table is read only
        run.setTotal(int(rows) + int(laterCount.size()));
        if (!options.indexName.isEmpty() && anyRows)
            run.report.categories = categories;
        else
            run.report.categories = categoriesBefore;

        // Then the index page and one menu page a category, each name
        // written once, by the last page that wants it.
        QHash<QString, int> seen;
        for (const Later &page : std::as_const(later)) {
            if (page.name.isEmpty()) {
                run.problem(page.what);
                continue;
            }
            const bool last = ++seen[page.name] == laterCount.value(page.name);
            if (laterCount.value(page.name) > 1 || claims.contains(page.name))
                claims.add(page.name, page.what);
            if (page.kind.isNull()) {
                // Built here, for the problem it may report in its turn.
                QString stoppedAt;
                const QString text =
                    Pages::indexPage(options.title, categories, options.layout, options.bigTitle,
                                     &stoppedAt, options.phone, options.search);
                if (last)
                    run.write({page.name, [text] { return text; }, {}, {}, {}});
                if (!stoppedAt.isNull())
                    run.problem(Texts::badCategory() + u'\n' + stoppedAt);
                continue;
            }
            if (!last)
                continue;
            const std::optional<CategoryKey> key = CategoryKey::split(page.kind);
            run.write({page.name,
                       [group = menus.of(page.kind), title = key->title, &options] {
                           return Pages::subPage(title, group.nos, group.questList(),
                                                 options.indexName, options.layout,
                                                 options.bigTitle, options.phone);
                       },
                       {},
                       {},
                       {}});
        }
        menus = {}; // each menu page holds its own group until it is written
        if (options.search) {
            if (laterCount.contains(SiteSearch::pageName()))
                run.problem(Texts::searchPageTaken(SiteSearch::pageName()));
            else
                writeSearch(db, options, before, std::move(searchRows), run, std::move(early));
        }
        searchRows = {};
    }
    run.finish();
    SiteReport report = std::move(run.report);
    claims.report(report);
    for (auto it = folded.begin(); it != folded.end();)
        it = it->size() < 2 ? folded.erase(it) : std::next(it);
    if (!folded.isEmpty())
        reportCaseShared(options.folder, folded, report);
    report.complete = read && report.problems.isEmpty() && !report.failed;
    // The writers are done with the earlier record: it is handed over.
    recordPages(options.folder, std::move(before), run, linked, report);
    return report;
}

PruneReport prune(const QString &folder, const SiteReport &run,
                  const std::function<void()> &waitForFolder,
                  const std::function<void(const QString &)> &compared)
{
    PruneReport report;
    if (run.staleFound.isEmpty())
        return report;
    FolderLock lock(folder);
    if (!lock.take(waitForFolder)) {
        report.problems.append(Texts::folderBusy() + u'\n' + folder);
        return report;
    }
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        report.failed = int(run.staleFound.size());
        report.firstFailedPath = folder;
        report.firstFailure = Texts::Reason::ofErrno(errno);
        return report;
    }
    // The record read again under the lock: a run since may have written
    // or kept one of these pages, and then it is that run's.
    SiteRecord::Pages pages = SiteRecord::read(folder);
    LiveFiles liveFiles(dir, pages);
    const QString trash = Trash::of(folder);
    QList<QByteArray> names = run.staleFound.keys();
    std::sort(names.begin(), names.end());
    bool changed = false;
    for (const QByteArray &name : std::as_const(names)) {
        const SiteRecord::Page listed = run.staleFound.value(name);
        const auto now = pages.constFind(name);
        if (now == pages.cend())
            continue; // gone already
        if (!now->stale || now->hash != listed.hash || now->size != listed.size ||
            !SiteRecord::isPageName(name) || liveFiles.contains(name)) {
            ++report.kept;
            continue;
        }
        // Taken out of the way first, then looked at: what is compared is
        // what goes, whatever is saved under the name meanwhile.
        int code = 0;
        std::unique_ptr<Trash::Taken> taken = Trash::Taken::take(dir, folder, trash, name, &code);
        if (!taken) {
            if (code == ENOENT) {
                pages.remove(name);
                changed = true;
            } else if (report.failed++ == 0) {
                report.firstFailedPath = PageFile::join(folder, QFile::decodeName(name));
                report.firstFailure = Texts::Reason::ofErrno(code);
            }
            continue;
        }
        const int fd = taken->open();
        // One its owner made read-only is theirs, whatever it holds.
        const bool ours =
            fd >= 0 && (taken->status().st_mode & S_IWUSR) && SiteRecord::holds(fd, listed);
        if (fd >= 0)
            ::close(fd);
        if (compared)
            compared(PageFile::join(folder, QFile::decodeName(name)));
        if (ours && taken->discard(&code)) {
            ++report.removed;
            if (taken->inTrash())
                report.trash = trash;
        } else if (ours) {
            taken->putBack();
            if (report.failed++ == 0) {
                report.firstFailedPath = PageFile::join(folder, QFile::decodeName(name));
                report.firstFailure = Texts::Reason::ofErrno(code);
            }
            continue;
        } else {
            // Changed or replaced by the user: theirs now, and out of the record.
            taken->putBack();
            ++report.kept;
        }
        pages.remove(name);
        changed = true;
    }
    ::close(dir);
    QString error;
    if (changed && !SiteRecord::write(folder, pages, &error))
        report.problems.append(Texts::pageRecordNotSaved(error));
    return report;
}

std::optional<QString> qaPage(const QaRecord &record, const SiteOptions &options)
{
    // Linked back as the run links it: to the menu page of its category.
    const std::optional<CategoryKey> key = CategoryKey::split(record.kind);
    if (!key)
        return std::nullopt;
    return Pages::qaPage(record, Pages::subPageName(key->stem), options.layout, options.phone,
                         options.indexName);
}

} // namespace SiteGenerator
