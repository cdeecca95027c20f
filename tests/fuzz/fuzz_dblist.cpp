// The list of databases: any bytes are read without harm, and entries the
// writer accepts come back as they were written.
#include "FuzzFile.h"
#include "dblist/DbListFile.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QString path = fuzzFile(bytes);
    const DbListFile::Contents contents = DbListFile::read(path);
    if (!contents.read)
        std::abort();

    // What was read, and the bytes taken as UTF-8 lines: text of any kind.
    const QStringList entries = contents.entries + QString::fromUtf8(bytes).split(u'\n');
    QStringList writable;
    for (const QString &entry : entries)
        if (!DbListFile::unwritable(entry))
            writable.append(entry);
    // One entry it cannot hold and nothing is written.
    if (DbListFile::write(path, entries) != (writable.size() == entries.size()))
        std::abort();
    if (!DbListFile::write(path, writable))
        std::abort();
    const DbListFile::Contents back = DbListFile::read(path);
    if (!back.whole() || back.entries != writable)
        std::abort();
    return 0;
}
