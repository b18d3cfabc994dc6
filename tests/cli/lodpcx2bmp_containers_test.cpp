// lodpcx2bmp on LOD archives and sprites, from the outside: which files it writes and with what
// bytes (against the tests' own BMP encoder and Pillow), what it prints, and its exit status.
#include "tests/cli/lodpcx2bmp_checks.h"
#include "tests/support/def_sprite_maker.h"
#include "tests/support/lod_archive_maker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <sstream>

namespace pcx {
namespace {

using namespace clitest;
using test::FrameDesign;
using test::PatternFrame;
using test::SpriteDesign;

// A battle creature: group 0 of three frames, group 3 of two; one frame shared by both, one with a
// canvas of its own, one sticking out of its canvas, one storing nothing; all four encodings.
SpriteDesign Creature()
{
    SpriteDesign design{0x42, 9, 7, test::SpritePalette(), {}, {}};
    design.frames = {PatternFrame(0, 9, 7, 1, 1, 5, 4, 1), PatternFrame(1, 11, 6, -2, 0, 8, 6, 2),
                   PatternFrame(3, 9, 7, 3, 2, 40, 5, 3), PatternFrame(2, 9, 7, 0, 0, 0, 0, 4)};
    design.groups = {{0, {}, {0, 1, 3}}, {3, {}, {2, 1}}};
    return design;
}

test::Picture Indexed(std::int32_t w, std::int32_t h, Bytes pixels, const SpriteDesign &design)
{
    return {w, h, 1, std::move(pixels), design.palette};
}

// Every frame file of a sprite under dir as BMP, each frame on its canvas or as stored.
std::map<std::string, Bytes> FrameFiles(const SpriteDesign &design, const std::string &dir, bool crop = false)
{
    std::map<std::string, Bytes> files;
    for (const test::GroupDesign &group : design.groups)
        for (std::size_t n = 0; n < group.frames.size(); ++n) {
            const FrameDesign &f = design.frames[group.frames[n]];
            if (crop && f.width * f.height == 0)
                continue;
            char name[32];
            std::snprintf(name, sizeof name, "/%02u-%03zu.bmp", static_cast<unsigned>(group.id), n);
            files[dir + name] =
                Expected(crop ? Indexed(f.width, f.height, f.pixels, design)
                              : Indexed(f.canvasWidth, f.canvasHeight, test::OnCanvas(f), design));
        }
    return files;
}

// The sheet: a row of cells per group, each cell as large as the largest canvas.
test::Picture Sheet(const SpriteDesign &design)
{
    std::int32_t cellW = 0, cellH = 0;
    std::size_t columns = 0;
    for (const test::GroupDesign &group : design.groups) {
        columns = std::max(columns, group.frames.size());
        for (const std::size_t i : group.frames) {
            cellW = std::max(cellW, design.frames[i].canvasWidth);
            cellH = std::max(cellH, design.frames[i].canvasHeight);
        }
    }
    const auto width = static_cast<std::int32_t>(columns) * cellW;
    test::Picture sheet = Indexed(width, cellH * static_cast<std::int32_t>(design.groups.size()), {}, design);
    sheet.pixels.assign(static_cast<std::size_t>(sheet.width * sheet.height), 0);
    for (std::size_t g = 0; g < design.groups.size(); ++g)
        for (std::size_t n = 0; n < design.groups[g].frames.size(); ++n) {
            const FrameDesign &f = design.frames[design.groups[g].frames[n]];
            const Bytes canvas = test::OnCanvas(f);
            for (std::int32_t y = 0; y < f.canvasHeight; ++y)
                for (std::int32_t x = 0; x < f.canvasWidth; ++x)
                    sheet.pixels[static_cast<std::size_t>((static_cast<std::int32_t>(g) * cellH + y) * width +
                                                          static_cast<std::int32_t>(n) * cellW + x)] =
                        canvas[static_cast<std::size_t>(y * f.canvasWidth + x)];
        }
    return sheet;
}

// What a run leaves: the files before it, with the outputs added or replaced.
std::map<std::string, Bytes> With(std::map<std::string, Bytes> files, const std::map<std::string, Bytes> &added)
{
    for (const auto &[name, bytes] : added)
        files[name] = bytes;
    return files;
}

// The alpha the format gives each index of a kind: its shadow and clear indices, all else opaque.
std::uint8_t Alpha(std::uint32_t kind, std::uint8_t index)
{
    constexpr std::uint8_t kCreature[] = {0, 64, 255, 255, 128, 0, 128, 64}; // 0x42
    constexpr std::uint8_t kShadowed[] = {0, 64, 255, 255, 128};              // 0x43, 0x44
    if (kind == 0x42 && index < std::size(kCreature))
        return kCreature[index];
    if ((kind == 0x43 || kind == 0x44) && index < std::size(kShadowed))
        return kShadowed[index];
    return index == 0 ? 0 : 255;
}

std::string Hex(const Bytes &bytes)
{
    std::ostringstream hex;
    for (const std::uint8_t b : bytes)
        hex << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
    return hex.str();
}

// What Pillow reads: size, palette, each pixel's index and alpha.
std::string PillowIndices(const test::Picture &p, std::uint32_t kind, bool opaque)
{
    Bytes alpha;
    for (const std::uint8_t index : p.pixels)
        alpha.push_back(opaque ? 255 : Alpha(kind, index));
    return std::to_string(p.width) + " " + std::to_string(p.height) + " " + Hex(p.palette) + " " + Hex(p.pixels) +
           " " + Hex(alpha) + "\n";
}

TEST(Lodpcx2bmpSprites, PngKeepsTheIndicesAndGivesEachKindItsTransparency)
{
    // Every index with a meaning of its own, around a stored rectangle on a larger canvas.
    FrameDesign frame{1, 12, 3, 1, 1, 10, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF}};
    for (const std::uint32_t kind : {0x40u, 0x42u, 0x43u, 0x44u, 0x45u}) {
        for (const bool opaque : {false, true}) {
            SCOPED_TRACE(std::to_string(kind) + (opaque ? " opaque" : ""));
            TempDir dir;
            SpriteDesign design{kind, 12, 3, test::SpritePalette(), {frame}, {{2, {}, {0}}}};
            test::WriteFile(dir.file("s.def"), test::MakeSprite(design).bytes);
            std::vector<std::string> args = {"-f", "png", "s.def"};
            if (opaque)
                args.push_back("--opaque");
            const test::ToolRun run = Tool(dir, args);
            EXPECT_EQ(run.status, 0) << run.err;
            const test::ToolRun shown = test::RunTool(PIL_HELPER, dir.path(), {"indices", "s/02-000.png"});
            EXPECT_EQ(shown.out, PillowIndices(Indexed(12, 3, test::OnCanvas(frame), design), kind, opaque)) << shown.err;
        }
    }
    TempDir dir;
    const SpriteDesign creature = Creature();
    test::WriteFile(dir.file("cre.def"), test::MakeSprite(creature).bytes);
    const test::ToolRun run = Tool(dir, {"--sheet", "-f", "png", "cre.def"});
    EXPECT_EQ(run.status, 0) << run.err;
    const test::ToolRun shown = test::RunTool(PIL_HELPER, dir.path(), {"indices", "cre.png"});
    EXPECT_EQ(shown.out, PillowIndices(Sheet(creature), 0x42, false)) << shown.err;
}

// The sources of every run. art.lod holds two pictures, a sprite, a file that is no picture, a
// damaged entry, one the default mask leaves out and b.PCX, which the archive cannot find by its name,
// in no order of names or offsets; broken.lod has
// a damaged directory. cre.def and cre.DEF are one sprite, cre.pcx a picture; bad.def has a frame
// offset past its end, big.def names one large canvas 300 times.
const test::Picture kEight = test::Pattern(7, 5, 1, 3);
const test::Picture kTwentyFour = test::Pattern(6, 3, 3, 4);

std::map<std::string, Bytes> Sources()
{
    using test::Packing;
    const Bytes sprite = test::MakeSprite(Creature()).bytes;
    const test::MadeArchive art{
        .entries = {{.name = "B.pcx", .data = test::LodPcx(kEight)},
                    {.name = "c.def", .data = sprite, .packing = Packing::kRawDeflate},
                    {.name = "x.pcx", .data = {'t', 'e', 'x', 't'}, .packing = Packing::kStored},
                    {.name = "a.PCX", .data = test::LodPcx(kTwentyFour), .packing = Packing::kStored, .junk = "junk"},
                    {.name = "bad.pcx", .data = test::LodPcx(kEight), .stored = Bytes(20, 0xAB)},
                    {.name = "notes.txt", .data = {'n'}, .packing = Packing::kStored},
                    {.name = "b.PCX", .data = test::LodPcx(kTwentyFour)}},
        .dataReversed = true};
    Bytes bad = sprite;
    bad[test::MakeSprite(Creature()).groupAt[0] + 16 + 3 * 13 + 2] = 0x7F; // group 0's first offset
    SpriteDesign big{0x43, 1024, 1024, test::SpritePalette(), {PatternFrame(0, 1024, 1024, 0, 0, 1, 1)}, {}};
    big.groups.push_back({0, {}, std::vector<std::size_t>(300, 0)});
    return {{"art.lod", test::MakeLodArchive(art)},
            {"broken.lod", test::MakeLodArchive({.count = 10001})},
            {"p.pcx", test::LodPcx(kEight)},
            {"B.pcx", test::LodPcx(kTwentyFour)},
            {"cre.def", sprite},
            {"cre.DEF", sprite},
            {"cre.pcx", test::LodPcx(kEight)},
            {"bad.def", bad},
            {"big.def", test::MakeSprite(big).bytes}};
}

std::map<std::string, Bytes> ArtOutputs(const std::string &dir)
{
    return With(FrameFiles(Creature(), dir + "/c"),
                {{dir + "/a.bmp", Expected(kTwentyFour)}, {dir + "/B.bmp", Expected(kEight)}});
}

struct RunCase {
    const char *name;
    std::vector<std::string> args;
    int status;
    std::string err;
    std::map<std::string, Bytes> outputs; // what the run leaves beside the sources
    std::map<std::string, Bytes> before = {}; // written before the run
    std::string out = {};
};

void PrintTo(const RunCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::string kBadEntry =
    "lodpcx2bmp: art.lod/b.PCX: not converted: the archive finds art.lod/B.pcx by this name (letter case ignored)\n"
    "lodpcx2bmp: art.lod/bad.pcx: damaged entry: its packed data is corrupt\n";
const std::string kNotAPicture = "lodpcx2bmp: art.lod/x.pcx: skipped: not a LOD PCX image\n";
const std::string kBrokenArchive =
    "lodpcx2bmp: broken.lod: damaged archive: it holds 10001 entries, at most 10000 are allowed\n";
const Bytes kOld = {'o', 'l', 'd'};

const RunCase kRunCases[] = {
    {"ArchiveIntoTheDirectoryNamedAfterIt", {"art.lod"}, 1, kBadEntry + kNotAPicture, ArtOutputs("art")},
    {"ArchiveUnderD", {"-d", "out", "art.lod", "p.pcx"}, 1, kBadEntry + kNotAPicture,
     With(ArtOutputs("out"), {{"out/p.bmp", Expected(kEight)}})},
    {"ArchiveMask", {"--mask", "b*; *.DEF", "art.lod"}, 1, kBadEntry,
     With(FrameFiles(Creature(), "art/c"), {{"art/B.bmp", Expected(kEight)}})},
    {"OneEntry", {"art.lod/b.PCX"}, 0, "", {{"art/B.bmp", Expected(kEight)}}},
    {"OneEntryToO", {"-o", "one.bmp", "art.lod/A.pcx"}, 0, "", {{"one.bmp", Expected(kTwentyFour)}}},
    {"DamagedArchive", {"broken.lod", "p.pcx", "art.lod/nope.pcx"}, 1,
     kBrokenArchive + "lodpcx2bmp: art.lod/nope.pcx: cannot open: No such file or directory\n",
     {{"p.bmp", Expected(kEight)}}},
    {"EntryAndFileCollide", {"-d", "out", "art.lod", "B.pcx"}, 1,
     kBadEntry + kNotAPicture + "lodpcx2bmp: B.pcx: its output out/B.bmp would replace the output of art.lod/B.pcx\n",
     ArtOutputs("out")},
    {"EntryKept", {"-n", "art.lod"}, 1,
     "lodpcx2bmp: art.lod/B.pcx: skipped: art/B.bmp exists\n" + kBadEntry + kNotAPicture,
     With(ArtOutputs("art"), {{"art/B.bmp", kOld}}), {{"art/B.bmp", kOld}}},
    {"Info", {"--info", "art.lod", "broken.lod", "cre.def", "p.pcx"}, 1, kBadEntry + kBrokenArchive, {}, {},
     "art.lod/a.PCX\t6\t3\t54\t24-bit\n"
     "art.lod/B.pcx\t7\t5\t35\t8-bit\n"
     "art.lod/c.def\t9\t7\t1269\tsprite\t0x42\tbattle creature\t2\t5\n"
     "art.lod/x.pcx\t0\t0\t1954047348\tnot a LOD PCX image\n" // "text" read as its data size
     "cre.def\t9\t7\t1269\tsprite\t0x42\tbattle creature\t2\t5\n"
     "p.pcx\t7\t5\t35\t8-bit\n"},
    {"SpriteBesideItself", {"cre.def"}, 0, "", FrameFiles(Creature(), "cre")},
    {"SpriteUnderD", {"-d", "out", "cre.def"}, 0, "", FrameFiles(Creature(), "out/cre")},
    {"SpriteIntoTheDirectoryONames", {"-o", "frames/", "cre.def"}, 0, "", FrameFiles(Creature(), "frames")},
    {"SpriteCropped", {"--crop", "cre.def"}, 0, "lodpcx2bmp: cre.def: frame 00-002 stores no pixel: no file for it\n",
     FrameFiles(Creature(), "cre", true)},
    {"SpriteSheet", {"--sheet", "cre.def"}, 0, "", {{"cre.bmp", Expected(Sheet(Creature()))}}},
    // A sprite and a picture of one name do not meet; two sprites do.
    {"SpritesCollide", {"cre.def", "cre.pcx", "cre.DEF"}, 1,
     "lodpcx2bmp: cre.DEF: its output cre/00-000.bmp would replace the output of cre.def\n",
     With(FrameFiles(Creature(), "cre"), {{"cre.bmp", Expected(kEight)}})},
    {"FramesKept", {"-n", "cre.def"}, 0, "lodpcx2bmp: cre.def: kept 1 of its 5 frame files, which exist in cre/\n",
     With(FrameFiles(Creature(), "cre"), {{"cre/03-000.bmp", kOld}}), {{"cre/03-000.bmp", kOld}}},
    {"DamagedSprite", {"bad.def", "p.pcx"}, 1,
     "lodpcx2bmp: bad.def: damaged sprite: frame 0 of group 0: its offset 8323973 points past the end of the file\n",
     {{"p.bmp", Expected(kEight)}}},
    {"FramesTooLargeTogether", {"big.def"}, 1,
     "lodpcx2bmp: big.def: its frames would take 314572800 pixels together, more than the 268435456 allowed for "
     "a sprite of 5933 bytes\n",
     {}},
    {"SheetTooLarge", {"--sheet", "big.def"}, 1, "lodpcx2bmp: big.def: a sheet of 307200 × 1024 pixels is too large\n",
     {}},
};

class Runs : public testing::TestWithParam<std::tuple<RunCase, int>> {};

TEST_P(Runs, WriteWhatTheFormatsGiveAndNothingElse)
{
    const auto &[c, jobs] = GetParam();
    TempDir dir;
    const std::map<std::string, Bytes> sources = Sources();
    for (const auto &[name, bytes] : With(sources, c.before)) {
        fs::create_directories((dir.path() / name).parent_path());
        test::WriteFile(dir.file(name), bytes);
    }
    std::vector<std::string> args = {"-j", std::to_string(jobs)};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::ToolRun run = Tool(dir, args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, c.out);
    EXPECT_TRUE(Tree(dir.path()) == With(sources, c.outputs));
    ExpectNoLeftovers(dir.path());
}

INSTANTIATE_TEST_SUITE_P(Containers, Runs, testing::Combine(testing::ValuesIn(kRunCases), testing::Values(1, 3)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_j" +
                                    std::to_string(std::get<1>(info.param));
                         });

} // namespace
} // namespace pcx
