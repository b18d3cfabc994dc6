// The expected conversion, from the byte layouts alone.
#include "conversion_oracle.h"

#include <algorithm>
#include <cstring>

namespace pcx::test {

namespace {

constexpr std::size_t kLodHeader = 12;
constexpr std::size_t kPalette = 768;
constexpr std::size_t kDefTableAt = 54;
constexpr std::size_t kBmpHeader = 54;
constexpr std::size_t kTable = 1024;
constexpr std::uint64_t kBlock = 61440;
constexpr std::uint64_t kMostBmp = 0xFFFFFFFF;
constexpr const char *kReadError = "Stream read error";

void PutLe(Bytes &b, std::size_t at, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The 54 bytes; sizes in wrapping 32-bit arithmetic, as a header for any width and height has them.
Bytes HeaderOf(std::int32_t w, std::int32_t h, int k)
{
    const std::uint32_t stride = (static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(k) + 3) & ~3u;
    const std::uint32_t image = stride * static_cast<std::uint32_t>(h);
    const std::uint32_t offset = k == 1 ? kBmpHeader + kTable : kBmpHeader;
    Bytes b(kBmpHeader, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe(b, 2, image + offset, 4);
    PutLe(b, 10, offset, 4);
    PutLe(b, 14, 40, 4);
    PutLe(b, 18, static_cast<std::uint32_t>(w), 4);
    PutLe(b, 22, static_cast<std::uint32_t>(h), 4);
    PutLe(b, 26, 1, 2);
    PutLe(b, 28, static_cast<std::uint32_t>(8 * k), 2);
    PutLe(b, 34, image, 4);
    PutLe(b, 46, k == 1 ? 256 : 0, 4);
    return b;
}

// The table, or false when the source cannot supply it whole.
bool TableOf(std::span<const std::uint8_t> file, bool pcxName, std::uint64_t pixelBytes, Bytes &table)
{
    table.assign(kTable, 0);
    if (!pcxName) {
        if (file.size() < kDefTableAt + kTable)
            return false;
        std::memcpy(table.data(), file.data() + kDefTableAt, kTable);
        return true;
    }
    if (file.size() < kLodHeader + pixelBytes + kPalette)
        return false;
    const std::size_t at = file.size() - kPalette;
    for (std::size_t i = 0; i < 256; ++i) {
        table[4 * i + 0] = file[at + 3 * i + 2];
        table[4 * i + 1] = file[at + 3 * i + 1];
        table[4 * i + 2] = file[at + 3 * i + 0];
    }
    return true;
}

} // namespace

LodFields FieldsOf(std::span<const std::uint8_t> file)
{
    const auto field = [&](std::size_t at) -> std::int32_t {
        if (file.size() < at + 4)
            return 0;
        return static_cast<std::int32_t>(std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8 |
                                         std::uint32_t{file[at + 2]} << 16 |
                                         std::uint32_t{file[at + 3]} << 24);
    };
    return {field(0), field(4), field(8)};
}

Bytes BmpOf(std::int32_t w, std::int32_t h, int k, std::span<const std::uint8_t> rowsTopDown,
            std::span<const std::uint8_t> colourTable)
{
    Bytes bmp = HeaderOf(w, h, k);
    if (k == 1)
        bmp.insert(bmp.end(), colourTable.begin(), colourTable.end());
    const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(k);
    const std::size_t fill = (4 - rowBytes % 4) % 4;
    for (std::size_t row = static_cast<std::size_t>(h); row-- > 0;) {
        const auto first = rowsTopDown.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
        bmp.insert(bmp.end(), first, first + static_cast<std::ptrdiff_t>(rowBytes));
        bmp.insert(bmp.end(), fill, 0);
    }
    return bmp;
}

Expectation ExpectedAt(std::span<const std::uint8_t> file, bool pcxName, int k, bool toBmp)
{
    const LodFields f = FieldsOf(file);
    const std::uint64_t rowBytes = f.width > 0 ? static_cast<std::uint64_t>(f.width) * k : 0;
    const std::uint64_t rows = f.height > 0 ? static_cast<std::uint64_t>(f.height) : 0;
    const std::uint64_t bmpSize = (k == 1 ? kBmpHeader + kTable : kBmpHeader) + rows * ((rowBytes + 3) & ~3ull);
    if (toBmp && bmpSize > kMostBmp)
        return {Expectation::Outcome::kFailed, k, {}, 0, "picture too large for BMP"};
    Expectation e{Expectation::Outcome::kFailed, k, HeaderOf(f.width, f.height, k), 0, kReadError};
    Bytes table;
    if (k == 1) {
        if (!TableOf(file, pcxName, rowBytes * rows, table))
            return e;
        e.bmp.insert(e.bmp.end(), table.begin(), table.end());
    }
    const std::uint64_t held = file.size() > kLodHeader ? file.size() - kLodHeader : 0;
    e.topDownRows = rowBytes == 0 ? rows : std::min(rows, held / rowBytes);
    if (rowBytes == 0 || held >= rowBytes * rows) {
        e.outcome = Expectation::Outcome::kConverted;
        e.message.clear();
        e.bmp = BmpOf(f.width, f.height, k, file.subspan(std::min(file.size(), kLodHeader)), table);
        return e;
    }
    // The source ends inside its last row (rows are written from the last), so no row is complete.
    const std::uint64_t lastRow = (rows - 1) * rowBytes;
    const std::uint64_t available = held > lastRow ? held - lastRow : 0;
    if (const std::uint64_t whole = available / kBlock * kBlock; whole > 0) {
        const auto from =
            file.subspan(static_cast<std::size_t>(kLodHeader + lastRow), static_cast<std::size_t>(whole));
        e.bmp.insert(e.bmp.end(), from.begin(), from.end());
    }
    return e;
}

Expectation ExpectedConversion(std::span<const std::uint8_t> file, bool pcxName, bool eightBitFirst, bool toBmp)
{
    const LodFields f = FieldsOf(file);
    if (f.width <= 0 || f.height <= 0)
        return {};
    const auto p = static_cast<std::int32_t>(static_cast<std::uint32_t>(f.width) *
                                             static_cast<std::uint32_t>(f.height));
    const bool indexed = p == f.dataSize;
    const bool trueColor = std::int64_t{p} * 3 == f.dataSize;
    if (indexed && (eightBitFirst || !trueColor))
        return ExpectedAt(file, pcxName, 1, toBmp);
    if (indexed) {
        const Expectation eight = ExpectedAt(file, pcxName, 1);
        if (eight.outcome == Expectation::Outcome::kFailed)
            return {Expectation::Outcome::kFailed, 1, {}, 0, eight.message};
    }
    if (trueColor)
        return ExpectedAt(file, pcxName, 3, toBmp);
    return {};
}

} // namespace pcx::test
