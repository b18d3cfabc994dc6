// A placed file: nothing at its name until it is committed, positioned writes, an existing file
// kept or replaced as asked, and nothing left behind by a file given up.
#include "engine/errors.h"
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
        if (c.existing)
            EXPECT_EQ(test::ReadFile(out), kOld);
        if (c.commit)
            EXPECT_EQ(file.Commit(), c.placed);
    }
    EXPECT_EQ(Entries(dir.path()), c.after.empty() ? 0u : 1u); // and nothing else, ever
    if (!c.after.empty())
        EXPECT_EQ(test::ReadFile(out), c.after);
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

} // namespace
} // namespace pcx
