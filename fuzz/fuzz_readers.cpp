// libFuzzer entry: reading a BMP or PNG as bmp2lodpcx does, and the picture's way back and forth.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    pcx::fuzz::ReadBackPicture(data, size);
    return 0;
}
