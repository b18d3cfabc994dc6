// A placed file: nothing at its name until it is committed, positioned writes, an existing file
// kept or replaced as asked, and nothing left behind by a file given up.
#include "engine/byte_io.h"
#include "engine/errors.h"
#include "engine/file_io.h"
#include "engine/placed_file.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pcx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

std::size_t Entries(const fs::path &dir)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

struct PlaceCase {
    const char *name;
    bool existing;                // a file "out" is there before
    PlacedFile::Existing rule;
    bool commit;                  // false: the file is given up
    bool placed;                  // what Commit says
    Bytes after;                  // what "out" holds afterwards (empty: no file)
};

const Bytes kOld = {'o', 'l', 'd'};
// Written front to back, the start filled in last, as an archive writes its directory.
const Bytes kNew = {'N', 'E', 'W', '-', 'd', 'a', 't', 'a'};

const PlaceCase kPlaces[] = {
    {"Fresh", false, PlacedFile::Existing::kReplace, true, true, kNew},
    {"Replaces", true, PlacedFile::Existing::kReplace, true, true, kNew},
    {"KeepsWhatIsThere", true, PlacedFile::Existing::kKeep, true, false, kOld},
    {"FreshWhereKept", false, PlacedFile::Existing::kKeep, true, true, kNew},
    {"GivenUpLeavesTheOld", true, PlacedFile::Existing::kReplace, false, false, kOld},
    {"GivenUpLeavesNothing", false, PlacedFile::Existing::kReplace, false, false, {}},
};

class Places : public testing::TestWithParam<PlaceCase> {};

TEST_P(Places, NothingShowsUntilCommitted)
{
    const PlaceCase &c = GetParam();
    TempDir dir;
    const std::string out = dir.file("out");
    if (c.existing)
        test::WriteFile(out, kOld);
    {
        PlacedFile file(out, c.rule);
        file.Write(Bytes{'?', '?', '?', '-', 'd', 'a', 't', 'a'});
        file.WriteAt(0, Bytes{'N', 'E', 'W'});
        EXPECT_EQ(Entries(dir.path()), c.existing ? 1u : 0u); // no name of its own meanwhile
        if (c.existing) {
            EXPECT_EQ(test::ReadFile(out), kOld);
        }
        if (c.commit) {
            EXPECT_EQ(file.Commit(), c.placed);
        }
    }
    EXPECT_EQ(Entries(dir.path()), c.after.empty() ? 0u : 1u); // and nothing else, ever
    if (!c.after.empty()) {
        EXPECT_EQ(test::ReadFile(out), c.after);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, Places, testing::ValuesIn(kPlaces),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PlacedFile, FailuresNameTheFileAndTheReason)
{
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    for (const auto &[name, reason] : {std::pair{dir.file("no/such/x"), "No such file or directory"},
                                       std::pair{dir.file("sub"), "Is a directory"},
                                       std::pair{std::string(), "No such file or directory"}}) {
        try {
            PlacedFile file(name);
            ADD_FAILURE() << "made " << name;
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + name);
            EXPECT_EQ(e.file(), name);
            EXPECT_EQ(e.reason(), reason);
        }
    }
}

// A run of a source's bytes appended after what was written: from a file inside the kernel, on the
// same file system or from another, and from memory; a source too short fails.
TEST(PlacedFile, WriteFromAppendsTheSourcesBytes)
{
    Bytes data(3 << 20); // more than one piece of a copy through memory
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    Bytes expected = {'h'};
    expected.insert(expected.end(), data.begin() + 5, data.end());
    expected.push_back('t');
    TempDir to;
    for (const fs::path &base : {fs::temp_directory_path(), fs::path("/dev/shm")}) {
        if (!fs::is_directory(base))
            continue;
        TempDir from(base);
        test::WriteFile(from.file("source"), data);
        File file = File::OpenRead(from.file("source"));
        FileSource fileSource(file);
        MemorySource memory(data);
        for (ByteSource *source : {static_cast<ByteSource *>(&fileSource), static_cast<ByteSource *>(&memory)}) {
            PlacedFile out(to.file("out"));
            out.Write(Bytes{'h'}); // buffered: it must go out before the copy
            out.WriteFrom(*source, 5, data.size() - 5);
            out.Write(Bytes{'t'});
            ASSERT_TRUE(out.Commit());
            EXPECT_EQ(test::ReadFile(to.file("out")), expected) << base;
            PlacedFile cut(to.file("cut"));
            EXPECT_THROW(cut.WriteFrom(*source, 1, data.size()), Error) << base;
        }
    }
    EXPECT_EQ(Entries(to.path()), 1u);
}

} // namespace
} // namespace pcx
