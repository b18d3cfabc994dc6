// The conversion core: read windows of every size, from memory and from a file, against the shared
// oracle; the same bytes as the window's file passes, the whole-file outcomes and the rows another
// encoder is handed.
#include "engine/bmp_writer.h"
#include "engine/byte_io.h"
#include "engine/conversion.h"
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/source_header.h"
#include "tests/support/conversion_oracle.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace pcx {
namespace {

using test::Bytes;
using Outcome = Conversion::Outcome;

ColourTableRule RuleOf(bool pcx)
{
    return pcx ? ColourTableRule::kPaletteAtEnd : ColourTableRule::kTableAtOffset54;
}

// The source in memory, cut to its first `length` bytes once `fullReads` reads have been served: a
// file that shrinks while it is being converted.
class ShrinkingSource final : public ByteSource {
public:
    ShrinkingSource(const Bytes &bytes, int fullReads, std::size_t length)
        : bytes_(bytes), fullReads_(fullReads), length_(length) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        MemorySource now{std::span(bytes_).first(fullReads_-- > 0 ? bytes_.size() : length_)};
        return now.ReadAt(offset, into);
    }
    std::uint64_t Size() override { return fullReads_ > 0 ? bytes_.size() : length_; }

private:
    const Bytes &bytes_;
    int fullReads_;
    std::size_t length_;
};

// Keeps the bytes and the size it was told to expect.
class ExpectingSink final : public ByteSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    void Expect(std::uint64_t bytes) override { expected_ = bytes; }
    Bytes bytes_;
    std::optional<std::uint64_t> expected_;
};

TEST(ConversionCore, EveryWindowSizeGivesTheOraclesBytes)
{
    struct Case {
        const char *what;
        test::Picture picture;
        bool pcx;
        std::size_t cut; // bytes taken off the end
    };
    const Case cases[] = {
        {"8-bit", test::Pattern(7, 9, 1), true, 0},
        {"24-bit", test::Pattern(5, 11, 3), true, 0},
        {"table at 54", test::Pattern(40, 30, 1), false, 0},
        {"cut in the last row", test::Pattern(5, 11, 3), true, 4},
        {"wide rows", test::Pattern(70000, 2, 1), false, 0},
        {"wide row cut after a whole block", test::Pattern(70000, 2, 1), false, 5000},
        {"rows read into place", test::Pattern(30, 9, 3), true, 0},
        {"rows read into place, cut", test::Pattern(30, 9, 3), true, 800},
        {"one pixel wide", test::Pattern(1, 999, 1), true, 0},
        {"one pixel wide, cut", test::Pattern(1, 999, 1), true, 768 + 333},
        // More rows to a window than one system call takes, cut in the second call's part.
        {"many rows read into place, cut", test::Pattern(64, 2000, 1), true, 768 + 64 * 500 + 7},
    };
    const test::TempDir dir;
    for (const Case &c : cases) {
        Bytes source = test::LodPcx(c.picture, 0, c.pcx);
        source.resize(source.size() - c.cut);
        const test::Expectation expected = test::ExpectedConversion(source, c.pcx);
        test::WriteFile(dir.file("source"), source);
        for (const std::uint64_t window : {std::uint64_t{1}, std::uint64_t{5}, std::uint64_t{24},
                                           std::uint64_t{61440}, std::uint64_t{70001}, ReadWindow{}.bytes,
                                           std::uint64_t{1} << 20}) {
            File file = File::OpenRead(dir.file("source"));
            FileSource onDisk(file);
            MemorySource inMemory(source);
            for (ByteSource *in : {static_cast<ByteSource *>(&inMemory), static_cast<ByteSource *>(&onDisk)}) {
                SCOPED_TRACE(std::string(c.what) + ", window " + std::to_string(window) +
                             (in == &onDisk ? ", from a file" : ", from memory"));
                ExpectingSink out;
                const Conversion result = ConvertToBmp(*in, RuleOf(c.pcx), out, ReadWindow{window});
                EXPECT_EQ(result.outcome, c.cut ? Outcome::kFailed : Outcome::kConverted) << result.message;
                EXPECT_TRUE(out.bytes_ == expected.bmp);
                if (!c.cut) { // told the very size it wrote
                    EXPECT_EQ(out.expected_, out.bytes_.size());
                }
            }
        }
    }
}

TEST(ConversionCore, ASourceShrinkingInALaterWindowLeavesTheRowsCompleted)
{
    // 4 × 6 at 24 bits, two rows a window: the bottom two go out before the source loses its rows
    // from inside row 3 on.
    const test::Picture p = test::Pattern(4, 6, 3);
    const Bytes source = test::LodPcx(p);
    ShrinkingSource in(source, 2, 12 + 3 * 12 + 5);
    MemorySink out;
    const Conversion result = ConvertToBmp(in, ColourTableRule::kPaletteAtEnd, out, ReadWindow{24});
    EXPECT_EQ(result.message, "Stream read error");
    const Bytes whole = test::ExpectedBmp(p, {});
    EXPECT_EQ(out.bytes(), Bytes(whole.begin(), whole.begin() + 54 + 2 * 12));
}

TEST(ConversionCore, MemoryHoldsWhatTheFilePassesWrite)
{
    const test::TempDir dir;
    const Bytes eight = test::LodPcx(test::Pattern(13, 7, 1));
    const Bytes cut(eight.begin(), eight.end() - 800);
    for (const auto &[name, bytes] : {std::pair{"a.pcx", eight},
                                      std::pair{"b.PCX", test::LodPcx(test::Pattern(6, 5, 3))},
                                      std::pair{"c.def", test::LodPcx(test::Pattern(40, 30, 1), 0, false)},
                                      std::pair{"cut.pcx", cut}}) {
        SCOPED_TRACE(name);
        test::WriteFile(dir.file(name), bytes);
        PlainRecord record;
        ReadSourceHeader(record, dir.file(name));
        try {
            if (IsIndexed(record))
                ConvertIndexed(record, dir.file("out.bmp"));
            else
                ConvertTrueColor(record, dir.file("out.bmp"));
        } catch (const Error &) {
        }
        MemorySource in(bytes);
        MemorySink out;
        (void)ConvertToBmp(in, ColourTableRuleFor(name), out);
        EXPECT_EQ(out.bytes(), test::ReadFile(dir.file("out.bmp")));
    }
}

TEST(ConversionCore, WholeFileOutcomes)
{
    struct Case {
        const char *what;
        Bytes source;
        bool pcx;
        Outcome outcome;
        std::string message;
        int k;
    };
    Bytes noTable = test::LodHeader(16, 4, 4);
    noTable.resize(12 + 16);
    Bytes shortPalette = test::LodPcx(test::Pattern(30, 30, 1));
    shortPalette.pop_back();
    const Case cases[] = {
        {"8-bit", test::LodPcx(test::Pattern(3, 2, 1)), true, Outcome::kConverted, "", 1},
        {"24-bit", test::LodPcx(test::Pattern(3, 2, 3)), false, Outcome::kConverted, "", 3},
        {"short header", Bytes{1, 0, 0, 0, 1, 0}, true, Outcome::kSkipped, kNotAnImage, 0},
        {"no test holds", test::LodHeader(7, 2, 3), true, Outcome::kSkipped, kNotAnImage, 0},
        {"no room for a palette", noTable, true, Outcome::kFailed, "Stream read error", 1},
        // Longer than 768 bytes, but its end is its own pixels.
        {"palette cut short", shortPalette, true, Outcome::kFailed, "Stream read error", 1},
        // 65,536 × 65,537 wraps to 65,536 = the data size: over 4 GiB of BMP.
        {"too large for BMP", test::LodHeader(65536, 65536, 65537), true, Outcome::kFailed, kTooLargeForBmp, 1},
        // 65,536 squared wraps to 0 = the data size: the 8-bit try comes first and fails.
        {"both tests", test::LodHeader(0, 65536, 65536), false, Outcome::kFailed, kTooLargeForBmp, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource in(c.source);
        DiscardSink out;
        const Conversion result = ConvertToBmp(in, RuleOf(c.pcx), out);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.bytesPerPixel, c.k);
        EXPECT_EQ(result.header, DecodeSourceHeader(c.source));
        if (c.message == kTooLargeForBmp) {
            EXPECT_EQ(out.count(), 0u); // refused before anything is written
        }
    }
}

class Collect final : public PictureEncoder {
public:
    void Begin(std::int32_t w, std::int32_t, int k, std::span<const std::uint8_t> colours) override
    {
        rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(k);
        table.assign(colours.begin(), colours.end());
    }
    void Row(std::span<const std::uint8_t> pixels) override
    {
        EXPECT_EQ(pixels.size(), rowBytes);
        rows.insert(rows.end(), pixels.begin(), pixels.end());
    }
    void End() override { ended = true; }
    std::size_t rowBytes = 0;
    Bytes table, rows;
    bool ended = false;
};

TEST(ConversionCore, AnotherEncoderGetsTheRowsTopDown)
{
    for (const auto &[p, window] : {std::pair{test::Pattern(7, 9, 1), std::uint64_t{3}},
                                    std::pair{test::Pattern(5, 11, 3), ReadWindow{}.bytes},
                                    std::pair{test::Pattern(70000, 2, 1), std::uint64_t{1}}}) {
        SCOPED_TRACE(p.width);
        const Bytes source = test::LodPcx(p);
        MemorySource in(source);
        Collect encoder;
        EXPECT_EQ(ConvertWith(in, ColourTableRule::kPaletteAtEnd, encoder, ReadWindow{window}).outcome,
                  Outcome::kConverted);
        EXPECT_TRUE(encoder.rows == p.pixels);
        EXPECT_EQ(encoder.table, p.k == 1 ? test::ColourTableFromPalette(p.palette) : Bytes{});
        EXPECT_TRUE(encoder.ended);
    }
}

} // namespace
} // namespace pcx
