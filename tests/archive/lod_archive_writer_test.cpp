// The archive writer and its edits, read back by the engine's reader and by an independent reading
// in Python: exact layout, packing only where it pays, the same bytes whatever the threads, every
// refusal before anything of the refused entry is written, and kept entries copied byte for byte.
#include "archive_checks.h"

#include "engine/errors.h"
#include "engine/lod_archive.h"
#include "engine/lod_archive_writer.h"
#include "tests/support/lod_archive_maker.h"
#include "tests/support/lod_pcx.h"
#include "tests/support/tool_run.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace pcx {
namespace {

using test::Bytes;
using test::Packing;

struct Input {
    std::string name;
    Bytes bytes;
    std::uint32_t type = 0;
};

std::vector<PackedEntry> PackAll(const std::vector<Input> &inputs, int level, unsigned threads)
{
    std::vector<PackedEntry> packed(inputs.size());
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            Deflater deflater(level);
            for (std::size_t i = t; i < inputs.size(); i += threads)
                packed[i] = deflater.Pack(inputs[i].name, inputs[i].bytes, inputs[i].type);
        });
    }
    for (auto &w : workers)
        w.join();
    return packed;
}

Bytes Written(const std::vector<PackedEntry> &entries, std::uint32_t kind = 200, const lod::Reserved &reserved = {})
{
    MemoryPositionedSink sink;
    LodArchiveWriter writer(sink, kind, reserved);
    for (const PackedEntry &e : entries)
        writer.Add(e);
    writer.Finish();
    return sink.bytes();
}

std::string Crc(std::span<const std::uint8_t> bytes)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lx", crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    return hex;
}

// The Python reading's lines for entries of these names, types and bytes, and the archive's header.
std::string PythonLines(const std::vector<Input> &entries, const LodArchive &archive)
{
    std::string lines = std::to_string(archive.kind()) + "\t" + Crc(archive.reserved()) + "\n";
    for (std::size_t i = 0; i < entries.size(); ++i)
        lines += entries[i].name + "\t" + std::to_string(entries[i].bytes.size()) + "\t" +
                 std::to_string(archive.entries()[i].packedSize) + "\t" + std::to_string(entries[i].type) + "\t" +
                 Crc(entries[i].bytes) + "\n";
    return lines;
}

// Checks the archive with both readers: it holds exactly these entries, in this order.
void ExpectHolds(const Bytes &bytes, const std::vector<Input> &entries)
{
    MemorySource source(bytes);
    const LodArchive archive(source);
    ASSERT_EQ(archive.entries().size(), entries.size());
    Inflater inflater;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(entries[i].name);
        EXPECT_EQ(archive.entries()[i].name(), entries[i].name);
        EXPECT_EQ(archive.entries()[i].type, entries[i].type);
        EXPECT_EQ(test::OpenedBytes(archive, i, inflater), entries[i].bytes);
    }
    const test::TempDir dir;
    test::WriteFile(dir.file("out.lod"), bytes);
    const test::ToolRun run = test::RunTool(READ_LOD, dir.path(), {"--written", "out.lod"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, PythonLines(entries, archive));
}

std::vector<Input> SomeInputs()
{
    return {
        {"ARROW.PCX", test::LodPcx(test::Pattern(64, 48, 1)), 16},
        {"noise.bin", test::Incompressible(5000), 2},
        {"Empty.txt", {}, 1},
        {"one", {42}},
        {"FIFTEEN_CHARS.X", test::Compressible(100000), 0x47},
        {"truecolor.pcx", test::LodPcx(test::Pattern(33, 17, 3)), 17},
    };
}

TEST(LodArchiveWriter, WritesTheLayoutBothReadersReadTheSameWhateverTheThreads)
{
    lod::Reserved reserved{};
    reserved[0] = 7, reserved[79] = 9;
    const std::vector<Input> inputs = SomeInputs();
    test::MadeArchive stored{.kind = 500, .reserved = reserved};
    for (const Input &in : inputs)
        stored.entries.push_back({.name = in.name, .data = in.bytes, .packing = Packing::kStored, .type = in.type});
    for (const int level : {0, 1, 4, 6, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        const std::vector<PackedEntry> packed = PackAll(inputs, level, 1);
        for (const PackedEntry &e : packed) {
            // Packed where that is smaller (never at level 0, never noise), stored otherwise.
            const bool pays = level > 0 && e.name != "noise.bin" && e.size > 8;
            EXPECT_EQ(e.packedSize != 0, pays) << e.name;
        }
        const Bytes written = Written(packed, 500, reserved);
        ExpectHolds(written, inputs);
        if (level == 0) // nothing packed: the made archive byte for byte
            EXPECT_EQ(written, test::MakeLodArchive(stored));
        for (const unsigned threads : {2u, 7u})
            EXPECT_EQ(Written(PackAll(inputs, level, threads), 500, reserved), written) << threads << " threads";
    }
}

TEST(LodArchiveWriter, RefusesNamesNoArchiveCanHold)
{
    struct Case {
        std::vector<std::string> names;
        std::string refused;
        std::string message;
    };
    const Case cases[] = {
        {{"SIXTEEN_BYTES.XY"}, "SIXTEEN_BYTES.XY", "the name is 16 bytes long, at most 15 are allowed"},
        {{std::string("A\0B", 3)}, std::string("A\0B", 3), "the name holds a zero byte"},
        {{"a\x1b[2J"}, "a\x1b[2J", "the name holds a control character"},
        {{"art/ARROW.PCX"}, "art/ARROW.PCX", "the name holds a \"/\""},
        {{".."}, "..", "the name is \"..\""},
        {{""}, "", "the name is empty"},
        {{"ok.pcx", "Arrow.pcx", "ARROW.PCX"}, "ARROW.PCX", "another entry has the same name (letter case ignored)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        const test::Refusal expected{c.refused, c.message};
        EXPECT_EQ(test::RefusalOf([&] { CheckNewNames(c.names); }), expected);
        // The writer refuses as well, before it writes anything of the entry.
        MemoryPositionedSink sink;
        LodArchiveWriter writer(sink);
        Deflater deflater;
        std::size_t before = 0;
        const test::Refusal refusal = test::RefusalOf([&] {
            for (const std::string &name : c.names) {
                before = sink.bytes().size();
                writer.Add(deflater.Pack(name, Bytes(100, 1)));
            }
        });
        EXPECT_EQ(refusal, expected);
        EXPECT_EQ(sink.bytes().size(), before);
    }

    std::vector<std::string> many;
    for (int i = 0; i <= 10000; ++i)
        many.push_back(std::to_string(i));
    EXPECT_EQ(test::RefusalOf([&] { CheckNewNames(many); }).entry, "10000");
}

// A source of any size whose first bytes are given and the rest zeros, and a sink that only counts:
// archives of gigabytes without the memory.
class ZerosAfter final : public ByteSource {
public:
    ZerosAfter(Bytes head, std::uint64_t size) : head_(std::move(head)), size_(size) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        const auto n = static_cast<std::size_t>(offset < size_ ? std::min<std::uint64_t>(into.size(), size_ - offset) : 0);
        std::fill_n(into.begin(), n, 0);
        MemorySource head(head_);
        (void)head.ReadAt(offset, into.first(n));
        return n;
    }
    std::uint64_t Size() override { return size_; }

private:
    Bytes head_;
    std::uint64_t size_;
};

class CountingSink final : public PositionedSink {
public:
    void Write(std::span<const std::uint8_t> bytes) override { count += bytes.size(); }
    void WriteAt(std::uint64_t, std::span<const std::uint8_t>) override {}
    void WriteFrom(ByteSource &, std::uint64_t, std::uint64_t size) override { count += size; }
    std::uint64_t count = 0;
};

TEST(LodArchiveWriter, RefusesToPassFourGiBAndEntriesOverOneGiB)
{
    const std::uint32_t gib = 1u << 30;
    test::MadeArchive made{.wholeDirectory = false};
    for (std::uint32_t i = 0; i < 5; ++i)
        made.entries.push_back({.name = "G" + std::to_string(i), .packing = Packing::kStored, .offset = 200 + i * gib, .size = gib});
    ZerosAfter source(test::MakeLodArchive(made), 200 + 5 * std::uint64_t{gib});
    const LodArchive archive(source);

    // An edit finds it before it writes anything.
    CountingSink sink;
    EXPECT_EQ(test::RefusalOf([&] { WriteEdited(archive, PlanEdit(archive, {}, {}), {}, sink); }),
              (test::Refusal{"G3", "the archive would pass 4 GiB, which its 32-bit offsets cannot address"}));
    EXPECT_EQ(sink.count, 0u);
    // The writer itself stops at the entry that would pass.
    LodArchiveWriter writer(sink);
    for (std::size_t i = 0; i < 3; ++i)
        writer.Copy(archive, i);
    EXPECT_THROW(writer.Copy(archive, 3), EntryError);

    // Bytes over 1 GiB are refused before they are read: the pages are never touched.
    const std::size_t over = std::size_t{gib} + 1;
    void *pages = mmap(nullptr, over, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    EXPECT_EQ(test::RefusalOf([&] {
                  (void)Deflater(6).Pack("huge", std::span(static_cast<const std::uint8_t *>(pages), over));
              }).message,
              "it is 1073741825 bytes, at most 1073741824 are allowed");
    munmap(pages, over);
}

TEST(LodArchiveWriter, EditsKeepWhatTheyDoNotChange)
{
    lod::Reserved reserved{};
    reserved.fill(0xA5);
    const test::MadeArchive made{
        .kind = 500,
        .reserved = reserved,
        .entries = {{.name = "A.PCX", .data = test::LodPcx(test::Pattern(20, 10, 1)), .type = 16},
                    {.name = "b.Pcx", .data = test::Incompressible(400), .packing = Packing::kStored, .type = 2},
                    {.name = "Junk.def", .data = test::Compressible(900, 5), .type = 0x43, .junk = "junk!"},
                    {.name = "Raw.pcx", .data = test::Compressible(2000, 3), .packing = Packing::kRawDeflate, .type = 17},
                    {.name = "far", .data = {1, 2, 3}, .packing = Packing::kStored, .offset = 0x7FFFFFFFu}},
        .dataReversed = true,
    };
    const Bytes old = test::MakeLodArchive(made);
    MemorySource oldSource(old);
    const LodArchive archive(oldSource);
    const Bytes fresh = test::Compressible(3000, 9);
    const Bytes changed = test::LodPcx(test::Pattern(7, 5, 3));

    struct Case {
        const char *what;
        std::vector<std::string> removed;
        std::vector<Input> added;
        std::vector<std::string> names; // the result, in order; the added ones as given
        std::string refused;            // or the entry refused, and why
        std::string message;
    };
    const Case cases[] = {
        {"a damaged entry removed", {"FAR"}, {}, {"A.PCX", "b.Pcx", "Junk.def", "Raw.pcx"}},
        {"another removed, case ignored", {"far", "B.PCX"}, {}, {"A.PCX", "Junk.def", "Raw.pcx"}},
        {"one added at the end", {"far"}, {{"NEW.PCX", fresh, 16}}, {"A.PCX", "b.Pcx", "Junk.def", "Raw.pcx", "NEW.PCX"}},
        {"one replaced in its slot, as spelled there",
         {"far"},
         {{"a.pcx", changed, 99}, {"NEW.PCX", fresh}},
         {"A.PCX", "b.Pcx", "Junk.def", "Raw.pcx", "NEW.PCX"}},
        {"the damaged one replaced", {}, {{"FAR", fresh}}, {"A.PCX", "b.Pcx", "Junk.def", "Raw.pcx", "far"}},
        {"removed and added again goes last", {"A.PCX", "far"}, {{"a.pcx", fresh}}, {"b.Pcx", "Junk.def", "Raw.pcx", "a.pcx"}},
        {"a name the archive lacks", {"far", "nothere"}, {}, {}, "nothere", "the archive holds no entry of that name"},
        {"a damaged entry kept", {}, {}, {}, "far", "damaged entry: its data runs to byte"},
        {"two added with one name", {"far"}, {{"x", fresh}, {"X", fresh}}, {}, "X",
         "another entry has the same name (letter case ignored)"},
    };
    Inflater inflater;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> addedNames;
        for (const Input &in : c.added)
            addedNames.push_back(in.name);
        MemoryPositionedSink sink;
        const test::Refusal refusal = test::RefusalOf(
            [&] { WriteEdited(archive, PlanEdit(archive, c.removed, addedNames), PackAll(c.added, 6, 2), sink); });
        EXPECT_EQ(refusal.entry, c.refused);
        EXPECT_EQ(refusal.message.substr(0, c.message.size()), c.message);
        if (!refusal.message.empty()) {
            EXPECT_TRUE(sink.bytes().empty());
            continue;
        }

        // What each name holds now: a kept entry its old stored bytes and type, an added one its input.
        MemorySource newSource(sink.bytes());
        const LodArchive edited(newSource);
        EXPECT_EQ(edited.kind(), 500u);
        EXPECT_EQ(edited.reserved(), reserved);
        std::vector<Input> expected;
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            const std::string &name = c.names[i];
            const auto input = std::ranges::find_if(c.added, [&](const Input &in) { return lod::SameName(in.name, name); });
            const auto old = archive.Find(name);
            if (input != c.added.end()) {
                const bool replaced =
                    old && std::ranges::none_of(c.removed, [&](const std::string &r) { return lod::SameName(r, name); });
                expected.push_back({name, input->bytes, replaced ? archive.entries()[*old].type : input->type});
                continue;
            }
            ASSERT_TRUE(old.has_value()) << name;
            EXPECT_EQ(edited.ReadStored(i), archive.ReadStored(*old)) << name;
            expected.push_back({name, test::OpenedBytes(archive, *old, inflater), archive.entries()[*old].type});
        }
        ExpectHolds(sink.bytes(), expected);
    }
}

TEST(LodArchiveWriter, OfTwinsDifferingInCaseTheFirstWinsAndBothAreKept)
{
    const Bytes bytes = test::MakeLodArchive({.entries = {{.name = "Twin.PCX", .data = {1}, .type = 1},
                                                          {.name = "twin.pcx", .data = {2}, .type = 2}}});
    MemorySource source(bytes);
    const LodArchive archive(source);
    EXPECT_EQ(archive.Find("TWIN.pcx"), 0u); // the first wins
    MemoryPositionedSink sink;
    WriteEdited(archive, PlanEdit(archive, {}, {}), {}, sink);
    ExpectHolds(sink.bytes(), {{"Twin.PCX", {1}, 1}, {"twin.pcx", {2}, 2}});

    const std::vector<std::string> twinName{"TWIN.PCX"};
    // No third entry of the twins' name.
    EXPECT_EQ(test::RefusalOf([&] { (void)PlanEdit(archive, {}, twinName); }).entry, "TWIN.PCX");
    // Removing the name removes the first twin; the second, alone now, can be replaced.
    const std::vector<EditSlot> plan = PlanEdit(archive, twinName, twinName);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].from, EditSlot::From::kAdded);
    EXPECT_EQ(plan[0].replaces, 1u);
}

} // namespace
} // namespace pcx
