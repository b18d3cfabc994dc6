// lodpcx2bmp from the outside: what it writes, what it prints, and its exit status.
#include "tests/cli/lodpcx2bmp_checks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace pcx {
namespace {

using namespace clitest;

bool Exists(const TempDir &dir, const std::string &name)
{
    return fs::exists(fs::symlink_status(dir.path() / name));
}

const test::Picture kIndexed = test::Pattern(7, 5, 1);
const test::Picture kTrue = test::Pattern(6, 3, 3);

TEST(Lodpcx2bmp, ConvertsEachFileBesideItselfSilently)
{
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    const std::pair<std::string, const test::Picture *> files[] = {
        {"sub/a.pcx", &kIndexed}, {"B.PCX", &kIndexed}, {"c.Pcx", &kTrue}, {"замок.pcx", &kIndexed}, {"noext", &kTrue},
        {"d.pCX", &kIndexed}, // its palette at the end, in any letter case
    };
    std::vector<std::string> names;
    for (const auto &[name, picture] : files) {
        test::WriteFile(dir.path() / name, test::LodPcx(*picture));
        names.push_back(name);
    }
    // A replaced file keeps its rights; a new one gets the usual ones.
    test::WriteFile(dir.path() / "B.bmp", {'o', 'l', 'd'});
    fs::permissions(dir.path() / "B.bmp", fs::perms::owner_read | fs::perms::owner_write);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (int run = 0; run < 2; ++run) { // the second run replaces every output
        const test::ToolRun tool = Tool(dir, names);
        EXPECT_EQ(tool.status, 0) << tool.err;
        EXPECT_EQ(tool.out, "");
        EXPECT_EQ(tool.err, "");
        EXPECT_EQ(test::ReadFile(dir.path() / "sub/a.bmp"), Expected(kIndexed));
        EXPECT_EQ(test::ReadFile(dir.path() / "B.bmp"), Expected(kIndexed));
        EXPECT_EQ(test::ReadFile(dir.path() / "c.bmp"), Expected(kTrue));
        EXPECT_EQ(test::ReadFile(dir.path() / "замок.bmp"), Expected(kIndexed));
        EXPECT_EQ(test::ReadFile(dir.path() / "noext.bmp"), Expected(kTrue));
        EXPECT_EQ(test::ReadFile(dir.path() / "d.bmp"), Expected(kIndexed));
        EXPECT_EQ(fs::status(dir.path() / "B.bmp").permissions(), fs::perms(0600));
        EXPECT_EQ(fs::status(dir.path() / "c.bmp").permissions(), fs::perms(0666 & ~mask));
    }
}

TEST(Lodpcx2bmp, SkipsWhatIsNoPictureAndGoesOn)
{
    TempDir dir;
    test::WriteFile(dir.file("text.pcx"), Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    test::WriteFile(dir.file("empty.pcx"), {});
    test::WriteFile(dir.file("zero.pcx"), test::LodHeader(0, 0, 5));
    test::WriteFile(dir.file("neg.pcx"), test::LodHeader(4, -2, -2));
    test::WriteFile(dir.file("ok.pcx"), test::LodPcx(test::Pattern(2, 2, 1)));

    const test::ToolRun run = Tool(dir, {"text.pcx", "empty.pcx", "zero.pcx", "neg.pcx", "ok.pcx"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "lodpcx2bmp: text.pcx: skipped: not a LOD PCX image\n"
                       "lodpcx2bmp: empty.pcx: skipped: not a LOD PCX image\n"
                       "lodpcx2bmp: zero.pcx: skipped: not a LOD PCX image\n"
                       "lodpcx2bmp: neg.pcx: skipped: not a LOD PCX image\n");
    for (const char *name : {"text.bmp", "empty.bmp", "zero.bmp", "neg.bmp"})
        EXPECT_FALSE(Exists(dir, name)) << name;
    EXPECT_TRUE(Exists(dir, "ok.bmp"));
}

TEST(Lodpcx2bmp, FailuresAreNamedAndLeaveNothingPartial)
{
    TempDir dir;
    Bytes cut = test::LodPcx(test::Pattern(8, 8, 3));
    cut.resize(cut.size() - 5);
    test::WriteFile(dir.file("cut.pcx"), cut);
    const Bytes old = {'o', 'l', 'd'};
    test::WriteFile(dir.file("cut.bmp"), old);
    test::WriteFile(dir.file("nopal.pcx"), test::LodPcx(test::Pattern(30, 30, 1), 0, false));
    test::WriteFile(dir.file("ok.pcx"), test::LodPcx(kIndexed));

    for (const char *format : {"bmp", "png"}) {
        const test::ToolRun run =
            Tool(dir, {"-f", format, "missing.pcx", "e\x1b[31m\u009b.pcx", "cut.pcx", "nopal.pcx", "ok.pcx"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "lodpcx2bmp: missing.pcx: cannot open: No such file or directory\n"
                           "lodpcx2bmp: e\\x1b[31m\\xc2\\x9b.pcx: cannot open: No such file or directory\n"
                           "lodpcx2bmp: cut.pcx: cannot read: file too short for its rows\n"
                           "lodpcx2bmp: nopal.pcx: cannot read: file too short for its palette\n");
        EXPECT_TRUE(Exists(dir, std::string("ok.") + format)); // the run goes on after an error
        EXPECT_FALSE(Exists(dir, "nopal.bmp"));
        EXPECT_FALSE(Exists(dir, "cut.png"));
        EXPECT_EQ(test::ReadFile(dir.file("cut.bmp")), old);
        EXPECT_EQ(test::ReadFile(dir.file("cut.pcx")), cut);
        ExpectNoLeftovers(dir.path());
    }
}

// A replaced output's rights are never wider than the old file's nor than a new file's, an ACL's
// mask included; the file replaced goes as a rename sends it, so whoever still reads it, or reaches
// it by another link, keeps its bytes. The tool runs with the umask 002, where a new file is 0664.
struct RightsCase {
    const char *name;
    int oldMode;         // -1: no file there before
    const char *acl;     // given to setfacl, or nullptr
    int expected;
};

const RightsCase kRights[] = {
    {"NewFile", -1, nullptr, 0664},
    {"OwnerOnly", 0600, nullptr, 0600},
    {"GroupReads", 0640, nullptr, 0640},
    {"WiderThanANewFile", 0777, nullptr, 0664},
    // The mode's group bits are the mask (rw-); the group itself may only read.
    {"AclMaskIsNotTheGroup", 0640, "u::rw-,g::r--,o::---,u:nobody:rw-,m::rw-", 0640},
};

TEST(Lodpcx2bmp, ReplacedOutputsKeepNoWiderRights)
{
    for (const fs::path &base : {fs::temp_directory_path(), fs::path("/dev/shm")}) {
        if (!fs::is_directory(base))
            continue;
        TempDir dir(base);
        std::vector<std::string> names;
        for (const RightsCase &c : kRights) {
            const std::string name = c.name;
            test::WriteFile(dir.file(name + ".pcx"), test::LodPcx(kIndexed));
            names.push_back(name + ".pcx");
            if (c.oldMode < 0)
                continue;
            test::WriteFile(dir.file(name + ".bmp"), {'o', 'l', 'd'});
            fs::permissions(dir.path() / (name + ".bmp"), fs::perms(c.oldMode));
            if (c.acl && std::system(("setfacl -m " + std::string(c.acl) + " " + dir.file(name + ".bmp") +
                                      " 2>/dev/null").c_str()) != 0)
                ADD_FAILURE() << "setfacl failed on " << base << " (package acl)";
        }
        fs::create_hard_link(dir.path() / "OwnerOnly.bmp", dir.path() / "link");
        std::ifstream reader(dir.file("GroupReads.bmp"), std::ios::binary);

        std::vector<std::string> args = {"-c", "umask 002 && exec \"$0\" \"$@\"", LODPCX2BMP, "-j2"};
        args.insert(args.end(), names.begin(), names.end());
        const test::ToolRun run = test::RunTool("sh", dir.path(), args);
        EXPECT_EQ(run.status, 0) << run.err;
        for (const RightsCase &c : kRights) {
            const fs::path output = dir.path() / (std::string(c.name) + ".bmp");
            EXPECT_EQ(test::ReadFile(output), Expected(kIndexed)) << output;
            EXPECT_EQ(fs::status(output).permissions(), fs::perms(c.expected)) << output;
        }
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(reader), {}), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(test::ReadFile(dir.file("link")), (Bytes{'o', 'l', 'd'}));
        ExpectNoLeftovers(dir.path());
    }
}

TEST(Lodpcx2bmp, OutputOptionNamesTheOutput)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(kTrue));
    const test::ToolRun run = Tool(dir, {"-q", "-o", "elsewhere.bmp", "a.pcx"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::ReadFile(dir.file("elsewhere.bmp")), Expected(kTrue));
    EXPECT_FALSE(Exists(dir, "a.bmp"));

    // A pipe behind a link (as /dev/stdout is one) takes the bytes; the link is not replaced.
    fs::create_symlink("/dev/stdout", dir.path() / "stdout");
    const test::ToolRun piped = test::RunTool("sh", dir.path(), {"-c", "\"$0\" -o stdout a.pcx | cat >piped.bmp", LODPCX2BMP});
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(test::ReadFile(dir.file("piped.bmp")), Expected(kTrue));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "stdout"));

    // Standard output by any of its names is written through its descriptor, also into a file.
    for (const char *name : {"-", "/dev/fd/1", "/proc/self/fd/1"}) {
        const test::ToolRun run = test::RunTool("sh", dir.path(), {"-c", "\"$0\" -o \"$1\" a.pcx >r.bmp", LODPCX2BMP, name});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(test::ReadFile(dir.file("r.bmp")), Expected(kTrue)) << name;
    }
    ExpectNoLeftovers(dir.path());
}

// Inputs and earlier outputs are never replaced, whatever the order and the jobs; a link at an
// output's name is replaced, not written through.
struct CollisionCase {
    const char *name;
    std::vector<std::string> args;
    std::string err; // the messages, whatever -j
    std::map<std::string, const test::Picture *> converted; // output -> its source picture
};

const test::Picture kOther = test::Pattern(3, 4, 1, 9);

const CollisionCase kCollisions[] = {
    {"TwoSourcesOneOutput", {"p.pcx", "p.def"},
     "lodpcx2bmp: p.def: its output p.bmp would replace the output of p.pcx\n", {{"p.bmp", &kIndexed}}},
    {"OtherOrder", {"p.def", "p.pcx"},
     "lodpcx2bmp: p.pcx: its output p.bmp would replace the output of p.def\n", {{"p.bmp", &kTrue}}},
    {"OutputIsAnInput", {"in.pcx", "in.bmp"},
     "lodpcx2bmp: in.pcx: its output in.bmp would replace the input in.bmp\n"
     "lodpcx2bmp: in.bmp: its output in.bmp would replace the file itself\n", {}},
    {"OwnOutput", {"-o", "./q.pcx", "q.pcx"},
     "lodpcx2bmp: q.pcx: its output ./q.pcx would replace the file itself\n", {}},
    {"SameNameInOutputDirectory", {"-d", "out", "p.pcx", "sub/p.pcx"},
     "lodpcx2bmp: sub/p.pcx: its output out/p.bmp would replace the output of p.pcx\n", {{"out/p.bmp", &kIndexed}}},
    {"SpelledTwoWays", {"p.pcx", "sub/../p.def"},
     "lodpcx2bmp: sub/../p.def: its output sub/../p.bmp would replace the output of p.pcx\n", {{"p.bmp", &kIndexed}}},
    {"ThroughALinkedDirectory", {"sub/p.pcx", "linked/p.pcx"},
     "lodpcx2bmp: linked/p.pcx: its output linked/p.bmp would replace the output of sub/p.pcx\n", {{"sub/p.bmp", &kOther}}},
    {"LinkAtTheOutputReplaced", {"l.pcx"}, "", {{"l.bmp", &kOther}}},
    {"LinkToAnInputReplaced", {"k.pcx", "p.pcx"}, "", {{"k.bmp", &kOther}, {"p.bmp", &kIndexed}}},
};

void PrintTo(const CollisionCase &c, std::ostream *os)
{
    *os << c.name;
}

class Collisions : public testing::TestWithParam<std::tuple<CollisionCase, int>> {};

TEST_P(Collisions, FailTheLaterFileAndReplaceNothing)
{
    const auto &[c, jobs] = GetParam();
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    const std::map<std::string, Bytes> sources = {
        {"p.pcx", test::LodPcx(kIndexed)}, {"p.def", test::LodPcx(kTrue)}, {"sub/p.pcx", test::LodPcx(kOther)},
        {"q.pcx", test::LodPcx(kOther)}, {"in.bmp", test::LodPcx(kOther)}, {"in.pcx", test::LodPcx(kOther)}, {"l.pcx", test::LodPcx(kOther)},
        {"k.pcx", test::LodPcx(kOther)}, {"target", {'t'}},
    };
    for (const auto &[name, bytes] : sources)
        test::WriteFile(dir.path() / name, bytes);
    fs::create_symlink("target", dir.path() / "l.bmp");
    fs::create_symlink("p.pcx", dir.path() / "k.bmp");
    fs::create_directory_symlink("sub", dir.path() / "linked");

    std::vector<std::string> args = {"-j", std::to_string(jobs)};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::ToolRun run = Tool(dir, args);
    EXPECT_EQ(run.status, c.err.empty() ? 0 : 1);
    EXPECT_EQ(run.err, c.err);
    for (const auto &[name, bytes] : sources)
        EXPECT_EQ(test::ReadFile(dir.path() / name), bytes) << name;
    for (const auto &[output, picture] : c.converted) {
        EXPECT_FALSE(fs::is_symlink(dir.path() / output)) << output;
        EXPECT_EQ(test::ReadFile(dir.path() / output), Expected(*picture)) << output;
    }
    ExpectNoLeftovers(dir.path());
}

INSTANTIATE_TEST_SUITE_P(Runs, Collisions, testing::Combine(testing::ValuesIn(kCollisions), testing::Values(1, 2, 7)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_j" +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST(Lodpcx2bmp, RecursiveRunMirrorsTheTreeTheSameForEveryJobCount)
{
    TempDir dir;
    // A ".def" keeps its colour table at offset 54, so it must be large enough to hold one.
    const test::Picture kWide = test::Pattern(40, 30, 1, 5);
    const Bytes wide = test::LodPcx(kWide);
    const std::map<std::string, Bytes> sources = {
        {"tree/a b.pcx", test::LodPcx(kIndexed)},
        {"tree/вложенная папка/é t.PCX", test::LodPcx(kTrue)},
        {"tree/вложенная папка/deep/x.DEF", test::LodPcx(kWide)},
        {"tree/notes.txt", {'n'}},
        {"tree/std.pcx", {0x0A, 5, 1, 8}},
    };
    for (const auto &[name, bytes] : sources) {
        fs::create_directories((dir.path() / name).parent_path());
        test::WriteFile(dir.path() / name, bytes);
    }
    const std::map<std::string, Bytes> expected = {
        {"a b.bmp", Expected(kIndexed)},
        {"вложенная папка/é t.bmp", Expected(kTrue)},
        {"вложенная папка/deep/x.bmp", test::ExpectedBmp(kWide, Bytes(wide.begin() + 54, wide.begin() + 54 + 1024))},
    };
    for (const int jobs : {1, 2, 7}) {
        const std::string out = "out" + std::to_string(jobs);
        const test::ToolRun run = Tool(dir, {"-r", "-j", std::to_string(jobs), "-d", out, "tree/"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "lodpcx2bmp: tree/std.pcx: skipped: not a LOD PCX image\n");
        EXPECT_EQ(Tree(dir.path() / out), expected) << "-j " << jobs;
    }
    EXPECT_EQ(Tree(dir.path() / "tree").size(), sources.size()); // nothing beside the sources

    const test::ToolRun plain = Tool(dir, {"tree"});
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.err, "lodpcx2bmp: tree: is a directory (-r converts the files under it)\n");
}

TEST(Lodpcx2bmp, NoClobberLeavesExistingOutputs)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(kIndexed));
    test::WriteFile(dir.file("b.pcx"), test::LodPcx(kTrue));
    test::WriteFile(dir.file("a.bmp"), {'o', 'l', 'd'});
    const test::ToolRun run = Tool(dir, {"-n", "-v", "a.pcx", "b.pcx"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "lodpcx2bmp: a.pcx: skipped: a.bmp exists\n"
                       "lodpcx2bmp: b.pcx: converted to b.bmp\n"
                       "lodpcx2bmp: 1 converted, 1 skipped, 0 failed\n");
    EXPECT_EQ(test::ReadFile(dir.file("a.bmp")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(test::ReadFile(dir.file("b.bmp")), Expected(kTrue));
}

// What Pillow, an independent reader, sees: mode, size, palette entries and the pixels in RGB.
std::string Shown(const TempDir &dir, const std::string &file)
{
    const test::ToolRun run = test::RunTool(PIL_HELPER, dir.path(), {"show", file});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

std::string RgbHex(const test::Picture &p)
{
    std::ostringstream hex;
    hex << std::hex;
    for (std::size_t i = 0; i < p.pixels.size(); i += p.k) {
        for (int c = 0; c < 3; ++c) {
            const int v = p.k == 1 ? p.palette[3 * p.pixels[i] + c] : p.pixels[i + 2 - c];
            hex << (v < 16 ? "0" : "") << v;
        }
    }
    return hex.str();
}

TEST(Lodpcx2bmp, PngShowsTheSourcePixelsToAnIndependentReader)
{
    TempDir dir;
    test::WriteFile(dir.file("i.pcx"), test::LodPcx(kIndexed));
    test::WriteFile(dir.file("t.pcx"), test::LodPcx(kTrue));
    const test::ToolRun run = Tool(dir, {"--format", "PNG", "i.pcx", "t.pcx"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Shown(dir, "i.png"), "P 7 5 256 " + RgbHex(kIndexed) + "\n");
    EXPECT_EQ(Shown(dir, "t.png"), "RGB 6 3 0 " + RgbHex(kTrue) + "\n");
}

TEST(Lodpcx2bmp, InfoPrintsOneLinePerFileAndWritesNothing)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(test::Pattern(10, 20, 1)));
    test::WriteFile(dir.file("b\tc\n.def"), test::LodPcx(test::Pattern(10, 20, 3)));
    test::WriteFile(dir.file("c\x1b.pcx"), test::LodHeader(601, 10, 20));
    const test::ToolRun run = Tool(dir, {"--info", "a.pcx", "b\tc\n.def", "c\x1b.pcx", "gone.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "a.pcx\t10\t20\t200\t8-bit\n"
                       "b\\tc\\n.def\t10\t20\t600\t24-bit\n"
                       "c\\x1b.pcx\t10\t20\t601\tnot a LOD PCX image\n");
    EXPECT_EQ(run.err, "lodpcx2bmp: gone.pcx: cannot open: No such file or directory\n");
    EXPECT_EQ(Tree(dir.path()).size(), 3u);

    // Standard output that cannot take the lines is an error.
    for (const char *args : {"--info a.pcx", "--help", "--version"}) {
        const test::ToolRun full = test::RunTool("sh", dir.path(), {"-c", std::string("exec \"$0\" ") + args + " >/dev/full", LODPCX2BMP});
        EXPECT_EQ(full.status, 1) << args;
        EXPECT_EQ(full.err, "lodpcx2bmp: standard output: cannot write: No space left on device\n") << args;
    }
}

TEST(Lodpcx2bmp, UsageErrorsExitWithTwoAndPointToHelp)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(test::Pattern(2, 2, 1)));
    test::WriteFile(dir.file("a.lod"), {'L', 'O', 'D', 0}); // an archive by its magic
    // Each in the tool's own words, never the option library's.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no FILE or DIR given"},
        {{"--bogus", "a.pcx"}, "unknown option --bogus"},
        {{"--bogus"}, "unknown option --bogus"},
        {{"-o", "x.bmp", "a.pcx", "a.pcx"}, "-o names the output of one FILE or DIR only"},
        {{"-o"}, "-o needs a file name"},
        {{"-o", "", "a.pcx"}, "-o needs a file name"},
        {{"-o", "x.bmp", "-o", "y.bmp", "a.pcx"}, "-o may be given only once"},
        {{"--info", "-o", "x", "a.pcx"}, "-o and --info cannot be used together"},
        {{"-f", "gif", "a.pcx"}, "-f needs bmp or png"},
        {{"-j", "0", "a.pcx"}, "-j needs a whole number of jobs above 0"},
        {{"-j", "1.5", "a.pcx"}, "-j needs a whole number of jobs above 0"},
        {{"-o", "x.bmp", "-d", "d", "a.pcx"}, "-o and -d cannot be used together"},
        {{"-r", "--mask", "", "."}, "--mask needs at least one pattern"},
        {{"--sheet", "--crop", "a.pcx"}, "--crop and --sheet cannot be used together"},
        {{"-o", "x", "a.lod"}, "-o names one output, not an archive's (-d DIR writes them under DIR)"},
    };
    for (const auto &[args, message] : cases) {
        const test::ToolRun run = Tool(dir, args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(run.err.starts_with("lodpcx2bmp: " + message + "\n")) << run.err;
        EXPECT_TRUE(run.err.ends_with("\nTry 'lodpcx2bmp --help'\n")) << run.err;
    }
    EXPECT_EQ(Tree(dir.path()).size(), 2u);

    const test::ToolRun help = Tool(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
    for (const char *option : {"--output-dir", "--recursive", "--mask", "--format", "--jobs", "--no-clobber", "--info",
                               "--crop", "--sheet", "--opaque"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const test::ToolRun version = Tool(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("lodpcx2bmp ", 0), 0u);
}

} // namespace
} // namespace pcx
