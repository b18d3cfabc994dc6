// bmp2lodpcx from the outside: the way back from BMP and PNG, and what it refuses.
#include "tests/support/lod_pcx.h"
#include "tests/support/tool_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pcx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

test::ToolRun Tool(const std::string &program, const TempDir &dir, const std::vector<std::string> &args)
{
    return test::RunTool(program, dir.path(), args, 60);
}

void Put(Bytes &b, std::size_t at, std::uint32_t v, int n = 4)
{
    for (int i = 0; i < n; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP as image editors write them, straight from the format's table: bits 1, 4, 8 or 24, an
// information header of infoSize bytes, colours entries in its table, rows bottom-up or top-down.
struct BmpShape {
    const char *name;
    int bits;
    std::uint32_t infoSize;
    bool topDown;
    std::uint32_t colours; // in the table (0 for 24-bit)
};

Bytes Bmp(const BmpShape &s, const test::Picture &p)
{
    const std::size_t stride = (static_cast<std::size_t>(p.width) * s.bits + 31) / 32 * 4;
    const std::size_t offset = 14 + s.infoSize + 4 * s.colours;
    Bytes b(offset + stride * p.height, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 2, static_cast<std::uint32_t>(b.size()));
    Put(b, 10, static_cast<std::uint32_t>(offset));
    Put(b, 14, s.infoSize);
    Put(b, 18, static_cast<std::uint32_t>(p.width));
    Put(b, 22, static_cast<std::uint32_t>(s.topDown ? -p.height : p.height));
    Put(b, 26, 1, 2);
    Put(b, 28, static_cast<std::uint32_t>(s.bits), 2);
    Put(b, 46, s.bits == 24 ? 0 : s.colours);
    for (std::uint32_t i = 0; i < s.colours; ++i)
        for (int c = 0; c < 3; ++c)
            b[14 + s.infoSize + 4 * i + c] = p.palette[3 * i + 2 - c];
    const int k = s.bits == 24 ? 3 : 1;
    for (int y = 0; y < p.height; ++y) {
        std::uint8_t *row = &b[offset + stride * (s.topDown ? y : p.height - 1 - y)];
        for (int x = 0; x < p.width * k; ++x) {
            const std::uint8_t v = p.pixels[static_cast<std::size_t>(y) * p.width * k + x];
            if (s.bits >= 8)
                row[x] = v;
            else
                row[x * s.bits / 8] |= static_cast<std::uint8_t>(v << (8 - s.bits - x * s.bits % 8));
        }
    }
    return b;
}

// The pattern with its indices held below the colours a depth can address, and its palette beyond
// them black, as the LOD PCX written from such a BMP must be.
test::Picture Within(test::Picture p, int bits, std::uint32_t colours)
{
    if (p.k == 3)
        return p;
    for (auto &v : p.pixels)
        v = static_cast<std::uint8_t>(v % colours);
    std::fill(p.palette.begin() + 3 * colours, p.palette.end(), 0);
    (void)bits;
    return p;
}

const BmpShape kShapes[] = {
    {"TopDown24With124ByteHeader", 24, 124, true, 0},
    {"BottomUp24", 24, 40, false, 0},
    {"Indexed8With108ByteHeaderAnd16Colours", 8, 108, false, 16},
    {"TopDown8", 8, 124, true, 256},
    {"Indexed4", 4, 40, false, 16},
    {"Indexed1TopDown", 1, 40, true, 2},
};

void PrintTo(const BmpShape &s, std::ostream *os)
{
    *os << s.name;
}

class BmpInput : public testing::TestWithParam<BmpShape> {};

TEST_P(BmpInput, BecomesTheLodPcxOfItsPixels)
{
    const BmpShape &s = GetParam();
    TempDir dir;
    // Odd widths, so rows need their fill and packed rows end inside a byte.
    const test::Picture p = Within(test::Pattern(s.bits < 8 ? 13 : 7, 5, s.bits == 24 ? 3 : 1), s.bits,
                                   s.colours);
    test::WriteFile(dir.file("in.bmp"), Bmp(s, p));
    const test::ToolRun run = Tool(BMP2LODPCX, dir, {"in.bmp"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(test::ReadFile(dir.file("in.pcx")), test::LodPcx(p));
}

INSTANTIATE_TEST_SUITE_P(Shapes, BmpInput, testing::ValuesIn(kShapes),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Bmp2lodpcx, RoundTripGivesTheSameBytes)
{
    TempDir dir;
    const test::Picture pictures[] = {test::Pattern(7, 5, 1), test::Pattern(5, 2, 3), test::Pattern(8, 3, 3)};
    for (const auto &p : pictures) {
        for (const char *format : {"bmp", "png"}) {
            const Bytes source = test::LodPcx(p);
            test::WriteFile(dir.file("a.pcx"), source);
            const std::string middle = std::string("a.") + format;
            EXPECT_EQ(Tool(LODPCX2BMP, dir, {"-f", format, "a.pcx"}).status, 0);
            const test::ToolRun back = Tool(BMP2LODPCX, dir, {"-o", "back.pcx", middle});
            EXPECT_EQ(back.status, 0) << back.err;
            EXPECT_EQ(test::ReadFile(dir.file("back.pcx")), source) << format << " k " << p.k;
        }
    }
}

// A PNG as Pillow writes it: converted as the kind says, or refused with the reason.
struct PngCase {
    const char *kind;
    std::string refusal; // empty: converted
};

const PngCase kPngs[] = {
    {"indexed", ""}, {"grey", ""}, {"rgb", ""},
    {"rgba", "PNG pictures with an alpha channel cannot be written as LOD PCX"},
    {"grey-alpha", "PNG pictures with an alpha channel cannot be written as LOD PCX"},
    {"grey16", "PNG pictures with 16-bit channels cannot be written as LOD PCX"},
    {"indexed-transparent", "PNG pictures with transparency cannot be written as LOD PCX"},
    // Refused before the 900 MB it announces are taken.
    {"huge", "the PNG file is cut short: its picture is larger than its data can hold"},
};

void PrintTo(const PngCase &c, std::ostream *os)
{
    *os << c.kind;
}

class PngInput : public testing::TestWithParam<PngCase> {};

TEST_P(PngInput, ConvertsOrRefusesWithTheReason)
{
    const PngCase &c = GetParam();
    TempDir dir;
    ASSERT_EQ(test::RunTool(PIL_HELPER, dir.path(), {"make", c.kind, "in.png"}).status, 0);
    const test::ToolRun run = Tool(BMP2LODPCX, dir, {"in.png"});
    if (!c.refusal.empty()) {
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "bmp2lodpcx: in.png: " + c.refusal + "\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
        return;
    }
    EXPECT_EQ(run.status, 0) << run.err;
    // Back to PNG through lodpcx2bmp, Pillow must see the very pixels it wrote.
    ASSERT_EQ(Tool(LODPCX2BMP, dir, {"-f", "png", "-o", "out.png", "in.pcx"}).status, 0);
    const auto shown = [&](const char *file) {
        const std::string out = test::RunTool(PIL_HELPER, dir.path(), {"show", file}).out;
        return out.substr(out.rfind(' ')); // the pixels only: a grey PNG comes back indexed
    };
    EXPECT_EQ(shown("out.png"), shown("in.png"));
    const Bytes pcx = test::ReadFile(dir.file("in.pcx"));
    EXPECT_EQ(pcx.size(), std::string(c.kind) == "rgb" ? 12u + 5 * 3 * 3 : 12u + 5 * 3 + 768);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PngInput, testing::ValuesIn(kPngs), [](const auto &info) {
    std::string name = info.param.kind;
    std::erase(name, '-');
    return name;
});

TEST(Bmp2lodpcx, RefusesWhatALodPcxCannotHoldAndWritesNothing)
{
    TempDir dir;
    const test::Picture p = test::Pattern(4, 3, 3);
    const auto variant = [&](auto change) {
        Bytes b = Bmp({"", 24, 40, false, 0}, p);
        change(b);
        return b;
    };
    const std::pair<const char *, Bytes> cases[] = {
        {"rle.bmp", variant([](Bytes &b) { Put(b, 30, 1); })},
        {"32.bmp", variant([](Bytes &b) { Put(b, 28, 32, 2); })},
        {"16.bmp", variant([](Bytes &b) { Put(b, 28, 16, 2); })},
        {"core.bmp", variant([](Bytes &b) { Put(b, 14, 12); })},
        {"cut.bmp", variant([](Bytes &b) { b.resize(b.size() - 1); })},
        {"huge.bmp", variant([](Bytes &b) { Put(b, 18, 0x7FFFFFFF); Put(b, 22, 0x80000000); })},
        {"overlap.bmp", variant([](Bytes &b) { Put(b, 10, 20); })},
        {"text.bmp", Bytes{'h', 'i'}},
    };
    std::vector<std::string> names;
    for (const auto &[name, bytes] : cases) {
        test::WriteFile(dir.file(name), bytes);
        names.push_back(name);
    }
    const test::ToolRun run = Tool(BMP2LODPCX, dir, names);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "bmp2lodpcx: rle.bmp: compressed BMP pictures (RLE8) cannot be written as LOD PCX\n"
              "bmp2lodpcx: 32.bmp: 32-bit BMP pictures cannot be written as LOD PCX\n"
              "bmp2lodpcx: 16.bmp: 16-bit BMP pictures cannot be written as LOD PCX\n"
              "bmp2lodpcx: core.bmp: BMP information headers of 12 bytes are not supported (only 40, 108 and 124)\n"
              "bmp2lodpcx: cut.bmp: the BMP file is cut short: its rows end before the picture does\n"
              "bmp2lodpcx: huge.bmp: the picture is too large for a LOD PCX (over 2 GiB of pixels)\n"
              "bmp2lodpcx: overlap.bmp: the BMP rows start inside its header or colour table\n"
              "bmp2lodpcx: text.bmp: not a BMP or PNG picture\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(std::size(cases)));

    // Under another name an 8-bit picture would be read with a colour table at offset 54.
    test::WriteFile(dir.file("eight.bmp"), Bmp({"", 8, 40, false, 256}, test::Pattern(4, 3, 1)));
    const test::ToolRun def = Tool(BMP2LODPCX, dir, {"-o", "eight.def", "eight.bmp"});
    EXPECT_EQ(def.status, 1);
    EXPECT_EQ(def.err, "bmp2lodpcx: eight.def: an 8-bit picture keeps its colours only in a file named .pcx\n");
    EXPECT_FALSE(fs::exists(dir.file("eight.def")));
    test::WriteFile(dir.file("true.bmp"), Bmp({"", 24, 40, false, 0}, p));
    EXPECT_EQ(Tool(BMP2LODPCX, dir, {"-o", "true.def", "true.bmp"}).status, 0); // no colour table to lose

    const test::ToolRun usage = Tool(BMP2LODPCX, dir, {"-o", "x.pcx", "a.bmp", "b.bmp"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.err.starts_with("bmp2lodpcx: -o names the output of one FILE only\n")) << usage.err;
    EXPECT_TRUE(usage.err.ends_with("\nTry 'bmp2lodpcx --help'\n")) << usage.err;

    // It has no -r to point to.
    fs::create_directory(dir.path() / "d");
    const test::ToolRun directory = Tool(BMP2LODPCX, dir, {"d"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, "bmp2lodpcx: d: is a directory\n");
}

} // namespace
} // namespace pcx
