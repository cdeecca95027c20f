// The search's folding and matching.
//
// Folding emits one code point for each it takes (a half-width kana and its
// mark, or "<br>", become one), and no code point of the Basic Multilingual
// Plane folds to one beyond it: the fold is never longer, in UTF-16 code
// units, than the text. It is idempotent but for one thing: full-width
// "＜ｂｒ＞" is text that folds to "<br>", which folds again to a blank.
//
// Matching on stored bytes, on text, and by folding whole fields and
// looking for each word must agree, whatever the bytes and wherever the
// fold's pieces are cut.
#include "FuzzFile.h"
#include "db/Database.h"
#include "db/QaRecord.h"
#include "db/TextSearch.h"

namespace
{

void foldsOnce(const QString &text)
{
    const QString folded = foldForSearch(text);
    if (folded.size() > text.size() ||
        foldForSearch(folded) !=
            QString(folded).replace(QStringLiteral("<br>"), QStringLiteral(" ")))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes = fuzzBytes(data + 1, size - 1);
    foldsOnce(Database::text(bytes));
    foldsOnce(QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2));

    // Words, then category, question and answer, parted by NUL.
    QList<QByteArray> parts = bytes.split('\0');
    parts.resize(4);
    // An odd first byte puts the answer across the cut of the first piece.
    if (data[0] & 1)
        parts[3].prepend(QByteArray(16 * 1024 - 64 + (data[0] >> 1), '-'));
    const TextSearch search(Database::text(parts[0]));
    const QaRecord record{0, Database::text(parts[1]), Database::text(parts[2]),
                          Database::text(parts[3])};
    bool each = true;
    for (const QString &word : search.words())
        each = each && (foldForSearch(record.kind).contains(word) ||
                        foldForSearch(record.quest).contains(word) ||
                        foldForSearch(record.anser).contains(word));
    if (search.matches(record) != each || search.matches(parts[1], parts[2], parts[3]) != each)
        std::abort();
    return 0;
}
