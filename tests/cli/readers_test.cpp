// bmp2lodpcx's readers against damaged files: every cut and every flipped byte of a header either
// reads as a whole picture or fails with the program's error, never anything else.
#include "cli/png_io.h"
#include "engine/byte_io.h"
#include "engine/conversion.h"
#include "engine/errors.h"
#include "engine/bmp_reader.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

namespace pcx {
namespace {

using test::Bytes;
using Reader = RasterPicture (*)(ByteSource &);

// A 24-bit and an 8-bit picture as BMP or PNG, written by the tools' own code.
std::vector<Bytes> Samples(bool png)
{
    std::vector<Bytes> samples;
    for (const int k : {1, 3}) {
        const Bytes source = test::LodPcx(test::Pattern(13, 7, k));
        MemorySource in(source);
        MemorySink out;
        if (png) {
            PngEncoder encoder(out);
            EXPECT_EQ(ConvertWith(in, ColourTableRule::kPaletteAtEnd, encoder).outcome, Conversion::Outcome::kConverted);
        } else {
            EXPECT_EQ(ConvertToBmp(in, ColourTableRule::kPaletteAtEnd, out).outcome, Conversion::Outcome::kConverted);
        }
        samples.push_back(out.release());
    }
    return samples;
}

// The reader either fails with an Error or gives a picture whose pixels fill it exactly.
void ExpectClean(Reader read, const Bytes &bytes, const std::string &what)
{
    MemorySource source(bytes);
    try {
        const RasterPicture p = read(source);
        EXPECT_EQ(p.pixels.size(), static_cast<std::size_t>(p.width) * p.height * p.k) << what;
    } catch (const Error &) {
    }
}

class Damaged : public testing::TestWithParam<bool> {};

TEST_P(Damaged, FilesFailCleanly)
{
    const bool png = GetParam();
    const Reader read = png ? ReadPng : [](ByteSource &source) { return ReadBmp(source).picture; };
    for (const Bytes &whole : Samples(png)) {
        // A cut file fails, or (a PNG whose pixels end before its checksums and closing chunk)
        // gives every pixel: never a part of the picture.
        MemorySource all(whole);
        const RasterPicture expected = read(all);
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            MemorySource source(cut);
            try {
                const RasterPicture p = read(source);
                EXPECT_TRUE(png && p.pixels == expected.pixels) << "cut to " << n;
            } catch (const Error &) {
            }
        }
        for (std::size_t at = 0; at < std::min<std::size_t>(whole.size(), 128); ++at) {
            for (const std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
                Bytes flipped = whole;
                flipped[at] = value;
                ExpectClean(read, flipped, "byte " + std::to_string(at) + " = " + std::to_string(value));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Damaged, testing::Bool(),
                         [](const auto &info) { return std::string(info.param ? "Png" : "Bmp"); });

} // namespace
} // namespace pcx
