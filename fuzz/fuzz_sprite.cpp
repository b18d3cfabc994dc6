// libFuzzer entry: a sprite read, its frames decoded and its sheet laid out.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    pcx::fuzz::ReadSpriteFrames(data, size);
    return 0;
}
