// The sprite reader and frame decoder against sprites made by the tests' own encoder: every encoding
// and placement decodes to the indices put in, the structure comes back as written, each kind of
// damage is named, and files are told apart.
#include "engine/byte_io.h"
#include "engine/def_sprite.h"
#include "engine/errors.h"
#include "tests/support/def_sprite_maker.h"

#include <gtest/gtest.h>

#include <functional>

namespace pcx {
namespace {

using test::Bytes;
using test::FrameDesign;
using test::GroupDesign;
using test::PatternFrame;
using test::SpriteDesign;

Sprite Read(const Bytes &bytes, const SpriteLimits &limits = {})
{
    MemorySource source(bytes);
    return ReadSprite(source, limits);
}

SpriteDesign OneGroup(std::vector<FrameDesign> frames, std::int32_t w = 64, std::int32_t h = 48)
{
    SpriteDesign design{0x42, w, h, test::SpritePalette(), std::move(frames), {}};
    design.groups.push_back({0, {}, {}});
    for (std::size_t i = 0; i < design.frames.size(); ++i)
        design.groups[0].frames.push_back(i);
    return design;
}

TEST(SpriteFrames, EveryEncodingAndPlacementDecodesToTheIndicesPutIn)
{
    struct Placement {
        const char *what;
        std::int32_t canvasWidth, canvasHeight, left, top, width, height;
    };
    const Placement placements[] = {
        {"the whole canvas", 70, 9, 0, 0, 70, 9},
        {"cropped at every edge", 80, 20, 5, 3, 61, 11},
        {"against the right and bottom edges", 40, 10, 8, 4, 32, 6},
        {"negative margins", 50, 12, -3, -2, 40, 9},
        {"past the right and bottom edges", 50, 12, 30, 8, 40, 9},
        {"one pixel", 3, 2, 2, 1, 1, 1},
        {"runs of 256 and more", 600, 3, 0, 0, 600, 3},
        {"a width that is no multiple of 32", 45, 4, 0, 0, 45, 4},
        {"a block and one pixel", 33, 2, 0, 0, 33, 2},
        {"nothing stored", 20, 10, 4, 4, 0, 0},
    };
    for (std::uint32_t encoding = 0; encoding < 4; ++encoding) {
        for (const Placement &p : placements) {
            SCOPED_TRACE(std::string(p.what) + ", encoding " + std::to_string(encoding));
            const FrameDesign frame = PatternFrame(encoding, p.canvasWidth, p.canvasHeight, p.left, p.top,
                                                 p.width, p.height, encoding + 1);
            const Sprite sprite = Read(test::MakeSprite(OneGroup({frame})).bytes);
            ASSERT_EQ(sprite.frames.size(), 1u);
            const RasterPicture stored = DecodeFrame(sprite, 0, FrameArea::kStored);
            EXPECT_EQ(stored.width, p.width);
            EXPECT_EQ(stored.height, p.height);
            EXPECT_TRUE(stored.pixels == frame.pixels);
            const RasterPicture canvas = DecodeFrame(sprite, 0);
            EXPECT_EQ(canvas.width, p.canvasWidth);
            EXPECT_EQ(canvas.height, p.canvasHeight);
            EXPECT_TRUE(canvas.pixels == test::OnCanvas(frame));
            EXPECT_TRUE(Bytes(canvas.palette.begin(), canvas.palette.end()) == test::SpritePalette());
        }
    }
}

TEST(SpriteStructure, GroupsShareFramesAndUnusedFramesAreNotRead)
{
    SpriteDesign design{0x43, 64, 32, test::SpritePalette(), {}, {}};
    for (std::uint32_t e = 0; e < 3; ++e)
        design.frames.push_back(PatternFrame(e + 1, 64, 32, 0, 0, 32, 8, e));
    design.frames[1].name = "thirteen.char"; // fills its 13 bytes, no zero after it
    FrameDesign unused = PatternFrame(1, 64, 32, 0, 0, 32, 8);
    unused.encoding = 9; // would be damage if it were read
    design.frames.push_back(unused);
    design.groups = {{7, {9, 8, 7, 6, 5, 4, 3, 2}, {0, 1, 2}}, {3, {}, {}}, {2, {}, {2, 1}}};

    const Sprite sprite = Read(test::MakeSprite(design).bytes);
    EXPECT_EQ(sprite.kind, 0x43u);
    EXPECT_EQ(sprite.canvasWidth, 64);
    EXPECT_EQ(sprite.canvasHeight, 32);
    EXPECT_TRUE(Bytes(sprite.palette.begin(), sprite.palette.end()) == design.palette);
    ASSERT_EQ(sprite.frames.size(), 3u);
    ASSERT_EQ(sprite.groups.size(), 3u);
    EXPECT_EQ(sprite.groups[0].id, 7u);
    EXPECT_EQ(sprite.groups[0].unknown, design.groups[0].unknown);
    EXPECT_TRUE(sprite.groups[1].frames.empty());
    ASSERT_EQ(sprite.groups[2].frames.size(), 2u);
    EXPECT_EQ(sprite.groups[2].frames[0].frame, sprite.groups[0].frames[2].frame);
    EXPECT_EQ(sprite.groups[2].frames[1].frame, sprite.groups[0].frames[1].frame);
    EXPECT_EQ(sprite.groups[2].frames[1].name, "thirteen.char");
    for (std::size_t i = 0; i < 3; ++i) {
        const SpriteFrameRef &ref = sprite.groups[0].frames[i];
        EXPECT_EQ(ref.name, design.frames[i].name);
        EXPECT_TRUE(DecodeFrame(sprite, ref.frame, FrameArea::kStored).pixels == design.frames[i].pixels);
    }
}

void Set32(Bytes &bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const Bytes &bytes, std::size_t at)
{
    return bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 | std::uint32_t(bytes.at(at + 3)) << 24;
}

TEST(DamagedSprites, EachFailsNamingWhatIsWrong)
{
    // Group 0: frames 0 (encoding 1, 20 × 5) and 1 (encoding 2, 20 × 5); group 1: frames 2
    // (encoding 3, 40 × 4, two blocks a row) and 3 (encoding 0, 7 × 3), then frame 1 again, which
    // keeps its first name.
    SpriteDesign design{0x42, 64, 48, test::SpritePalette(),
                    {PatternFrame(1, 64, 48, 1, 2, 20, 5), PatternFrame(2, 64, 48, 0, 0, 20, 5),
                     PatternFrame(3, 64, 48, 0, 0, 40, 4), PatternFrame(0, 64, 48, 0, 0, 7, 3)},
                    {{0, {}, {0, 1}}, {1, {}, {2, 3, 1}}}};
    const test::MadeSprite made = test::MakeSprite(design);
    const std::size_t group1Offsets = made.groupAt[1] + 16 + 3 * 13;
    auto header = [&](std::size_t frame, std::size_t field) { return made.frameAt[frame] + field; };
    auto data = [&](std::size_t frame) { return made.frameAt[frame] + 32; };
    using Patch = std::function<void(Bytes &)>;
    auto field = [](std::size_t at, std::uint32_t v) -> Patch { return [=](Bytes &b) { Set32(b, at, v); }; };
    auto byte = [](std::size_t at, std::uint8_t v) -> Patch { return [=](Bytes &b) { b.at(at) = v; }; };
    auto shorter = [&](std::size_t frame, std::uint32_t by) -> Patch {
        return [=](Bytes &b) { Set32(b, header(frame, 0), Get32(b, header(frame, 0)) - by); };
    };
    const std::string f0 = "frame 0 of group 0: ", f1 = "frame 1 of group 0: ";
    const std::string f2 = "frame 0 of group 1: ", f3 = "frame 1 of group 1: ";
    struct Case {
        const char *what;
        Patch patch;
        std::string message;
    };
    const Case cases[] = {
        {"cut in its palette", [](Bytes &b) { b.resize(500); }, "the file ends inside its header"},
        {"a canvas of no width", field(4, 0), "its canvas is 0 × 48"},
        {"a side over the limit", field(4, 40000), "its canvas of 40000 × 48 is too large"},
        {"a canvas more than the file can justify", field(4, 30000), "its canvas of 30000 × 48 is too large"},
        {"too many groups", field(12, 1000), "it has 1000 groups, more than the file can hold"},
        {"too many frames", field(made.groupAt[1] + 4, 100000), "group 1 has 100000 frames, more than the file can hold"},
        {"no groups", field(12, 0), "it has no frames"},
        {"an offset past the end", field(group1Offsets + 4, 1u << 30),
         f3 + "its offset 1073741824 points past the end of the file"},
        {"an offset into the header", field(group1Offsets, 800), f2 + "its offset 800 points into the sprite's header"},
        {"data past the end", field(header(3, 0), 1000), f3 + "its data runs past the end of the file"},
        {"frames overlapping", [&](Bytes &b) { Set32(b, header(0, 0), Get32(b, header(0, 0)) + 1); },
         f0 + "its data runs into " + f1.substr(0, f1.size() - 2)},
        {"an unknown encoding", field(header(2, 4), 4), f2 + "its encoding 4 is unknown"},
        {"a frame's canvas too large", field(header(1, 12), 1 << 16), f1 + "its canvas of 64 × 65536 is too large"},
        {"a negative rectangle", field(header(3, 16), 0xFFFFFFFF), f3 + "its stored rectangle of -1 × 3 is impossible"},
        {"a rectangle right of the canvas", field(header(0, 24), 64),
         f0 + "its stored rectangle of 20 × 5 at (64, 2) lies outside its canvas of 64 × 48"},
        {"a rectangle above the canvas", field(header(0, 28), 0xFFFFFFFB),
         f0 + "its stored rectangle of 20 × 5 at (1, -5) lies outside its canvas of 64 × 48"},
        {"a rectangle more than its data can hold", field(header(1, 20), 30000),
         f1 + "its stored rectangle of 20 × 30000 is more than its 94 bytes of data can hold"},
        {"raw pixels cut short", shorter(3, 1), f3 + "its stored rectangle of 7 × 3 is more than its 20 bytes of data can hold"},
        {"a row offset outside the data", field(data(0) + 4, 400), f0 + "row 1 starts outside the frame's data"},
        {"a row offset into the row table", field(data(0) + 4, 3), f0 + "row 1 starts outside the frame's data"},
        {"a pair's run past its row", byte(data(0) + 20 + 1, 25), f0 + "row 0 has a run past its end"},
        {"pairs cut short", shorter(0, 1), f0 + "row 4 runs past the end of the frame's data"},
        {"a control's run past its row", byte(data(1) + 10, 0x1F), f1 + "row 0 has a run past its end"},
        {"controls cut short", shorter(1, 1), f1 + "row 4 runs past the end of the frame's data"},
        {"the first row outside the data", field(data(1), 0xFFFF), f1 + "row 0 starts outside the frame's data"},
        {"a block outside the data", [&](Bytes &b) { b.at(data(2) + 2 * 5) = 0xFF; b.at(data(2) + 2 * 5 + 1) = 0xFF; },
         f2 + "block 1 of row 2 starts outside the frame's data"},
        {"block offsets cut short", field(header(2, 0), 8), f2 + "its block offsets run past the end of its data"},
        {"a block's run past its row", byte(data(2) + 16, 0xFF), f2 + "row 0 has a run past its end"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = made.bytes;
        c.patch(bytes);
        try {
            (void)Read(bytes);
            ADD_FAILURE() << "read without complaint";
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "damaged sprite: " + c.message);
        }
    }
    EXPECT_NO_THROW((void)Read(made.bytes));
}

TEST(SpriteRecognition, LodPcxFirstThenSpritesThenNothing)
{
    const Bytes sprite = test::MakeSprite(OneGroup({PatternFrame(1, 8, 8, 0, 0, 8, 8)}, 8, 8)).bytes;
    // A kind of 0x40 with a canvas of 8 × 8 passes the LOD PCX test too, and stays a LOD PCX.
    Bytes lodLike = sprite;
    Set32(lodLike, 0, 0x40);
    Bytes unknownKind = sprite;
    Set32(unknownKind, 0, 0x4A);
    const std::string text = "@ is not a sprite, nor is this line";
    struct Case {
        const char *what;
        Bytes bytes;
        PictureKind kind;
    };
    const Case cases[] = {
        {"a sprite", sprite, PictureKind::kSprite},
        {"a sprite cut after its header", Bytes(sprite.begin(), sprite.begin() + 16), PictureKind::kSprite},
        {"a sprite's start shorter than its header", Bytes(sprite.begin(), sprite.begin() + 15), PictureKind::kNone},
        {"a sprite that is also a LOD PCX", lodLike, PictureKind::kLodPcx},
        {"a LOD PCX", test::LodPcx(test::Pattern(7, 5, 1)), PictureKind::kLodPcx},
        {"an unknown kind", unknownKind, PictureKind::kNone},
        {"text", Bytes(text.begin(), text.end()), PictureKind::kNone},
    };
    for (const Case &c : cases) {
        MemorySource source(c.bytes);
        EXPECT_EQ(Recognise(source), c.kind) << c.what;
    }
}

} // namespace
} // namespace pcx
