// Loading and saving of the current picture: exact round trips, kept header fields, and broken
// files that must fail cleanly without touching the picture already held.
#include "bmp_fixture.h"

#include "engine/bmp_picture.h"
#include "engine/errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace pcx::test {
namespace {

constexpr char kNotValid[] = "Bitmap image is not valid";

std::vector<std::uint8_t> AllRows(const BmpPicture &picture)
{
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < picture.height(); ++y) {
        const auto row = picture.row(y);
        rows.insert(rows.end(), row.begin(), row.end());
    }
    return rows;
}

std::vector<std::uint8_t> Table(const BmpPicture &picture)
{
    return {picture.colourTable().begin(), picture.colourTable().end()};
}

template <typename F> std::string MessageOf(F &&action)
{
    try {
        action();
    } catch (const Error &error) {
        return error.what();
    }
    return "(no error)";
}

TEST(BmpPicture, StartsEmpty)
{
    const BmpPicture picture;
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_EQ(picture.width(), 0);
    EXPECT_EQ(picture.height(), 0);
}

struct RoundTripCase {
    TestImage image;
    std::string name;
};

// The name, not a dump of the bytes with their heap addresses, so CTest's names stay the same.
void PrintTo(const RoundTripCase &c, std::ostream *os)
{
    *os << c.name;
}

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

// Every row fill from 0 to 3 bytes, both depths, and the asymmetric "F".
std::vector<RoundTripCase> RoundTripCases()
{
    std::vector<RoundTripCase> cases;
    for (const int bits : {8, 24}) {
        cases.push_back({FShape(bits), "F_" + std::to_string(bits)});
        for (int width = 1; width <= 8; ++width)
            cases.push_back({PatternImage(width, 3, bits),
                             "w" + std::to_string(width) + "_" + std::to_string(bits)});
    }
    return cases;
}

TEST_P(RoundTrip, LoadsRowsTopDownAndSavesTheSameBytes)
{
    const TestImage &image = GetParam().image;
    const TempDir dir;
    const std::vector<std::uint8_t> file = BmpFile(image);
    WriteFile(dir.file("in.bmp"), file);

    BmpPicture picture;
    picture.Load(dir.file("in.bmp"));
    ASSERT_FALSE(picture.IsEmpty());
    EXPECT_EQ(picture.width(), image.width);
    EXPECT_EQ(picture.height(), image.height);
    EXPECT_EQ(picture.bitCount(), image.bitCount);
    EXPECT_EQ(AllRows(picture), image.rows);
    EXPECT_EQ(Table(picture), image.table);

    picture.Save(dir.file("out.bmp"));
    EXPECT_EQ(ReadFile(dir.file("out.bmp")), file);
}

INSTANTIATE_TEST_SUITE_P(Pictures, RoundTrip, testing::ValuesIn(RoundTripCases()),
                         [](const auto &info) { return info.param.name; });

TEST(BmpPicture, SavedSizesFollowTheRowRule)
{
    const TempDir dir;
    struct Case {
        TestImage image;
        std::uint32_t fileSize, imageSize;
    };
    for (const Case &c : {Case{PatternImage(3, 2, 8), 1086, 8}, Case{PatternImage(5, 2, 24), 86, 32}}) {
        WriteFile(dir.file("in.bmp"), BmpFile(c.image));
        BmpPicture picture;
        picture.Load(dir.file("in.bmp"));
        picture.Save(dir.file("out.bmp"));
        const auto bytes = ReadFile(dir.file("out.bmp"));
        ASSERT_EQ(bytes.size(), c.fileSize);
        EXPECT_EQ(bytes[2] | bytes[3] << 8 | bytes[4] << 16, static_cast<int>(c.fileSize));
        EXPECT_EQ(bytes[34] | bytes[35] << 8, static_cast<int>(c.imageSize));
    }
}

TEST(BmpPicture, ShortColourTableIsWidenedAndOtherFieldsAreKept)
{
    const TempDir dir;
    TestImage image = FShape(8);
    FileOptions options;
    options.tableEntries = 2;
    options.xPelsPerMeter = 2835;
    options.yPelsPerMeter = -1;
    options.coloursImportant = 2;
    options.gap = 6; // another writer may leave room before the rows
    WriteFile(dir.file("in.bmp"), BmpFile(image, options));

    BmpPicture picture;
    picture.Load(dir.file("in.bmp"));
    EXPECT_EQ(AllRows(picture), image.rows);
    std::fill(image.table.begin() + 8, image.table.end(), 0);
    EXPECT_EQ(Table(picture), image.table);

    picture.Save(dir.file("out.bmp"));
    options.tableEntries = 256;
    options.gap = 0;
    EXPECT_EQ(ReadFile(dir.file("out.bmp")), BmpFile(image, options));
}

TEST(BmpPicture, TrueColorKeepsResolutionAndColoursUsed)
{
    const TempDir dir;
    FileOptions options;
    options.xPelsPerMeter = 3780;
    options.yPelsPerMeter = 3779;
    options.coloursUsed = 7;
    options.coloursImportant = 3;
    const auto file = BmpFile(FShape(24), options);
    WriteFile(dir.file("in.bmp"), file);
    BmpPicture picture;
    picture.Load(dir.file("in.bmp"));
    EXPECT_TRUE(picture.colourTable().empty());
    picture.Save(dir.file("out.bmp"));
    EXPECT_EQ(ReadFile(dir.file("out.bmp")), file);
}

TEST(BmpPicture, LoadReplacesAPictureOfTheOtherDepth)
{
    const TempDir dir;
    WriteFile(dir.file("8.bmp"), BmpFile(FShape(8)));
    WriteFile(dir.file("24.bmp"), BmpFile(PatternImage(3, 2, 24)));
    BmpPicture picture;
    picture.Load(dir.file("8.bmp"));
    picture.Load(dir.file("24.bmp"));
    EXPECT_EQ(picture.bitCount(), 24);
    EXPECT_EQ(picture.width(), 3);
    EXPECT_TRUE(picture.colourTable().empty());
    EXPECT_EQ(AllRows(picture), PatternImage(3, 2, 24).rows);
}

void Put32At(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put16At(std::vector<std::uint8_t> &b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

struct BrokenCase {
    std::string name;
    int bitCount;
    std::function<void(std::vector<std::uint8_t> &)> breakIt;
};

std::function<void(std::vector<std::uint8_t> &)> Truncate(std::size_t size)
{
    return [size](std::vector<std::uint8_t> &b) { b.resize(size); };
}
std::function<void(std::vector<std::uint8_t> &)> Set32(std::size_t at, std::uint32_t v)
{
    return [at, v](std::vector<std::uint8_t> &b) { Put32At(b, at, v); };
}
std::function<void(std::vector<std::uint8_t> &)> Set16(std::size_t at, std::uint16_t v)
{
    return [at, v](std::vector<std::uint8_t> &b) { Put16At(b, at, v); };
}
std::function<void(std::vector<std::uint8_t> &)> Size(std::uint32_t w, std::uint32_t h)
{
    return [w, h](std::vector<std::uint8_t> &b) {
        Put32At(b, 18, w);
        Put32At(b, 22, h);
    };
}

std::vector<BrokenCase> BrokenCases()
{
    // The "F" files: 8 bits is 1078 + 8 x 7 = 1134 bytes, 24 bits is 54 + 16 x 7 = 166 bytes.
    return {
        {"Empty", 8, Truncate(0)},
        {"OneByte", 8, Truncate(1)},
        {"MagicOnly", 8, Truncate(2)},
        {"FileHeaderOnly", 8, Truncate(14)},
        {"HeaderLessOne", 8, Truncate(53)},
        {"HeaderOnly8", 8, Truncate(54)},
        {"HalfTable", 8, Truncate(54 + 512)},
        {"TableOnly", 8, Truncate(1078)},
        {"LastRowFillMissing8", 8, Truncate(1133)},
        {"HeaderOnly24", 24, Truncate(54)},
        {"HalfRows24", 24, Truncate(54 + 16 * 3 + 5)},
        {"LastRowFillMissing24", 24, Truncate(165)},
        {"MagicBA", 8, [](auto &b) { b[1] = 'A'; }},
        {"MagicMB", 24, [](auto &b) { std::swap(b[0], b[1]); }},
        {"Bits0", 8, Set16(28, 0)},
        {"Bits1", 8, Set16(28, 1)},
        {"Bits4", 8, Set16(28, 4)},
        {"Bits16", 24, Set16(28, 16)},
        {"Bits32", 24, Set16(28, 32)},
        {"Compression1", 8, Set32(30, 1)},
        {"Compression3", 24, Set32(30, 3)},
        {"InfoSize0", 8, Set32(14, 0)},
        {"InfoSize12", 8, Set32(14, 12)},
        {"InfoSize124", 24, Set32(14, 124)},
        {"Planes0", 8, Set16(26, 0)},
        {"Planes2", 24, Set16(26, 2)},
        {"HeightNegative", 8, Set32(22, static_cast<std::uint32_t>(-7))},
        {"HeightZero", 24, Set32(22, 0)},
        {"WidthZero", 8, Set32(18, 0)},
        {"WidthNegative", 24, Set32(18, static_cast<std::uint32_t>(-5))},
        {"WidthOverLimit", 8, Size(40000, 1)},
        {"HugeBothSides", 24, Size(0x7FFFFFFF, 0x7FFFFFFF)},
        {"HugeProductTinyFile", 24, Size(30000, 30000)},
        {"OverByteLimit8", 8, Size(20000, 20000)},
        {"UnderByteLimitTinyFile8", 8, Size(10000, 10000)},
        {"WrappingProduct", 8, Size(65536, 65536)},
        {"PixelOffset0", 24, Set32(10, 0)},
        {"PixelOffset10", 8, Set32(10, 10)},
        {"PixelOffset10_24", 24, Set32(10, 10)},
        {"PixelOffsetInsideTable", 8, Set32(10, 54)},
        {"PixelOffsetTableLessOne", 8, Set32(10, 1077)},
        {"PixelOffsetPastEnd", 24, Set32(10, 0xFFFFFFFF)},
        {"PixelOffsetRowsPastEnd", 24, Set32(10, 55)},
        {"ColoursUsed257", 8, Set32(46, 257)},
        {"ColoursUsed1000", 8, Set32(46, 1000)},
        {"ColoursUsedHuge", 8, Set32(46, 0x40000000)},
        {"TwoColoursOffsetInside", 8, [](auto &b) {
             Put32At(b, 46, 2);
             Put32At(b, 10, 54 + 4);
         }},
    };
}

void PrintTo(const BrokenCase &c, std::ostream *os)
{
    *os << c.name;
}

class BrokenFile : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFile, FailsAndKeepsThePreviousPicture)
{
    const TempDir dir;
    const TestImage previous = PatternImage(3, 2, 8);
    WriteFile(dir.file("good.bmp"), BmpFile(previous));
    std::vector<std::uint8_t> bytes = BmpFile(FShape(GetParam().bitCount));
    GetParam().breakIt(bytes);
    WriteFile(dir.file("bad.bmp"), bytes);

    BmpPicture picture;
    picture.Load(dir.file("good.bmp"));
    EXPECT_EQ(MessageOf([&] { picture.Load(dir.file("bad.bmp")); }), kNotValid);
    EXPECT_EQ(picture.width(), 3);
    EXPECT_EQ(picture.height(), 2);
    EXPECT_EQ(picture.bitCount(), 8);
    EXPECT_EQ(AllRows(picture), previous.rows);
    EXPECT_EQ(Table(picture), previous.table);
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenFile, testing::ValuesIn(BrokenCases()),
                         [](const auto &info) { return info.param.name; });

TEST(BmpPicture, MissingFileOrDirectoryCannotBeOpened)
{
    const TempDir dir;
    WriteFile(dir.file("good.bmp"), BmpFile(FShape(24)));
    BmpPicture picture;
    picture.Load(dir.file("good.bmp"));
    for (const std::string &name : {dir.file("missing.bmp"), dir.file("")}) {
        EXPECT_EQ(MessageOf([&] { picture.Load(name); }), "Cannot open file " + name);
    }
    EXPECT_EQ(MessageOf([&] { picture.Load(""); }), "Cannot open file ");
    EXPECT_EQ(AllRows(picture), FShape(24).rows);
}

TEST(BmpPicture, SaveFailures)
{
    const TempDir dir;
    WriteFile(dir.file("good.bmp"), BmpFile(FShape(8)));
    BmpPicture picture;
    picture.Load(dir.file("good.bmp"));

    const std::string missing = dir.file("no/such/dir/out.bmp");
    EXPECT_EQ(MessageOf([&] { picture.Save(missing); }), "Cannot create file " + missing);
    EXPECT_EQ(MessageOf([&] { picture.Save(""); }), "Cannot create file ");
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(MessageOf([&] { picture.Save("/dev/full"); }), "Stream write error");
    }
}

TEST(BmpPicture, EmptyPictureSavesNothing)
{
    const TempDir dir;
    BmpPicture().Save(dir.file("out.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bmp")));
}

} // namespace
} // namespace pcx::test
