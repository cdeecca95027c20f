// The text pasted onto the folder list, whatever the clipboard holds:
// one line at most, never a NUL, and a network path names no folder.
#include "FuzzFile.h"
#include "site/PastedFolder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    const PastedFolder pasted = PastedFolder::of(text);
    if (pasted.path.contains(u'\n') || pasted.path.contains(QChar(0)) ||
        (pasted.network && !pasted.path.isEmpty()))
        std::abort();
    return 0;
}
