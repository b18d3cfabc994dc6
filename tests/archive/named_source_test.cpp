// Sources by name: ARCHIVE/ENTRY opens an entry wherever a file name is taken, and the window's
// passes convert an entry to the very bytes its extracted file converts to.
#include "engine/bmp_writer.h"
#include "engine/errors.h"
#include "engine/named_source.h"
#include "engine/source_header.h"
#include "tests/support/lod_archive_maker.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pcx {
namespace {

using test::Bytes;
using test::Packing;

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
    const test::Picture picture = test::Pattern(7, 5, 1);
    const Bytes pcx = test::LodPcx(picture);
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
