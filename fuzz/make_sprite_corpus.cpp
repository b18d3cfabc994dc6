// Writes the seeds of the sprite fuzz target with the tests' sprite encoder (the output is the same
// every time): small sprites of every kind of frame, and two damaged ones. Files found by fuzzing
// are kept beside them under their own names and are not touched here.
// Usage: make_sprite_corpus fuzz/corpus/sprite
#include "tests/support/def_sprite_maker.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

namespace {

using namespace pcx::test;

SpriteDesign Design(std::uint32_t kind, std::int32_t w, std::int32_t h, std::vector<FrameDesign> frames,
                std::vector<GroupDesign> groups)
{
    return {kind, w, h, SpritePalette(), std::move(frames), std::move(groups)};
}

std::map<std::string, Bytes> Seeds()
{
    std::map<std::string, Bytes> seeds;
    // A battle creature in encoding 1: negative margins, a frame shared by two groups.
    seeds["creature-encoding-1"] =
        MakeSprite(Design(0x42, 24, 16,
                        {PatternFrame(1, 24, 16, -2, 3, 20, 9, 1), PatternFrame(1, 24, 16, 5, -1, 19, 12, 2),
                         PatternFrame(1, 24, 16, 0, 0, 24, 16, 3)},
                        {{0, {}, {0, 1, 2}}, {2, {}, {1}}}))
            .bytes;
    // A map object in encoding 3: a whole block, a block and a bit, and a frame past the right edge.
    seeds["map-object-encoding-3"] =
        MakeSprite(Design(0x43, 64, 12,
                        {PatternFrame(3, 64, 12, 0, 0, 32, 12, 4), PatternFrame(3, 64, 12, 10, 2, 40, 7, 5),
                         PatternFrame(3, 64, 12, 40, 4, 33, 5, 6)},
                        {{0, {}, {0, 1, 2, 1}}}))
            .bytes;
    // Encodings 0 and 2, an empty group, a frame with nothing stored, an unused frame at the end.
    seeds["spell-encodings-0-2-unused"] =
        MakeSprite(Design(0x40, 16, 10,
                        {PatternFrame(0, 16, 10, 3, 2, 9, 6, 7), PatternFrame(2, 16, 10, 0, 1, 16, 8, 8),
                         PatternFrame(2, 16, 10, 4, 4, 0, 0, 9), PatternFrame(1, 16, 10, 0, 0, 4, 4, 10)},
                        {{0, {}, {0, 1}}, {1, {}, {}}, {6, {}, {2, 0}}}))
            .bytes;
    // A hero with long runs in every encoding on one wide canvas.
    seeds["hero-every-encoding"] =
        MakeSprite(Design(0x44, 300, 2,
                        {PatternFrame(0, 300, 2, 0, 0, 300, 2, 11), PatternFrame(1, 300, 2, 0, 0, 300, 2, 12),
                         PatternFrame(2, 300, 2, 0, 0, 300, 2, 13), PatternFrame(3, 300, 2, 0, 0, 300, 2, 14)},
                        {{0, {}, {0, 1}}, {1, {}, {2, 3}}}))
            .bytes;
    Bytes cut = seeds["creature-encoding-1"];
    cut.resize(cut.size() - 40);
    seeds["damaged-cut-short"] = cut;
    const MadeSprite made = MakeSprite(Design(0x43, 64, 12, {PatternFrame(3, 64, 12, 0, 0, 32, 12, 4)}, {{0, {}, {0}}}));
    Bytes outside = made.bytes;
    outside.at(made.frameAt[0] + 32 + 2 * 3) = 0xFF; // row 3's block starts past the frame's data
    outside.at(made.frameAt[0] + 32 + 2 * 3 + 1) = 0xFF;
    seeds["damaged-block-outside"] = outside;
    return seeds;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_sprite_corpus DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    for (const auto &[name, bytes] : Seeds())
        WriteFile(directory / name, bytes);
    return 0;
}
