// CSV and TSV files as they come: read or refused, and no record handed out
// that the input tab would refuse.
#include "FuzzFile.h"
#include "csv/CsvTransfer.h"
#include "db/CategoryKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    for (const bool tsvByName : {false, true}) {
        const CsvTransfer::Parsed parsed = CsvTransfer::parse(bytes, tsvByName);
        for (const QaRecord &r : parsed.records)
            if (r.kind.isEmpty() || r.quest.isEmpty() || r.anser.isEmpty() ||
                !CategoryKey::isWellFormed(r.kind) || Database::tooLong(r.kind, r.quest))
                std::abort();
    }
    return 0;
}
