// libFuzzer entry: removing, adding and replacing entries of a LOD archive in memory, read back.
#include "archive_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    pcx::fuzz::EditArchive(data, size);
    return 0;
}
