// Every sample and a few made pictures, cut at lengths from 0 to their full size (every length near
// a boundary, see NearABoundary), go through the header read, the classification and the
// conversion: each length is converted, passed over or refused with "Stream read error", exactly
// as much of the file as is there decides which (the shared oracle says how), the output holds
// exactly the BMP or what a refused conversion leaves, and the cut source is never changed. The BMP
// files the conversions give are cut at every length and must load only whole.
#include "engine/bmp_picture.h"
#include "engine/bmp_writer.h"
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/source_header.h"
#include "tests/support/conversion_oracle.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <span>

namespace pcx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

constexpr std::size_t kLodHeaderSize = 12;
constexpr std::size_t kDefTableEnd = 54 + 1024;

enum class Outcome { Converted, PassedOver, Refused };

struct SweepFile {
    std::string name;
    Bytes bytes;
};

std::vector<SweepFile> SweepFiles()
{
    std::vector<SweepFile> files;
    for (const auto &entry : fs::directory_iterator(SAMPLES_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != "README.md" && name != "generate.py")
            files.push_back({name, test::ReadFile(entry.path())});
    }
    // Sorted, so that each file keeps its test name from one run to the next.
    std::sort(files.begin(), files.end(),
              [](const SweepFile &a, const SweepFile &b) { return a.name < b.name; });
    files.push_back({"eight.pcx", test::LodPcx(test::Pattern(13, 7, 1), 5)});
    files.push_back({"table.def", test::LodPcx(test::Pattern(40, 30, 1), 0, false)});
    files.push_back({"true.PCX", test::LodPcx(test::Pattern(11, 5, 3))});
    files.push_back({"wide.pcx", test::LodPcx(test::Pattern(8, 4, 3))});
    // A row longer than a copy block: cut inside it, the blocks copied whole stay.
    files.push_back({"long.def", test::LodPcx(test::Pattern(21000, 1, 3))});
    return files;
}

// What a file cut to length must give, worked out from its bytes alone: the window's rule, the
// 8-bit reading first.
test::Expectation Expected(const SweepFile &file, std::size_t length)
{
    return test::ExpectedConversion(std::span(file.bytes).first(length), HasPcxExtension(file.name), true);
}

Outcome OutcomeOf(const test::Expectation &e)
{
    switch (e.outcome) {
    case test::Expectation::Outcome::kConverted:
        return Outcome::Converted;
    case test::Expectation::Outcome::kFailed:
        return Outcome::Refused;
    case test::Expectation::Outcome::kSkipped:
        break;
    }
    return Outcome::PassedOver;
}

// Every length where the outcome can turn: the header, the palette and table sizes, the end of the
// rows and the end of the file, each with a margin; between them every kStride-th length (a prime,
// so every remainder of a row width comes up), or every length with PCXCONV_FULL_SWEEP=1.
constexpr std::size_t kSmall = 2048; // every length below this: header, palette, table
constexpr std::size_t kMargin = 256;
constexpr std::size_t kStride = 61;

bool Near(std::size_t length, std::size_t mark)
{
    return length + kMargin >= mark && length <= mark + kMargin;
}

bool NearABoundary(const SweepFile &file, std::size_t length)
{
    std::size_t rowsEnd = 0;
    if (file.bytes.size() >= kLodHeaderSize) {
        const std::uint32_t s = file.bytes[0] | file.bytes[1] << 8 | file.bytes[2] << 16 |
                                static_cast<std::uint32_t>(file.bytes[3]) << 24;
        rowsEnd = kLodHeaderSize + s;
    }
    return length < kSmall || Near(length, kDefTableEnd) || Near(length, rowsEnd) ||
           Near(length, file.bytes.size());
}

std::size_t Stride()
{
    const char *full = std::getenv("PCXCONV_FULL_SWEEP");
    return full && std::string(full) == "1" ? 1 : kStride;
}

void PrintTo(const SweepFile &file, std::ostream *os)
{
    *os << file.name;
}

// One test per file, so that CTest can spread them over the cores.
class TruncationSweep : public testing::TestWithParam<SweepFile> {};

TEST_P(TruncationSweep, EveryCutIsConvertedPassedOverOrRefused)
{
    TempDir dir;
    const std::string output = dir.file("out.bmp");
    std::size_t converted = 0;
    {
        const SweepFile &file = GetParam();
        const std::string source = dir.file(file.name);
        test::WriteFile(source, file.bytes);
        // Cutting the one file shorter and shorter keeps the sweep to a truncate per length.
        const std::size_t stride = Stride();
        for (std::size_t length = file.bytes.size() + 1; length-- > 0;) {
            if (!NearABoundary(file, length) && length % stride != 0)
                continue;
            fs::resize_file(source, length);
            PlainRecord record;
            Outcome outcome = Outcome::PassedOver;
            std::string message;
            try {
                ReadSourceHeader(record, source);
                if (IsIndexed(record)) {
                    ConvertIndexed(record, output);
                    outcome = Outcome::Converted;
                } else if (IsTrueColor(record)) {
                    ConvertTrueColor(record, output);
                    outcome = Outcome::Converted;
                }
            } catch (const Error &e) {
                outcome = Outcome::Refused;
                message = e.what();
            }
            const test::Expectation expected = Expected(file, length);
            ASSERT_EQ(outcome, OutcomeOf(expected)) << "cut at " << length << ": " << message;
            if (outcome == Outcome::Refused) {
                ASSERT_EQ(message, expected.message) << "cut at " << length;
            }
            ASSERT_EQ(fs::file_size(source), length);
            // The whole BMP, or exactly what a refused conversion leaves: header, table, whole blocks.
            if (outcome != Outcome::PassedOver) {
                ASSERT_TRUE(test::ReadFile(output) == expected.bmp) << "cut at " << length;
            }
            if (outcome == Outcome::Converted) {
                ++converted;
                const Bytes cut(file.bytes.begin(),
                                file.bytes.begin() + static_cast<std::ptrdiff_t>(length));
                ASSERT_EQ(test::ReadFile(source), cut);
                BmpPicture picture;
                ASSERT_NO_THROW(picture.Load(output)) << "cut at " << length;
                ASSERT_EQ(picture.width(), std::stoi(record.panel(Panel::Width)));
            }
        }
        fs::remove(source);
    }
    // A picture converts at least whole, so the sweep cannot pass by converting nothing.
    if (OutcomeOf(Expected(GetParam(), GetParam().bytes.size())) != Outcome::PassedOver) {
        EXPECT_GE(converted, 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TruncationSweep, testing::ValuesIn(SweepFiles()),
                         [](const auto &info) {
                             std::string name = std::to_string(info.index) + "_";
                             for (const char c : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(BmpTruncationSweep, AConvertedBmpLoadsOnlyWhole)
{
    TempDir dir;
    for (const auto &[name, picture] :
         {std::pair{"eight.pcx", test::Pattern(13, 7, 1)}, std::pair{"true.pcx", test::Pattern(11, 5, 3)}}) {
        SCOPED_TRACE(name);
        const std::string source = dir.file(name), bmp = dir.file("cut.bmp");
        test::WriteFile(source, test::LodPcx(picture));
        PlainRecord record;
        ReadSourceHeader(record, source);
        if (picture.k == 1)
            ConvertIndexed(record, bmp);
        else
            ConvertTrueColor(record, bmp);
        const std::size_t full = fs::file_size(bmp);
        for (std::size_t length = full + 1; length-- > 0;) {
            fs::resize_file(bmp, length);
            BmpPicture loaded;
            std::string message;
            try {
                loaded.Load(bmp);
            } catch (const Error &e) {
                message = e.what();
            }
            if (length == full)
                ASSERT_EQ(message, "") << "the whole file does not load";
            else
                ASSERT_EQ(message, "Bitmap image is not valid") << "cut at " << length;
        }
    }
}

} // namespace
} // namespace pcx
