// What the writers make of a sprite: transparency by kind, output names, the sheet's layout and
// bands against frames placed by hand, and where the window puts an archive's entries' and a sprite's
// outputs (the frames themselves are checked against the oracle by the window's batch tests).
#include "engine/byte_io.h"
#include "engine/container_outputs.h"
#include "engine/def_sprite.h"
#include "engine/errors.h"
#include "engine/sprite_pictures.h"
#include "tests/support/def_sprite_maker.h"
#include "tests/support/lod_archive_maker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace pcx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PatternFrame;

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &e) {
        return e.what();
    }
    return "";
}

TEST(SpritePictures, AlphaByKind)
{
    struct Case {
        std::uint32_t kind;
        bool opaque;
        std::map<std::size_t, std::uint8_t> notOpaque;
    };
    const Case cases[] = {
        {0x42, false, {{0, 0}, {1, 64}, {4, 128}, {5, 0}, {6, 128}, {7, 64}}},
        {0x43, false, {{0, 0}, {1, 64}, {4, 128}}},
        {0x44, false, {{0, 0}, {1, 64}, {4, 128}}},
        {0x40, false, {{0, 0}}},
        {0x49, false, {{0, 0}}},
        {0x42, true, {}},
    };
    for (const Case &c : cases) {
        const AlphaTable alpha = SpriteAlpha(c.kind, c.opaque);
        for (std::size_t i = 0; i < alpha.size(); ++i) {
            const auto found = c.notOpaque.find(i);
            EXPECT_EQ(alpha[i], found == c.notOpaque.end() ? 255 : found->second)
                << "kind " << c.kind << (c.opaque ? " opaque" : "") << ", index " << i;
        }
    }
}

TEST(SpritePictures, OutputNamesArePaddedAndWidenWhenNeeded)
{
    EXPECT_EQ(FrameOutputName(0, 0), "00-000");
    EXPECT_EQ(FrameOutputName(2, 13), "02-013");
    EXPECT_EQ(FrameOutputName(123, 4567), "123-4567");
    EXPECT_EQ(FrameOutputName(4294967295u, 0), "4294967295-000");
}

TEST(SpriteSheet, EachGroupARowOfCellsAsLargeAsTheLargestCanvas)
{
    // Canvases of 10 × 6 and 12 × 5 make cells of 12 × 6; the empty group takes no row.
    test::SpriteDesign design{0x42, 12, 6, test::SpritePalette(),
                          {PatternFrame(1, 10, 6, 2, 1, 7, 4, 1), PatternFrame(3, 12, 5, -1, 0, 12, 5, 2),
                           PatternFrame(0, 10, 6, 0, 0, 10, 6, 3)},
                          {{4, {}, {0, 1}}, {5, {}, {}}, {9, {}, {0, 2, 0}}}};
    const Bytes bytes = test::MakeSprite(design).bytes;
    MemorySource source(bytes);
    const Sprite sprite = ReadSprite(source);
    const SheetLayout layout = LayOutSheet(sprite);
    EXPECT_EQ(layout.width, 36);
    EXPECT_EQ(layout.height, 12);
    EXPECT_EQ(layout.cellWidth, 12);
    EXPECT_EQ(layout.cellHeight, 6);
    ASSERT_EQ(layout.bands, 2u);

    // The sheet drawn pixel by pixel from where each frame should go.
    const std::size_t placed[][4] = {{0, 0, 0, 0}, {0, 1, 1, 12}, {2, 0, 0, 0}, {2, 1, 2, 12}, {2, 2, 0, 24}};
    Bytes expected(36 * 12, 0);
    ASSERT_EQ(layout.cells.size(), std::size(placed));
    for (std::size_t i = 0; i < layout.cells.size(); ++i) {
        const auto [group, number, frame, x] = placed[i];
        const SheetCell &cell = layout.cells[i];
        const std::int32_t y = group == 0 ? 0 : 6;
        EXPECT_EQ(cell.group, group);
        EXPECT_EQ(cell.number, number);
        EXPECT_EQ(cell.x, static_cast<std::int32_t>(x));
        EXPECT_EQ(cell.y, y);
        EXPECT_EQ(cell.frame, sprite.groups[group].frames[number].frame);
        const test::FrameDesign &f = design.frames[frame];
        const Bytes canvas = test::OnCanvas(f);
        for (std::int32_t r = 0; r < f.canvasHeight; ++r)
            for (std::int32_t c = 0; c < f.canvasWidth; ++c)
                expected[static_cast<std::size_t>((y + r) * 36 + static_cast<std::int32_t>(x) + c)] =
                    canvas[static_cast<std::size_t>(r * f.canvasWidth + c)];
    }
    // Frame by frame, the same frames under their names.
    const std::vector<FrameOutput> outputs = FrameOutputs(sprite);
    const char *names[] = {"04-000", "04-001", "09-000", "09-001", "09-002"};
    ASSERT_EQ(outputs.size(), std::size(names));
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        EXPECT_EQ(outputs[i].name, names[i]);
        EXPECT_EQ(outputs[i].frame, layout.cells[i].frame);
    }

    Bytes drawn;
    for (std::size_t band = 0; band < layout.bands; ++band) {
        const Bytes rows = DrawSheetBand(sprite, layout, band);
        drawn.insert(drawn.end(), rows.begin(), rows.end());
    }
    EXPECT_TRUE(drawn == expected);
}

TEST(SpriteSheet, TooLargeASheetIsRefused)
{
    // Two frames of 16384 × 16384 side by side: twice the most a sheet may have.
    test::SpriteDesign design{0x42, 16384, 16384, test::SpritePalette(),
                          {PatternFrame(1, 16384, 16384, 0, 0, 1, 1), PatternFrame(1, 16384, 16384, 0, 0, 1, 1)},
                          {{0, {}, {0, 1}}}};
    const Bytes bytes = test::MakeSprite(design).bytes;
    MemorySource source(bytes);
    const Sprite sprite = ReadSprite(source, SpriteLimits{.canvasFloorPixels = std::uint64_t{1} << 28});
    EXPECT_THROW((void)LayOutSheet(sprite), Error);
}

TEST(ContainerOutputs, DirectoriesNamedAfterArchivesAndSprites)
{
    test::TempDir dir;
    const std::string d = dir.path().string();
    test::WriteFile(dir.path() / "art.lod", test::MakeLodArchive({.entries = {{.name = "Cre.def", .data = {1}}}}));
    EXPECT_EQ(FramesDirectoryForSource(d + "/cre.def"), d + "/cre");
    EXPECT_EQ(FramesDirectoryForSource(d + "/art.lod/Cre.def"), d + "/art/Cre");

    // Only the directory named after the archive is made, and only for an output directly in it.
    MakeArchiveOutputDirectory(d + "/art.lod", d + "/elsewhere/x.bmp");
    MakeArchiveOutputDirectory(d + "/art.lod", d + "/art/deeper/x.bmp");
    EXPECT_FALSE(fs::exists(dir.path() / "elsewhere") || fs::exists(dir.path() / "art"));
    MakeArchiveOutputDirectory(d + "/art.lod", d + "/art/./x.bmp");
    EXPECT_TRUE(fs::is_directory(dir.path() / "art"));

    // A file in the way fails the output that needs the directory.
    test::WriteFile(dir.path() / "pics", {1});
    EXPECT_EQ(ErrorOf([&] { MakeArchiveOutputDirectory(d + "/pics.lod", d + "/pics/x.bmp"); }),
              "Cannot create file " + d + "/pics/x.bmp");
    const Bytes bytes = test::MakeSprite({0x42, 4, 3, test::SpritePalette(), {PatternFrame(0, 4, 3, 0, 0, 4, 3)},
                                          {{0, {}, {0}}}}).bytes;
    MemorySource source(bytes);
    EXPECT_EQ(ErrorOf([&] { WriteFramesAsBmp(ReadSprite(source), d + "/pics/cre"); }),
              "Cannot create file " + d + "/pics/cre/00-000.bmp");
}

} // namespace
} // namespace pcx
