// Where the window puts an archive's entries' and a sprite's outputs, and a sprite's frames written
// there: each file against the BMP the shared oracle makes of the frame's canvas.
#include "engine/byte_io.h"
#include "engine/container_outputs.h"
#include "engine/def_sprite.h"
#include "engine/errors.h"
#include "tests/support/def_sprite_maker.h"
#include "tests/support/lod_archive_maker.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST(ContainerOutputs, FramesGoIntoTheDirectoryNamedAfterTheSprite)
{
    test::TempDir dir;
    test::WriteFile(dir.path() / "art.lod", test::MakeLodArchive({.entries = {{.name = "Cre.def", .data = {1}}}}));
    const std::string d = dir.path().string();
    EXPECT_EQ(FramesDirectoryForSource(d + "/cre.def"), d + "/cre");
    EXPECT_EQ(FramesDirectoryForSource("cre.def"), "cre");
    EXPECT_EQ(FramesDirectoryForSource(d + "/art.lod/Cre.def"), d + "/art/Cre");
    // Without an extension the sprite itself holds the name.
    EXPECT_EQ(FramesDirectoryForSource(d + "/sprite"), d + "/sprite.d");
}

TEST(ContainerOutputs, OnlyTheDirectoryNamedAfterTheArchiveIsMade)
{
    test::TempDir dir;
    const std::string archive = dir.file("art.lod");
    MakeArchiveOutputDirectory(archive, dir.file("elsewhere/x.bmp"));
    MakeArchiveOutputDirectory(archive, dir.file("art/deeper/x.bmp"));
    EXPECT_FALSE(fs::exists(dir.path() / "elsewhere"));
    EXPECT_FALSE(fs::exists(dir.path() / "art"));
    MakeArchiveOutputDirectory(archive, dir.file("art/./x.bmp"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "art"));
    MakeArchiveOutputDirectory(archive, dir.file("art/y.bmp")); // already there

    test::WriteFile(dir.path() / "pics", {1});
    EXPECT_EQ(ErrorOf([&] { MakeArchiveOutputDirectory(dir.file("pics.lod"), dir.file("pics/x.bmp")); }),
              "Cannot create file " + dir.file("pics/x.bmp"));
}

TEST(ContainerOutputs, EveryFrameOfEveryGroupAsTheCanvasBmp)
{
    const test::SpriteSpec spec{0x42, 9, 7, test::SpritePalette(),
                                {PatternFrame(1, 9, 7, 1, 1, 5, 4, 1), PatternFrame(2, 9, 7, -2, 3, 9, 7, 2)},
                                {{0, {}, {0, 1}}, {2, {}, {1}}}};
    const Bytes bytes = test::MakeSprite(spec).bytes;
    MemorySource source(bytes);
    const Sprite sprite = ReadSprite(source);
    test::TempDir dir;
    const fs::path out = dir.path() / "art" / "cre";
    std::vector<std::size_t> progress;
    WriteFramesAsBmp(sprite, out.string(), [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 3u);
        progress.push_back(done);
    });
    EXPECT_EQ(progress, (std::vector<std::size_t>{1, 2, 3}));

    const Bytes table = test::ColourTableFromPalette(spec.palette);
    const auto expected = [&](std::size_t frame) {
        return test::ExpectedBmp({9, 7, 1, test::OnCanvas(spec.frames[frame]), spec.palette}, table);
    };
    EXPECT_EQ(test::ReadFile(out / "00-000.bmp"), expected(0));
    EXPECT_EQ(test::ReadFile(out / "00-001.bmp"), expected(1));
    EXPECT_EQ(test::ReadFile(out / "02-000.bmp"), expected(1));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);

    // A file where the directory must go: the first output cannot be made, nothing is written.
    test::WriteFile(dir.path() / "blocked", {1});
    EXPECT_EQ(ErrorOf([&] { WriteFramesAsBmp(sprite, dir.file("blocked/cre")); }),
              "Cannot create file " + dir.file("blocked/cre/00-000.bmp"));
}

} // namespace
} // namespace pcx
