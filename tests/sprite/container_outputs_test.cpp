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
