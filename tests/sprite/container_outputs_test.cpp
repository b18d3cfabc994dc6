// Where the window puts an archive's entries' and a sprite's outputs, and what it does when it cannot
// (the frames themselves are checked against the oracle by the window's batch tests).
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

TEST(ContainerOutputs, FramesStopAtADirectoryThatCannotBeMade)
{
    const Bytes bytes = test::MakeSprite({0x42, 4, 3, test::SpritePalette(), {PatternFrame(0, 4, 3, 0, 0, 4, 3)},
                                          {{0, {}, {0}}}}).bytes;
    MemorySource source(bytes);
    const Sprite sprite = ReadSprite(source);
    test::TempDir dir;
    test::WriteFile(dir.path() / "blocked", {1});
    EXPECT_EQ(ErrorOf([&] { WriteFramesAsBmp(sprite, dir.file("blocked/cre")); }),
              "Cannot create file " + dir.file("blocked/cre/00-000.bmp"));
}

} // namespace
} // namespace pcx
