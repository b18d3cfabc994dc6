// Test pictures and the BMP files the converter would write for them, built byte by byte here so
// that the picture class is checked against a layout it did not produce.
#pragma once

#include "tests/support/lod_pcx.h"

#include <cstdint>
#include <vector>

namespace pcx::test {

struct TestImage {
    int width = 0;
    int height = 0;
    int bitCount = 8;
    std::vector<std::uint8_t> table; // 1024 bytes of blue, green, red, 0 for 8 bits; empty for 24
    std::vector<std::uint8_t> rows;  // top row first, no row fill
};

// Colours of the "F" shape, as blue, green, red.
inline constexpr std::uint8_t kRedIndex = 1;
inline constexpr std::uint8_t kBlueIndex = 0;

// A 5 x 7 "F" drawn red on blue: neither a flip nor a red/blue swap leaves it unchanged.
[[nodiscard]] TestImage FShape(int bitCount);
[[nodiscard]] bool FShapeIsSet(int x, int y);
// A width x height picture whose every byte differs from its neighbours.
[[nodiscard]] TestImage PatternImage(int width, int height, int bitCount);

struct FileOptions {
    std::uint32_t tableEntries = 256;  // 8 bits only: how many entries stand in the file
    std::uint32_t coloursUsed = 0;     // 24 bits only; 8 bits writes tableEntries
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t coloursImportant = 0;
    std::uint32_t gap = 0;             // extra bytes between the colour table and the rows
};

// The file as the converter writes it (with the default options), fields in file order.
[[nodiscard]] std::vector<std::uint8_t> BmpFile(const TestImage &image,
                                                const FileOptions &options = {});

} // namespace pcx::test
