// CSV and TSV files as they come: read or refused, and no record handed out
// that the input tab would refuse or could not have stored: no NUL, and with
// "<br>" on, every line break of an answer a "<br>" CR LF.
#include "FuzzFile.h"
#include "csv/CsvTransfer.h"
#include "db/CategoryKey.h"

namespace
{

bool breaksAsStored(const QString &anser)
{
    for (qsizetype i = 0; i < anser.size(); ++i) {
        if (anser.at(i) == u'\r' && (i + 1 == anser.size() || anser.at(i + 1) != u'\n' ||
                                     !anser.first(i).endsWith(u"<br>")))
            return false;
        if (anser.at(i) == u'\n' && (i == 0 || anser.at(i - 1) != u'\r'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    for (const bool tsvByName : {false, true})
        for (const bool br : {false, true}) {
            const CsvTransfer::Parsed parsed = CsvTransfer::parse(bytes, tsvByName, br);
            if (!parsed.failure.isEmpty() && !parsed.records.isEmpty())
                std::abort();
            for (const QaRecord &r : parsed.records)
                if (r.kind.isEmpty() || r.quest.isEmpty() || r.anser.isEmpty() ||
                    !CategoryKey::isWellFormed(r.kind) || Database::tooLong(r.kind, r.quest) ||
                    (r.kind + r.quest + r.anser).contains(QChar(0)) ||
                    (br && !breaksAsStored(r.anser)))
                    std::abort();
        }
    return 0;
}
