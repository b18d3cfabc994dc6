// Builders of the test pictures and their files.
#include "bmp_fixture.h"

#include <algorithm>
#include <iterator>

namespace pcx::test {

namespace {

void Add16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Add32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    Add16(out, v & 0xFFFF);
    Add16(out, v >> 16);
}

std::vector<std::uint8_t> DistinctTable()
{
    std::vector<std::uint8_t> table;
    for (int i = 0; i < 256; ++i) {
        table.push_back(static_cast<std::uint8_t>(i));
        table.push_back(static_cast<std::uint8_t>(255 - i));
        table.push_back(static_cast<std::uint8_t>(i ^ 0x5A));
        table.push_back(0);
    }
    return table;
}

} // namespace

bool FShapeIsSet(int x, int y)
{
    return x == 0 || y == 0 || (y == 3 && x < 4);
}

TestImage FShape(int bitCount)
{
    TestImage image{5, 7, bitCount, {}, {}};
    if (bitCount == 8) {
        image.table = DistinctTable();
        const std::uint8_t blue[] = {255, 0, 0, 0};
        const std::uint8_t red[] = {0, 0, 255, 0};
        std::copy(std::begin(blue), std::end(blue), image.table.begin() + 4 * kBlueIndex);
        std::copy(std::begin(red), std::end(red), image.table.begin() + 4 * kRedIndex);
    }
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const bool set = FShapeIsSet(x, y);
            if (bitCount == 8) {
                image.rows.push_back(set ? kRedIndex : kBlueIndex);
            } else {
                const std::uint8_t blue = set ? 0 : 255;
                image.rows.insert(image.rows.end(), {blue, 0, static_cast<std::uint8_t>(255 - blue)});
            }
        }
    }
    return image;
}

TestImage PatternImage(int width, int height, int bitCount)
{
    TestImage image{width, height, bitCount, {}, {}};
    if (bitCount == 8)
        image.table = DistinctTable();
    const int k = bitCount / 8;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * k; ++i)
            image.rows.push_back(static_cast<std::uint8_t>(i * 31 + y * 17 + 1));
    return image;
}

std::vector<std::uint8_t> BmpFile(const TestImage &image, const FileOptions &options)
{
    const bool indexed = image.bitCount == 8;
    const std::uint32_t k = indexed ? 1 : 3;
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(image.width) * k;
    const std::uint32_t stride = (rowBytes + 3) / 4 * 4;
    const std::uint32_t tableBytes = indexed ? options.tableEntries * 4 : 0;
    const std::uint32_t offset = 54 + tableBytes + options.gap;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(image.height);

    std::vector<std::uint8_t> out{'B', 'M'};
    Add32(out, offset + imageSize);
    Add32(out, 0);
    Add32(out, offset);
    Add32(out, 40);
    Add32(out, static_cast<std::uint32_t>(image.width));
    Add32(out, static_cast<std::uint32_t>(image.height));
    Add16(out, 1);
    Add16(out, image.bitCount);
    Add32(out, 0);
    Add32(out, imageSize);
    Add32(out, static_cast<std::uint32_t>(options.xPelsPerMeter));
    Add32(out, static_cast<std::uint32_t>(options.yPelsPerMeter));
    Add32(out, indexed ? options.tableEntries : options.coloursUsed);
    Add32(out, options.coloursImportant);
    if (indexed)
        out.insert(out.end(), image.table.begin(), image.table.begin() + tableBytes);
    out.insert(out.end(), options.gap, 0xEE);
    for (int y = image.height - 1; y >= 0; --y) {
        const auto row = image.rows.begin() + static_cast<std::ptrdiff_t>(y) * rowBytes;
        out.insert(out.end(), row, row + rowBytes);
        out.insert(out.end(), stride - rowBytes, 0);
    }
    return out;
}

} // namespace pcx::test
