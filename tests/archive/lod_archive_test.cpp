// The archive reader against archives the maker writes from the layout table: every way of storing
// an entry read back, every damaged directory refused with its reason, every damaged entry failing
// alone, and conversions working on entries as on files, also where ARCHIVE/ENTRY is opened by name.
#include "archive_checks.h"

#include "engine/bmp_writer.h"
#include "engine/conversion.h"
#include "engine/errors.h"
#include "engine/lod_archive.h"
#include "engine/named_source.h"
#include "engine/source_header.h"
#include "tests/support/lod_archive_maker.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>

namespace pcx {
namespace {

using test::Bytes;
using test::MadeArchive;
using test::MadeEntry;
using test::Packing;

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

TEST(LodArchiveReader, ReadsEveryEntryAsMade)
{
    const Bytes picture = test::Compressible(5000);
    lod::Reserved reserved{};
    for (std::size_t i = 0; i < reserved.size(); ++i)
        reserved[i] = static_cast<std::uint8_t>(i * 3 + 1);
    const std::vector<MadeEntry> mixed{
        {.name = "A.PCX", .data = picture, .packing = Packing::kStored, .type = 16},
        {.name = "bb.pcx", .data = test::Compressible(777, 2), .type = 17},
        {.name = "Raw.Def", .data = picture, .packing = Packing::kRawDeflate, .type = 0x47},
        {.name = "empty.txt", .packing = Packing::kStored},
        {.name = "EmptyPacked"},
        {.name = "FIFTEEN_CHARS.X", .data = test::Incompressible(40)},
    };
    struct Case {
        const char *what;
        MadeArchive archive;
    };
    std::vector<Case> cases{
        {"stored, zlib and raw deflate", {.entries = mixed}},
        {"data in reverse order", {.entries = mixed, .dataReversed = true}},
        {"only the used slots", {.entries = mixed, .wholeDirectory = false}},
        {"kind 500 and reserved bytes", {.kind = 500, .reserved = reserved, .entries = mixed}},
        {"entries sharing their data",
         {.entries = {{.name = "one", .data = picture},
                      {.name = "two", .data = picture},
                      {.name = "three", .data = picture, .packing = Packing::kStored}},
          .sharedData = true}},
        {"no entries", {}},
    };
    cases.push_back({"junk after a name", {.entries = {{.name = "Junk.pcx", .data = picture, .junk = "\x7f\xffgarbage"}, mixed[1]}}});

    Inflater inflater;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes bytes = test::MakeLodArchive(c.archive);
        MemorySource source(bytes);
        ASSERT_TRUE(IsLodArchive(source));
        const LodArchive archive(source);
        EXPECT_EQ(archive.kind(), c.archive.kind);
        EXPECT_EQ(archive.reserved(), c.archive.reserved);
        ASSERT_EQ(archive.entries().size(), c.archive.entries.size());
        for (std::size_t i = 0; i < c.archive.entries.size(); ++i) {
            const MadeEntry &made = c.archive.entries[i];
            const LodEntry &entry = archive.entries()[i];
            SCOPED_TRACE(made.name);
            EXPECT_EQ(entry.name(), made.name);
            EXPECT_EQ(entry.type, made.type);
            EXPECT_TRUE(entry.sound());
            EXPECT_EQ(archive.Find(Upper(made.name)), i);
            EXPECT_EQ(test::OpenedBytes(archive, i, inflater), made.data);
            Bytes unpacked(made.data.size());
            archive.UnpackInto(i, unpacked, inflater);
            EXPECT_EQ(unpacked, made.data);
            const Bytes stored = made.packing == Packing::kZlib         ? test::ZlibPacked(made.data)
                                 : made.packing == Packing::kRawDeflate ? test::RawDeflated(made.data)
                                                                        : made.data;
            EXPECT_EQ(archive.ReadStored(i), stored);
        }
        EXPECT_EQ(archive.Find("missing"), std::nullopt);
    }
}

TEST(LodArchiveReader, RefusesADamagedDirectory)
{
    const Bytes sound = test::MakeLodArchive({.entries = {{.name = "A.PCX", .data = {1, 2, 3}}}, .wholeDirectory = false});
    struct Case {
        const char *what;
        std::function<void(Bytes &)> damage;
        std::string message;
    };
    const Case cases[] = {
        {"empty", [](Bytes &b) { b.clear(); }, "it does not start with \"LOD\" and a zero byte"},
        {"another magic", [](Bytes &b) { b[3] = '1'; }, "it does not start with \"LOD\" and a zero byte"},
        {"header cut short", [](Bytes &b) { b.resize(91); }, "its header is cut short"},
        {"too many entries", [](Bytes &b) { b[8] = 0x11, b[9] = 0x27; }, // 10,001
         "it holds 10001 entries, at most 10000 are allowed"},
        {"a count near 2^32", [](Bytes &b) { b[11] = 0xFF; }, "it holds 4278190081 entries, at most 10000 are allowed"},
        {"directory cut short", [](Bytes &b) { b.resize(92 + 31); }, "its directory is cut short"},
        {"directory beyond the data", [](Bytes &b) { b[8] = 9; }, "its directory is cut short"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = sound;
        c.damage(bytes);
        MemorySource source(bytes);
        try {
            const LodArchive archive(source);
            ADD_FAILURE() << "opened";
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "damaged archive: " + c.message);
        }
    }
}

TEST(LodArchiveReader, ADamagedEntryFailsAloneWithItsReason)
{
    const Bytes data = test::Compressible(300);
    const Bytes zlib = test::ZlibPacked(data);
    Bytes badChecksum = zlib;
    badChecksum.back() ^= 1;
    struct Case {
        const char *what;
        MadeEntry bad;
        std::string reason; // the start of it, where it holds numbers of the made archive
    };
    const Case cases[] = {
        {"a name without its zero", {.name = "SIXTEEN_BYTES.XY", .data = data},
         "the name has no end within its 16 bytes"},
        {"an empty name", {.name = "", .data = data}, "the name is empty"},
        {"a slash", {.name = "art/ARROW.PCX", .data = data}, "the name holds a \"/\""},
        {"a control character", {.name = "tab\there", .data = data}, "the name holds a control character"},
        {"a parent directory", {.name = "..", .data = data}, "the name is \"..\""},
        {"over 1 GiB", {.name = "big", .data = data, .packing = Packing::kStored, .size = 0x40000001u},
         "it declares 1073741825 bytes, at most 1073741824 are allowed"},
        {"stored data past the end", {.name = "far", .data = data, .packing = Packing::kStored, .offset = 0xFFFFFF00u},
         "its data runs to byte 4294967340, past the archive's end at byte"},
        {"packed data past the end", {.name = "long", .data = data, .packedSize = 0x7FFFFFFFu},
         "its data runs to byte"},
        {"more than deflate can give", {.name = "tiny", .data = data, .size = 0x40000000u},
         "its " + std::to_string(zlib.size()) + " packed bytes cannot unpack to the 1073741824 bytes it declares"},
        {"fewer bytes than declared", {.name = "short", .data = data, .size = 301u},
         "its packed data unpacks to 300 bytes, not the 301 it declares"},
        {"more bytes than declared", {.name = "long", .data = data, .size = 299u},
         "its packed data unpacks to more than the 299 bytes it declares"},
        {"a wrong checksum", {.name = "sum", .data = data, .stored = badChecksum}, "its packed data is corrupt"},
        {"a cut stream", {.name = "cut", .data = data, .stored = Bytes(zlib.begin(), zlib.end() - 9)},
         "its packed data is corrupt"},
        {"raw deflate cut",
         {.name = "rawcut", .data = data, .packing = Packing::kRawDeflate, .stored = Bytes(zlib.begin() + 2, zlib.end() - 20)},
         "its packed data is corrupt"},
    };
    Inflater inflater;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes bytes = test::MakeLodArchive({.entries = {{.name = "GOOD.PCX", .data = data}, c.bad,
                                                          {.name = "after", .data = data, .packing = Packing::kStored}}});
        MemorySource source(bytes);
        const LodArchive archive(source);
        const std::string message = "damaged entry: " + c.reason;
        const auto expectFault = [&](const std::function<void()> &read) {
            const test::Refusal refusal = test::RefusalOf(read);
            EXPECT_EQ(refusal.message.substr(0, message.size()), message);
            EXPECT_EQ(refusal.entry, archive.entries()[1].name());
        };
        expectFault([&] { (void)archive.Open(1, inflater); });
        Bytes into(archive.entries()[1].size <= 1000 ? archive.entries()[1].size : 0);
        if (into.size() == archive.entries()[1].size)
            expectFault([&] { archive.UnpackInto(1, into, inflater); });
        EXPECT_EQ(archive.entries()[1].sound(), c.reason.starts_with("its packed data"));
        EXPECT_EQ(test::OpenedBytes(archive, 0, inflater), data);
        EXPECT_EQ(test::OpenedBytes(archive, 2, inflater), data);
    }
}

TEST(LodArchiveReader, EntriesConvertAsTheirFilesDo)
{
    const Bytes indexed = test::LodPcx(test::Pattern(37, 23, 1));
    const Bytes trueColor = test::LodPcx(test::Pattern(29, 31, 3));
    // Rows missing at its end, with other entries' data right behind it in the archive.
    const Bytes cut(trueColor.begin(), trueColor.end() - 100);
    const Bytes bytes = test::MakeLodArchive({.entries = {{.name = "STORED8.PCX", .data = indexed, .packing = Packing::kStored},
                                                          {.name = "PACKED8.PCX", .data = indexed},
                                                          {.name = "STORED24.PCX", .data = trueColor, .packing = Packing::kStored},
                                                          {.name = "RAW24.PCX", .data = trueColor, .packing = Packing::kRawDeflate},
                                                          {.name = "CUT24.PCX", .data = cut, .packing = Packing::kStored}},
                                              .dataReversed = true});
    MemorySource source(bytes);
    const LodArchive archive(source);
    Inflater inflater;
    // Windows of one byte, of a row and a half, and the default, so reads meet the entry's end.
    for (const std::uint64_t window : {std::uint64_t{1}, std::uint64_t{55}, ReadWindow{}.bytes}) {
        for (std::size_t i = 0; i < archive.entries().size(); ++i) {
            SCOPED_TRACE(std::string(archive.entries()[i].name()) + " in windows of " + std::to_string(window));
            const Bytes &file = i < 2 ? indexed : i < 4 ? trueColor : cut;
            MemorySource alone(file);
            MemorySink expected, got;
            const Conversion fromFile = ConvertToBmp(alone, ColourTableRule::kPaletteAtEnd, expected, {window});
            EntrySource entry = archive.Open(i, inflater);
            const Conversion fromEntry = ConvertToBmp(entry, ColourTableRule::kPaletteAtEnd, got, {window});
            EXPECT_EQ(fromEntry.outcome, fromFile.outcome) << fromEntry.message;
            EXPECT_EQ(got.bytes(), expected.bytes());
        }
    }
}

std::string ErrorOf(const std::string &name)
{
    try {
        (void)OpenSource(name);
    } catch (const Error &e) {
        return e.what();
    }
    return "";
}

TEST(NamedSource, EntriesOpenByNameAndConvertAsTheirFilesDo)
{
    test::TempDir dir;
    const Bytes pcx = test::LodPcx(test::Pattern(7, 5, 1));
    test::WriteFile(dir.path() / "loose.pcx", pcx);
    test::WriteFile(dir.path() / "art.lod",
                    test::MakeLodArchive({.entries = {{.name = "Packed.PCX", .data = pcx},
                                                      {.name = "stored.pcx", .data = pcx, .packing = Packing::kStored},
                                                      {.name = "bad.pcx", .data = pcx, .size = 9}}}));
    const std::string lod = dir.file("art.lod");

    PlainRecord record;
    ReadSourceHeader(record, dir.file("loose.pcx"));
    ConvertIndexed(record, record.outputName());
    const Bytes expected = test::ReadFile(dir.path() / "loose.bmp");
    std::filesystem::create_directory(dir.path() / "art");
    for (const std::string entry : {"Packed.PCX", "packed.pcx", "stored.pcx"}) {
        ReadSourceHeader(record, lod + "/" + entry);
        EXPECT_EQ(record.outputName(), dir.file("art/" + entry.substr(0, entry.size() - 4) + ".bmp"));
        ConvertIndexed(record, record.outputName());
        EXPECT_EQ(test::ReadFile(record.outputName()), expected) << entry;
    }

    EXPECT_EQ(ErrorOf(lod + "/none.pcx"), "Cannot open file " + lod + "/none.pcx");
    EXPECT_EQ(ErrorOf(lod + "/bad.pcx").rfind(lod + "/bad.pcx: damaged entry: ", 0), 0u) << ErrorOf(lod + "/bad.pcx");
    test::WriteFile(dir.path() / "cut.lod", {'L', 'O', 'D', 0, 1});
    EXPECT_EQ(ErrorOf(dir.file("cut.lod") + "/x.pcx"), dir.file("cut.lod") + ": damaged archive: its header is cut short");
    // A file that exists is itself, even under a directory named like an archive.
    std::filesystem::create_directory(dir.path() / "d.lod");
    test::WriteFile(dir.path() / "d.lod/x.pcx", pcx);
    EXPECT_FALSE(SplitArchiveEntry(dir.file("d.lod/x.pcx")));
    EXPECT_EQ(OpenSource(dir.file("d.lod/x.pcx"))->Size(), pcx.size());
}

TEST(NamedSource, DirectoryNamedAfter)
{
    const std::pair<const char *, const char *> rows[] = {
        {"data/art.lod", "data/art"}, {"H3bitmap.LOD", "H3bitmap"}, {"cre.def", "cre"},
        {"a.b/archive", "a.b/archive.d"}, {".lod", ".lod.d"}, {"x.tar.lod", "x.tar"},
    };
    for (const auto &[path, directory] : rows)
        EXPECT_EQ(DirectoryNamedAfter(path), directory) << path;
}

} // namespace
} // namespace pcx
