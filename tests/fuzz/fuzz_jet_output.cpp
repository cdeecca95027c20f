// The Jet helper's output: anything is refused with a reason or read, and
// what is read, written again as the helper writes it, reads the same.
#include "FuzzFile.h"
#include "jet/JetImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const std::optional<QList<QaRecord>> records =
        JetImport::parseDump(fuzzBytes(data, size), &error);
    if (!records) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray count = QByteArray::number(records->size());
    QByteArray again = "WZJET2 " + count + '\n';
    for (const QaRecord &r : *records) {
        again += 'R';
        for (const QString &value : {QString::number(r.no), r.kind, r.quest, r.anser}) {
            const QByteArray utf8 = value.toUtf8();
            again += ' ' + QByteArray::number(utf8.size()) + ':' + utf8;
        }
        again += '\n';
    }
    again += "E " + count + '\n';
    if (JetImport::parseDump(again) != records)
        std::abort();
    return 0;
}
