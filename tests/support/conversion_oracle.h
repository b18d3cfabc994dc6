// What converting a LOD PCX source must give, worked out from its bytes alone and written straight
// from the formats' tables, independent of the engine's code. The engine tests, the fault tests, the
// truncation sweep and the fuzz targets all check against it. Plain C++, no test framework, so the
// fuzz programs link it too.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pcx::test {

using Bytes = std::vector<std::uint8_t>;

// The header's three fields; one the bytes cannot hold whole reads as 0.
struct LodFields {
    std::int32_t dataSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
LodFields FieldsOf(std::span<const std::uint8_t> file);

// The BMP of a picture: w × h pixels of k bytes, rows top to bottom without fill; colourTable is the
// 1,024 bytes of blue, green, red, 0 of an 8-bit picture (ignored for 24-bit).
Bytes BmpOf(std::int32_t w, std::int32_t h, int k, std::span<const std::uint8_t> rowsTopDown,
            std::span<const std::uint8_t> colourTable);

struct Expectation {
    enum class Outcome { kConverted, kSkipped, kFailed };
    Outcome outcome = Outcome::kSkipped;
    int k = 0; // bytes per pixel of the conversion made or tried
    // kConverted: the whole BMP. kFailed: what a conversion that writes front to back leaves
    // written: the header, the table when it could be read, and of the first row to go out (the
    // source's last) the whole blocks of 61,440 bytes that the source holds; nothing otherwise.
    Bytes bmp;
    // kConverted and kFailed: the rows a top-down encoder is handed, the source's complete rows
    // from the top (none when the table cannot be read).
    std::uint64_t topDownRows = 0;
    // kFailed: "Stream read error", or the refusal of a BMP over 4 GiB.
    std::string message;
};

// Conversion at k bytes per pixel, whatever the header says; pcxName: the colours are a 768-byte
// palette at the end, after the header and the rows (a shorter file has none), otherwise a
// 1,024-byte table at offset 54. toBmp: a BMP whose sizes would pass 32 bits is refused before
// anything is written.
Expectation ExpectedAt(std::span<const std::uint8_t> file, bool pcxName, int k, bool toBmp = true);

// The whole file as one conversion decides: not a picture (kSkipped), 8-bit (width × height wrapped
// to 32 bits = data size), 24-bit (3 × that = data size), or, when both hold, 8-bit tried first and
// 24-bit written when that went through (a failed 8-bit try leaves nothing).
// eightBitFirst: the window's rule instead, 8-bit whenever that test holds. toBmp: as above (the
// 8-bit try of a header that passes both tests is always a BMP's).
Expectation ExpectedConversion(std::span<const std::uint8_t> file, bool pcxName, bool eightBitFirst = false,
                               bool toBmp = true);

} // namespace pcx::test
