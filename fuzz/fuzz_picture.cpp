// libFuzzer entry: loading a BMP with the picture object, saving it and loading it again.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    pcx::fuzz::RoundTripPicture(data, size);
    return 0;
}
