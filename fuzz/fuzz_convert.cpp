// libFuzzer entry: header read, classification and conversion of one source file.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    pcx::fuzz::ConvertSource(data, size);
    return 0;
}
