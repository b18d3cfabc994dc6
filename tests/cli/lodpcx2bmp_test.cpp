// lodpcx2bmp from the outside: what it writes, what it prints, and its exit status.
#include "lod_pcx.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pcx {
namespace {

using test::Bytes;
using test::TempDir;

// Runs the tool in dir with the given arguments.
test::ToolRun Tool(const TempDir &dir, const std::vector<std::string> &args)
{
    return test::RunTool(LODPCX2BMP, dir.path(), args);
}

bool Exists(const TempDir &dir, const std::string &name)
{
    return std::filesystem::exists(dir.path() / name);
}

TEST(Lodpcx2bmp, ConvertsEachFileBesideItselfSilently)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "sub");
    const auto p8 = test::Pattern(7, 5, 1), p24 = test::Pattern(6, 3, 3);
    const std::pair<std::string, const test::Picture *> files[] = {
        {"sub/a.pcx", &p8}, {"B.PCX", &p8}, {"c.Pcx", &p24}, {"замок.pcx", &p8}, {"noext", &p24},
    };
    std::vector<std::string> names;
    for (const auto &[name, picture] : files) {
        test::WriteFile(dir.path() / name, test::LodPcx(*picture));
        names.push_back(name);
    }
    const test::ToolRun run = Tool(dir, names);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const auto table = test::ColourTableFromPalette(p8.palette);
    EXPECT_EQ(test::ReadFile(dir.path() / "sub/a.bmp"), test::ExpectedBmp(p8, table));
    EXPECT_EQ(test::ReadFile(dir.path() / "B.bmp"), test::ExpectedBmp(p8, table));
    EXPECT_EQ(test::ReadFile(dir.path() / "c.bmp"), test::ExpectedBmp(p24, {}));
    EXPECT_EQ(test::ReadFile(dir.path() / "замок.bmp"), test::ExpectedBmp(p8, table));
    EXPECT_EQ(test::ReadFile(dir.path() / "n.bmp"), test::ExpectedBmp(p24, {}));
}

TEST(Lodpcx2bmp, SkipsWhatIsNoPictureAndGoesOn)
{
    TempDir dir;
    test::WriteFile(dir.file("text.pcx"), Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    test::WriteFile(dir.file("empty.pcx"), {});
    test::WriteFile(dir.file("zero.pcx"), test::LodHeader(0, 0, 5));
    test::WriteFile(dir.file("neg.pcx"), test::LodHeader(4, -2, -2));
    test::WriteFile(dir.file("std.pcx"), Bytes{0x0A, 0x05, 0x01, 0x08, 0, 0, 0, 0, 0x3F, 0, 0x3F, 0, 0});
    // A ".bmp" whose first bytes pass a test would be converted onto itself.
    Bytes self = test::LodPcx(test::Pattern(2, 2, 1));
    test::WriteFile(dir.file("self.bmp"), self);
    test::WriteFile(dir.file("ok.pcx"), test::LodPcx(test::Pattern(2, 2, 1)));

    const test::ToolRun run = Tool(dir, {"text.pcx", "empty.pcx", "zero.pcx", "neg.pcx", "std.pcx", "self.bmp", "ok.pcx"});
    EXPECT_EQ(run.status, 0);
    for (const char *name : {"text.pcx", "empty.pcx", "zero.pcx", "neg.pcx", "std.pcx"})
        EXPECT_NE(run.err.find(std::string("lodpcx2bmp: skipping ") + name + ": not a LOD PCX image\n"),
                  std::string::npos)
            << run.err;
    EXPECT_NE(run.err.find("lodpcx2bmp: skipping self.bmp: "), std::string::npos) << run.err;
    for (const char *name : {"text.bmp", "empty.bmp", "zero.bmp", "neg.bmp", "std.bmp"})
        EXPECT_FALSE(Exists(dir, name)) << name;
    EXPECT_EQ(test::ReadFile(dir.file("self.bmp")), self);
    EXPECT_TRUE(Exists(dir, "ok.bmp"));
}

TEST(Lodpcx2bmp, ErrorsAreReportedWithFullStopAndStatusOne)
{
    TempDir dir;
    Bytes cut = test::LodPcx(test::Pattern(8, 8, 3));
    cut.resize(cut.size() - 5);
    test::WriteFile(dir.file("cut.pcx"), cut);
    Bytes nopal = test::LodPcx(test::Pattern(4, 4, 1), 0, false);
    test::WriteFile(dir.file("nopal.pcx"), nopal);
    test::WriteFile(dir.file("ok.pcx"), test::LodPcx(test::Pattern(3, 3, 1)));

    const test::ToolRun run = Tool(dir, {"missing.pcx", "cut.pcx", "nopal.pcx", "ok.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lodpcx2bmp: Cannot open file missing.pcx.\n"
                       "lodpcx2bmp: Stream read error.\n"
                       "lodpcx2bmp: Stream read error.\n");
    EXPECT_TRUE(Exists(dir, "ok.bmp")); // the run goes on after an error
    EXPECT_EQ(test::ReadFile(dir.file("cut.pcx")), cut);
    EXPECT_EQ(test::ReadFile(dir.file("nopal.pcx")), nopal);

    const test::ToolRun create = Tool(dir, {"-o", "no/dir/x.bmp", "ok.pcx"});
    EXPECT_EQ(create.status, 1);
    EXPECT_EQ(create.err, "lodpcx2bmp: Cannot create file no/dir/x.bmp.\n");
}

TEST(Lodpcx2bmp, OutputOptionNamesTheOutput)
{
    TempDir dir;
    const auto p = test::Pattern(5, 5, 3);
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(p));
    const test::ToolRun run = Tool(dir, {"-q", "-o", "elsewhere.bmp", "a.pcx"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::ReadFile(dir.file("elsewhere.bmp")), test::ExpectedBmp(p, {}));
    EXPECT_FALSE(Exists(dir, "a.bmp"));

    // Never over the source itself.
    const Bytes source = test::ReadFile(dir.file("a.pcx"));
    const test::ToolRun self = Tool(dir, {"-o", "./a.pcx", "a.pcx"});
    EXPECT_EQ(self.status, 0);
    EXPECT_NE(self.err.find("skipping a.pcx"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir.file("a.pcx")), source);
}

TEST(Lodpcx2bmp, InfoPrintsOneLinePerFileAndWritesNothing)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(test::Pattern(10, 20, 1)));
    test::WriteFile(dir.file("b.def"), test::LodPcx(test::Pattern(10, 20, 3)));
    test::WriteFile(dir.file("c.pcx"), test::LodHeader(601, 10, 20));
    const test::ToolRun run = Tool(dir, {"--info", "a.pcx", "b.def", "c.pcx", "gone.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "a.pcx\t10\t20\t200\t8-bit\n"
                       "b.def\t10\t20\t600\t24-bit\n"
                       "c.pcx\t10\t20\t601\tnot a LOD PCX image\n");
    EXPECT_EQ(run.err, "lodpcx2bmp: Cannot open file gone.pcx.\n");
    for (const char *name : {"a.bmp", "b.bmp", "c.bmp"})
        EXPECT_FALSE(Exists(dir, name));
}

TEST(Lodpcx2bmp, UsageErrorsExitWithTwo)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(test::Pattern(2, 2, 1)));
    const std::vector<std::vector<std::string>> cases = {
        {}, {"--bogus", "a.pcx"}, {"-o", "x.bmp", "a.pcx", "a.pcx"}, {"-o"}, {"--info", "-o", "x", "a.pcx"},
    };
    for (const auto &args : cases) {
        const test::ToolRun run = Tool(dir, args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(run.err.find("Usage: lodpcx2bmp"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(Exists(dir, "a.bmp"));
    EXPECT_FALSE(Exists(dir, "x.bmp"));

    const test::ToolRun help = Tool(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--info"), std::string::npos);
    const test::ToolRun version = Tool(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("lodpcx2bmp ", 0), 0u);
}

} // namespace
} // namespace pcx
