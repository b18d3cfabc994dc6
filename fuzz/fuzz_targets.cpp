// The fuzz targets. All work in memory through the engine's byte sources and sinks, and all check
// the result against the shared oracle or against the picture itself, so that a wrong conversion or
// a picture that changes on its way counts as a fault, not only a crash.
#include "fuzz_targets.h"
#include "fuzz_checks.h"

#include "engine/bmp_picture.h"
#include "engine/bmp_reader.h"
#include "engine/byte_io.h"
#include "engine/conversion.h"
#include "engine/errors.h"
#include "engine/lod_pcx_writer.h"
#include "cli/png_io.h"
#include "tests/support/conversion_oracle.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace pcx::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Expectation;

constexpr std::size_t kBmpHeaderSize = 54;
constexpr std::size_t kBmpTableSize = 1024;

// Window sizes the first byte picks from: single bytes and rows, sizes around a copy block and the
// default, so that window and block boundaries come up with small pictures.
constexpr std::array<std::uint64_t, 16> kWindows{
    ReadWindow{}.bytes, 1, 2, 3, 4, 5, 7, 12, 16, 61, 100, 4096, 61439, 61440, 61441, 122881};

const char *OutcomeName(Conversion::Outcome o)
{
    switch (o) {
    case Conversion::Outcome::kConverted:
        return "converted";
    case Conversion::Outcome::kSkipped:
        return "skipped";
    case Conversion::Outcome::kFailed:
        return "failed";
    }
    return "?";
}

Conversion::Outcome Mapped(Expectation::Outcome o)
{
    switch (o) {
    case Expectation::Outcome::kConverted:
        return Conversion::Outcome::kConverted;
    case Expectation::Outcome::kSkipped:
        return Conversion::Outcome::kSkipped;
    case Expectation::Outcome::kFailed:
        break;
    }
    return Conversion::Outcome::kFailed;
}

// Checks each row a top-down encoder is handed against the source's rows, as it comes.
class RowChecker final : public PictureEncoder {
public:
    explicit RowChecker(std::span<const std::uint8_t> file) : file_(file) {}
    void Begin(std::int32_t w, std::int32_t h, int k, std::span<const std::uint8_t> colours) override
    {
        width = w;
        height = h;
        bytesPerPixel = k;
        table.assign(colours.begin(), colours.end());
        rowBytes_ = static_cast<std::size_t>(w) * static_cast<std::size_t>(k);
        began = true;
    }
    void Row(std::span<const std::uint8_t> pixels) override
    {
        const std::size_t at = 12 + static_cast<std::size_t>(rowCount) * rowBytes_;
        Require(pixels.size() == rowBytes_ && at + rowBytes_ <= file_.size() &&
                    std::equal(pixels.begin(), pixels.end(), file_.begin() + static_cast<std::ptrdiff_t>(at)),
                "the encoder was given another row");
        ++rowCount;
    }
    void End() override { ended = true; }

    bool began = false, ended = false;
    std::int32_t width = 0, height = 0;
    int bytesPerPixel = 0;
    Bytes table;
    std::uint64_t rowCount = 0;

private:
    std::span<const std::uint8_t> file_;
    std::size_t rowBytes_ = 0;
};

} // namespace

void ConvertSource(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    const bool pcxName = (data[0] & 1) == 0;
    const ReadWindow window{kWindows[(data[0] >> 1) % kWindows.size()]};
    const bool toEncoder = (data[0] & 0x20) != 0;
    const ColourTableRule rule = pcxName ? ColourTableRule::kPaletteAtEnd : ColourTableRule::kTableAtOffset54;
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    const Expectation expected = test::ExpectedConversion(file, pcxName, false, !toEncoder);
    const test::LodFields fields = test::FieldsOf(file);

    MemorySource source(file);
    MemorySink sink;
    RowChecker encoder(file);
    const Conversion got = toEncoder ? ConvertWith(source, rule, encoder, window)
                                     : ConvertToBmp(source, rule, sink, window);
    if (got.outcome != Mapped(expected.outcome))
        Fail(std::string("outcome ") + OutcomeName(got.outcome) + ", expected " +
             OutcomeName(Mapped(expected.outcome)) + ": " + got.message);
    Require(got.header == SourceHeader{fields.dataSize, fields.width, fields.height},
            "the header read differs from the file's");
    switch (got.outcome) {
    case Conversion::Outcome::kSkipped:
        Require(got.message == kNotAnImage && sink.bytes().empty() && !encoder.began,
                "a skipped file wrote or said something");
        return;
    case Conversion::Outcome::kFailed:
        Require(got.message == expected.message, ("unexpected message: " + got.message).c_str());
        break;
    case Conversion::Outcome::kConverted:
        Require(got.bytesPerPixel == expected.k, "converted at the wrong depth");
        break;
    }

    if (toEncoder) {
        // Another encoder gets the rows from the top, as far as the source holds them.
        if (encoder.began) {
            Require(encoder.width == fields.width && encoder.height == fields.height &&
                        encoder.bytesPerPixel == expected.k,
                    "the encoder was given another size");
            Require(encoder.rowCount == expected.topDownRows,
                    "the encoder was given too few or too many rows");
            Require(encoder.table.size() == (expected.k == 1 ? kBmpTableSize : 0) &&
                        std::equal(encoder.table.begin(), encoder.table.end(),
                                   expected.bmp.begin() + kBmpHeaderSize),
                    "the encoder was given another colour table");
        } else {
            Require(got.outcome == Conversion::Outcome::kFailed && expected.topDownRows == 0,
                    "the encoder was never begun");
        }
        Require(encoder.ended == (got.outcome == Conversion::Outcome::kConverted), "End() out of place");
        return;
    }

    // The BMP, or exactly what a failed conversion leaves.
    Require(sink.bytes() == expected.bmp, "the bytes written differ from the oracle's");
    if (got.outcome != Conversion::Outcome::kConverted)
        return;

    // What the converter writes, the picture object must take.
    if (fields.width <= BmpPicture::kMaxSide && fields.height <= BmpPicture::kMaxSide) {
        MemorySource written(sink.bytes());
        BmpPicture loaded;
        try {
            loaded.Load(written);
        } catch (const Error &e) {
            Fail(std::string("a converted file does not load: ") + e.what());
        }
        Require(loaded.width() == fields.width && loaded.height() == fields.height &&
                    loaded.bitCount() == 8 * expected.k,
                "a converted file loads with other dimensions");
    }
}

void RoundTripPicture(const std::uint8_t *data, std::size_t size)
{
    MemorySource input(std::span(data, size));
    BmpPicture first;
    try {
        first.Load(input);
    } catch (const Error &e) {
        Require(std::string(e.what()) == "Bitmap image is not valid",
                (std::string("unexpected message: ") + e.what()).c_str());
        Require(first.IsEmpty(), "a failed load changed the picture");
        return;
    }
    const int w = first.width(), h = first.height(), bits = first.bitCount();
    Require(w > 0 && h > 0 && w <= BmpPicture::kMaxSide && h <= BmpPicture::kMaxSide,
            "a picture loaded with impossible dimensions");
    Require(bits == 8 || bits == 24, "a picture loaded with a depth other than 8 or 24 bits");
    Require(first.colourTable().size() == (bits == 8 ? kBmpTableSize : 0), "wrong colour table size");
    const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(bits / 8);

    MemorySink saved;
    try {
        first.Save(saved);
    } catch (const Error &e) {
        Fail(std::string("a loaded picture cannot be saved: ") + e.what());
    }
    const Bytes &savedBytes = saved.bytes();
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    const std::size_t offset = bits == 8 ? kBmpHeaderSize + kBmpTableSize : kBmpHeaderSize;
    Require(savedBytes.size() == offset + stride * static_cast<std::size_t>(h),
            "the saved file has the wrong size");
    Require((savedBytes[2] | savedBytes[3] << 8 | savedBytes[4] << 16 |
             static_cast<std::size_t>(savedBytes[5]) << 24) == savedBytes.size(),
            "the saved file size field is wrong");

    BmpPicture second;
    MemorySource savedSource(savedBytes);
    try {
        second.Load(savedSource);
    } catch (const Error &e) {
        Fail(std::string("a saved picture does not load: ") + e.what());
    }
    Require(second.width() == w && second.height() == h && second.bitCount() == bits,
            "the saved picture loads with other dimensions");
    Require(std::ranges::equal(first.colourTable(), second.colourTable()),
            "the saved picture has another colour table");
    for (int y = 0; y < h; ++y)
        Require(first.row(y).size() == rowBytes && std::ranges::equal(first.row(y), second.row(y)),
                "a row changed on saving");

    // A saved picture saves to the same bytes again.
    MemorySink again;
    second.Save(again);
    Require(again.bytes() == savedBytes, "saving a saved picture gives other bytes");
}

void ReadBackPicture(const std::uint8_t *data, std::size_t size)
{
    MemorySource input(std::span(data, size));
    RasterPicture picture;
    try {
        picture = LooksLikePng(std::span(data, std::min<std::size_t>(size, 8))) ? ReadPng(input) : ReadBmp(input).picture;
    } catch (const Error &) {
        return; // refused with a reason, which is all a reader owes a broken file
    }
    Require(picture.width > 0 && picture.height > 0 && (picture.k == 1 || picture.k == 3),
            "a picture read with impossible dimensions");
    Require(picture.pixels.size() == static_cast<std::size_t>(picture.width) *
                                         static_cast<std::size_t>(picture.height) *
                                         static_cast<std::size_t>(picture.k),
            "the pixels read do not fill the picture");

    MemorySink lod;
    MemorySink bmp;
    RasterPicture back;
    try {
        WriteLodPcx(picture, lod);
        MemorySource lodSource(lod.bytes());
        const Conversion conversion = ConvertToBmp(lodSource, ColourTableRule::kPaletteAtEnd, bmp);
        Require(conversion.outcome == Conversion::Outcome::kConverted, "a LOD PCX written does not convert");
        MemorySource bmpSource(bmp.bytes());
        back = ReadBmp(bmpSource).picture;
    } catch (const Error &e) {
        Fail(std::string("a picture read does not go back and forth: ") + e.what());
    }
    Require(back.width == picture.width && back.height == picture.height && back.k == picture.k,
            "the picture comes back with other dimensions");
    Require(back.pixels == picture.pixels, "the picture comes back with other pixels");
    Require(picture.k == 3 || back.palette == picture.palette, "the picture comes back with other colours");
}

} // namespace pcx::fuzz
