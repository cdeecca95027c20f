// Any file opened as a database: every reading refuses it with a reason or
// reads it, and none crashes or hangs.
#include "FuzzFile.h"
#include "db/CategoryGroups.h"
#include "db/Database.h"
#include "db/TextSearch.h"

#include <QFile>

namespace
{

// A reading that fails says why.
template <class Reading> void refusesOrReads(const Reading &reading)
{
    QString error;
    if (!reading(&error) && error.isEmpty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Database db(fuzzFile(fuzzBytes(data, size), QStringLiteral("input.mdb")));
    using F = Database::Fields;
    const auto all = [](const QaRecord &) { return true; };
    QString kind;
    const TextSearch search(u"a ｶﾞ 答"); // ASCII, a mark that combines, an ideograph

    refusesOrReads([&](QString *e) { return db.count(e).has_value(); });
    refusesOrReads([&](QString *e) {
        qint64 seen = 0;
        return db.scan(
            [&](const QaRecord &r) {
                kind = r.kind;
                return ++seen < 3; // a reading that stops early
            },
            e);
    });
    refusesOrReads([&](QString *e) { return db.scan(all, e, F::AnswerHead, &kind); });
    refusesOrReads([&](QString *e) { return db.scan(all, e, F::WithoutAnswer, nullptr, &search); });
    refusesOrReads([&](QString *e) { return db.scan(all, e, F::AnswerHead, &kind, &search); });
    refusesOrReads([&](QString *e) {
        qsizetype units = 0; // every text decoded, as the site's writer decodes them
        return db.scanWithKinds([](const QStringList &) {},
                                [&units](const Database::Stored &s) {
                                    units += Database::text(s.kind).size() +
                                             Database::text(s.quest).size() +
                                             Database::text(s.anser).size();
                                    return true;
                                },
                                e);
    });
    refusesOrReads([&](QString *e) { return CategoryGroups::read(db, e).has_value(); });
    refusesOrReads([&](QString *e) { return CategoryGroups::read(db, e, false).has_value(); });

    // A file in WAL mode leaves its companions; the next input starts clean.
    for (const char *companion : {"-wal", "-shm", "-journal"})
        QFile::remove(db.path() + QLatin1StringView(companion));
    return 0;
}
