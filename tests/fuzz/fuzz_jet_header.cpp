// The header check that decides whether a file is offered for conversion.
#include "FuzzFile.h"
#include "jet/JetImport.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const JetImport::Header header = JetImport::header(fuzzFile(fuzzBytes(data, size)));
    const bool jet = size >= 0x15 && std::memcmp(data + 4, "Standard Jet DB", 15) == 0;
    if ((header.kind != JetImport::Header::NotJet) != jet || (jet && header.version != data[0x14]))
        std::abort();
    return 0;
}
