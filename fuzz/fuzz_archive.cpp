// libFuzzer entry: a LOD archive's directory and every entry read in memory.
#include "archive_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    pcx::fuzz::ReadArchive(data, size);
    return 0;
}
