// lodarchive, and bmp2lodpcx writing into archives, from the outside: archives made by the tests' own
// zlib maker are listed, extracted and changed; what is written is read back by the engine's reader
// and by an independent reading in Python; every refused or failed change leaves the old archive as
// it was, byte for byte.
#include "engine/byte_io.h"
#include "engine/lod_archive.h"
#include "tests/support/lod_archive_maker.h"
#include "tests/support/lod_pcx.h"
#include "tests/support/tool_run.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include <unistd.h>

namespace pcx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::MadeEntry;
using test::Packing;
using test::TempDir;

test::ToolRun Tool(const char *program, const TempDir &dir, const std::vector<std::string> &args)
{
    return test::RunTool(program, dir.path(), args, 120);
}

// The names in a directory, so that a test sees anything left behind.
std::set<std::string> Names(const fs::path &dir)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

const test::Picture kArrow = test::Pattern(7, 5, 1);

// An archive as the game has them: kind 500, reserved bytes, types, junk after names, packed and
// stored entries, raw deflate, data in reverse order.
test::MadeArchive Game()
{
    test::MadeArchive game;
    game.kind = 500;
    game.reserved[0] = 7;
    game.reserved[79] = 9;
    game.dataReversed = true;
    game.entries = {
        {"ARROW.pcx", test::LodPcx(kArrow), Packing::kZlib, 16, "junk"},
        {"Title.PCX", test::LodPcx(test::Pattern(6, 3, 3)), Packing::kStored, 17},
        {"noise.bin", test::Incompressible(3000), Packing::kStored, 2},
        {"raw.txt", test::Compressible(5000), Packing::kRawDeflate, 3},
        {"Empty", {}, Packing::kStored, 1},
    };
    return game;
}

std::string Crc(const Bytes &bytes)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lx", crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    return hex;
}

struct Expected {
    std::string name;
    Bytes data;
    std::uint32_t type = 0;
};

std::vector<Expected> EntriesOf(const test::MadeArchive &archive)
{
    std::vector<Expected> entries;
    for (const MadeEntry &e : archive.entries)
        entries.push_back({e.name, e.data, e.type});
    return entries;
}

// Checks a written archive with both readers: kind, reserved bytes and entries in order, the layout a
// writer must give exactly (read_lod.py --written); returns each entry's bytes as stored.
std::vector<Bytes> ExpectArchive(const TempDir &dir, const std::string &file, std::uint32_t kind,
                                 const lod::Reserved &reserved, const std::vector<Expected> &entries)
{
    const test::ToolRun python = test::RunTool(READ_LOD, dir.path(), {"--written", file});
    EXPECT_EQ(python.status, 0) << python.err;
    std::ostringstream lines;
    lines << kind << '\t' << Crc(Bytes(reserved.begin(), reserved.end())) << '\n';
    const Bytes bytes = test::ReadFile(dir.path() / file);
    MemorySource source(bytes);
    const LodArchive archive(source);
    std::vector<Bytes> stored;
    Inflater inflater;
    for (std::size_t i = 0; i < archive.entries().size() && i < entries.size(); ++i) {
        const LodEntry &e = archive.entries()[i];
        lines << entries[i].name << '\t' << entries[i].data.size() << '\t' << e.packedSize << '\t' << entries[i].type
              << '\t' << Crc(entries[i].data) << '\n';
        Bytes data(e.size);
        archive.UnpackInto(i, data, inflater);
        EXPECT_EQ(data, entries[i].data) << entries[i].name;
        stored.push_back(archive.ReadStored(i));
    }
    EXPECT_EQ(archive.entries().size(), entries.size());
    EXPECT_EQ(archive.reserved(), reserved);
    EXPECT_EQ(python.out, lines.str());
    return stored;
}

TEST(Lodarchive, ListsTheDirectoryAndReportsDamage)
{
    TempDir dir;
    test::MadeArchive game = Game();
    game.entries.push_back({"tab\there.pcx", {1, 2, 3}, Packing::kStored, 4});
    test::WriteFile(dir.file("art.lod"), test::MakeLodArchive(game));
    const test::ToolRun list = Tool(LODARCHIVE, dir, {"list", "art.lod"});
    EXPECT_EQ(list.status, 1);
    const auto packed = [](const MadeEntry &e) { return test::ZlibPacked(e.data).size(); };
    EXPECT_EQ(list.out, "ARROW.pcx\t" + std::to_string(game.entries[0].data.size()) + "\t" +
                            std::to_string(packed(game.entries[0])) + "\t16\n"
                            "Title.PCX\t66\t0\t17\nnoise.bin\t3000\t0\t2\nraw.txt\t5000\t" +
                            std::to_string(test::RawDeflated(game.entries[3].data).size()) +
                            "\t3\nEmpty\t0\t0\t1\ntab\\there.pcx\t3\t0\t4\n");
    EXPECT_EQ(list.err, "lodarchive: art.lod/tab\\there.pcx: damaged entry: the name holds a control character\n");

    game.count = 10001;
    test::WriteFile(dir.file("bad.lod"), test::MakeLodArchive(game));
    const test::ToolRun bad = Tool(LODARCHIVE, dir, {"list", "bad.lod"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "lodarchive: bad.lod: damaged archive: it holds 10001 entries, at most 10000 are allowed\n");
}

TEST(Lodarchive, ExtractsEveryEntrysBytesWhateverTheJobs)
{
    TempDir dir;
    const test::MadeArchive game = Game();
    test::WriteFile(dir.file("art.lod"), test::MakeLodArchive(game));
    std::set<std::string> all;
    for (const MadeEntry &e : game.entries)
        all.insert(e.name);
    for (const char *jobs : {"1", "2", "7"}) {
        const std::string out = std::string("out") + jobs;
        const test::ToolRun run = Tool(LODARCHIVE, dir, {"extract", "-j", jobs, "art.lod", "-d", out});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(Names(dir.path() / out), all);
        for (const MadeEntry &e : game.entries)
            EXPECT_EQ(test::ReadFile(dir.path() / out / e.name), e.data) << e.name;
    }
    // By default into the directory named after the archive; names in any letter case.
    fs::create_directory(dir.path() / "art");
    test::WriteFile(dir.file("art/ARROW.pcx"), {'o', 'l', 'd'});
    const test::ToolRun named = Tool(LODARCHIVE, dir, {"extract", "-n", "art.lod", "arrow.PCX", "empty", "missing"});
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err, "lodarchive: art.lod/ARROW.pcx: skipped: art/ARROW.pcx exists\n"
                         "lodarchive: art.lod/missing: the archive holds no entry of that name\n");
    EXPECT_EQ(Names(dir.path() / "art"), (std::set<std::string>{"ARROW.pcx", "Empty"}));
    EXPECT_EQ(test::ReadFile(dir.file("art/ARROW.pcx")), (Bytes{'o', 'l', 'd'}));
}

TEST(Lodarchive, ExtractFailsWhatItCannotGiveAndGoesOn)
{
    TempDir dir;
    test::MadeArchive archive;
    archive.entries = {
        {"Same.pcx", {1}, Packing::kStored},
        {"SAME.pcx", {2}, Packing::kStored}, // one name to the archive, which finds the first
        {"corrupt", test::Compressible(500), Packing::kZlib},
        {"SIXTEEN_BYTES_XX", {3}, Packing::kStored}, // no room for the name's zero byte
        {"self.lod", {4}, Packing::kStored},
        {"fine", {5}, Packing::kStored},
    };
    archive.entries[2].stored = Bytes{0x78, 0x9C, 0xFF, 0xFF, 0xFF};
    const Bytes bytes = test::MakeLodArchive(archive);
    test::WriteFile(dir.file("self.lod"), bytes);
    const test::ToolRun run = Tool(LODARCHIVE, dir, {"extract", "self.lod", "-d", "."});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "lodarchive: self.lod/SAME.pcx: not extracted: the archive finds self.lod/Same.pcx by this name "
              "(letter case ignored)\n"
              "lodarchive: self.lod/corrupt: damaged entry: its packed data is corrupt\n"
              "lodarchive: self.lod/SIXTEEN_BYTES_XX: damaged entry: the name has no end within its 16 bytes\n"
              "lodarchive: self.lod/self.lod: its output ./self.lod would replace the archive itself\n");
    EXPECT_EQ(test::ReadFile(dir.file("self.lod")), bytes);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"self.lod", "Same.pcx", "fine"}));
    EXPECT_EQ(test::ReadFile(dir.file("Same.pcx")), Bytes{1});
}

// The files the writing tests add: a picture, noise that packing cannot shrink, an empty file and
// bytes that pack well.
const std::vector<Expected> kFiles = {
    {"a.pcx", test::LodPcx(test::Pattern(64, 48, 1))},
    {"Noise.BIN", test::Incompressible(5000)},
    {"e", {}},
    {"c.txt", test::Compressible(100000)},
};

void WriteFiles(const TempDir &dir, const std::vector<Expected> &files)
{
    for (const Expected &f : files)
        test::WriteFile(dir.path() / f.name, f.data);
}

std::vector<std::string> Args(std::vector<std::string> args, const std::vector<Expected> &files)
{
    for (const Expected &f : files)
        args.push_back(f.name);
    return args;
}

TEST(Lodarchive, CreatesTheSameArchiveForAnyJobs)
{
    TempDir dir;
    WriteFiles(dir, kFiles);
    std::optional<Bytes> first;
    for (const char *jobs : {"1", "2", "7"}) {
        const test::ToolRun run = Tool(LODARCHIVE, dir, Args({"create", "--kind", "500", "-j", jobs, "n.lod"}, kFiles));
        EXPECT_EQ(run.status, 0) << run.err;
        const std::vector<Bytes> stored = ExpectArchive(dir, "n.lod", 500, {}, kFiles);
        if (!first)
            first = test::ReadFile(dir.file("n.lod"));
        EXPECT_EQ(test::ReadFile(dir.file("n.lod")), *first) << "-j " << jobs;
        ASSERT_EQ(stored.size(), kFiles.size());
        EXPECT_LT(stored[3].size(), kFiles[3].data.size() / 10); // packed where it pays
        EXPECT_EQ(stored[1], kFiles[1].data);                    // stored where it does not
    }
    const test::ToolRun stored = Tool(LODARCHIVE, dir, Args({"create", "--level", "0", "s.lod"}, kFiles));
    EXPECT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(ExpectArchive(dir, "s.lod", 200, {}, kFiles)[3], kFiles[3].data);
}

TEST(Lodarchive, AddAndRemoveKeepWhatTheyDoNotChange)
{
    TempDir dir;
    const test::MadeArchive game = Game();
    const Bytes old = test::MakeLodArchive(game);
    const Bytes arrow = test::LodPcx(test::Pattern(7, 5, 1, 3));
    fs::create_directory(dir.path() / "new");
    test::WriteFile(dir.file("new/arrow.PCX"), arrow);
    test::WriteFile(dir.file("new/more.bin"), kFiles[1].data);
    std::vector<Expected> entries = EntriesOf(game);
    entries[0].data = arrow; // in its place, under its name as the archive spells it, with its type
    entries.push_back({"more.bin", kFiles[1].data, 0});

    std::optional<Bytes> added;
    for (const char *jobs : {"1", "2", "7"}) {
        test::WriteFile(dir.file("art.lod"), old);
        const test::ToolRun add = Tool(LODARCHIVE, dir, {"add", "-j", jobs, "art.lod", "new/arrow.PCX", "new/more.bin"});
        EXPECT_EQ(add.status, 0) << add.err;
        const std::vector<Bytes> stored = ExpectArchive(dir, "art.lod", 500, game.reserved, entries);
        ASSERT_EQ(stored.size(), entries.size());
        EXPECT_EQ(stored[3], test::RawDeflated(game.entries[3].data)); // copied as stored, never packed again
        if (!added)
            added = test::ReadFile(dir.file("art.lod"));
        EXPECT_EQ(test::ReadFile(dir.file("art.lod")), *added) << "-j " << jobs;
    }
    const test::ToolRun remove = Tool(LODARCHIVE, dir, {"remove", "-v", "art.lod", "title.pcx", "EMPTY"});
    EXPECT_EQ(remove.status, 0) << remove.err;
    EXPECT_EQ(remove.err, "lodarchive: art.lod/title.pcx: removed\nlodarchive: art.lod/EMPTY: removed\n");
    entries.erase(entries.begin() + 4);
    entries.erase(entries.begin() + 1);
    ExpectArchive(dir, "art.lod", 500, game.reserved, entries);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"art.lod", "new"}));
}

// A change refused before anything is written: the message names the file, and the archive stays.
struct Refusal {
    const char *name;
    std::vector<std::string> args;
    std::string err; // before "lodarchive: ARCHIVE: nothing written"
};

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

const Refusal kRefusals[] = {
    {"LongName", {"add", "art.lod", "SIXTEEN_BYTES.xy"},
     "SIXTEEN_BYTES.xy: its entry name SIXTEEN_BYTES.xy is 16 bytes long, at most 15 are allowed"},
    {"ControlCharacter", {"add", "art.lod", "tab\there"},
     "tab\\there: its entry name tab\\there holds a control character"},
    {"TwoInputsOneName", {"add", "art.lod", "a.pcx", "sub/A.PCX"},
     "sub/A.PCX: its entry name A.PCX is also that of a.pcx (letter case ignored)"},
    {"MissingAndDirectory", {"add", "art.lod", "gone", "sub"},
     "gone: cannot open: No such file or directory\nlodarchive: sub: is a directory"},
    {"TheArchiveItself", {"add", "art.lod", "art.lod"}, "art.lod: is the archive itself"},
    {"LargerThanAnEntryMay", {"add", "art.lod", "big"},
     "big: it is 1073741825 bytes, at most 1073741824 are allowed in an archive"},
    {"PastFourGiB", {"create", "--level", "0", "art.lod", "g1", "g2", "g3", "g4"},
     "art.lod: the archive would pass 4 GiB, which its 32-bit offsets cannot address"},
    {"TooManyEntries", {"add", "full.lod", "a.pcx"}, "a.pcx: the archive would hold more than 10000 entries"},
    {"RemovedNameNotHeld", {"remove", "art.lod", "ARROW.pcx", "nothere"},
     "art.lod/nothere: the archive holds no entry of that name"},
    {"DamagedEntryKept", {"add", "bad.lod", "a.pcx"}, "bad.lod/x/y: damaged entry: the name holds a \"/\""},
    {"CreateOverAPicture", {"create", "a.pcx", "e"}, "a.pcx: is no LOD archive, and create replaces only an archive"},
};

void PrintTo(const Refusal &r, std::ostream *os)
{
    *os << r.name;
}

class Refusals : public testing::TestWithParam<Refusal> {};

TEST_P(Refusals, NameTheFileAndChangeNothing)
{
    const Refusal &r = GetParam();
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    WriteFiles(dir, {{"a.pcx", {1}}, {"e", {}}, {"sub/A.PCX", {2}}, {"SIXTEEN_BYTES.xy", {3}}, {"tab\there", {4}}});
    test::WriteFile(dir.file("art.lod"), test::MakeLodArchive(Game()));
    test::MadeArchive full;
    for (int i = 0; i < 10000; ++i)
        full.entries.push_back({std::string("E").append(std::to_string(i)), {}, Packing::kStored});
    test::WriteFile(dir.file("full.lod"), test::MakeLodArchive(full));
    test::MadeArchive bad = Game();
    bad.entries.push_back({"x/y", {5}, Packing::kStored});
    test::WriteFile(dir.file("bad.lod"), test::MakeLodArchive(bad));
    // Files of 1 GiB and more without their bytes: refused before anything reads them.
    for (const auto &[name, size] : {std::pair{"big", kGiB + 1}, {"g1", kGiB}, {"g2", kGiB}, {"g3", kGiB}, {"g4", kGiB}}) {
        test::WriteFile(dir.path() / name, {});
        fs::resize_file(dir.path() / name, size);
    }
    const std::string archive = r.args[r.args.size() > 2 && r.args[1] == "--level" ? 3 : 1];
    const Bytes before = test::ReadFile(dir.path() / archive);
    const std::set<std::string> names = Names(dir.path());

    const test::ToolRun run = Tool(LODARCHIVE, dir, r.args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lodarchive: " + r.err + "\nlodarchive: " + archive + ": nothing written\n");
    EXPECT_EQ(test::ReadFile(dir.path() / archive), before);
    EXPECT_EQ(Names(dir.path()), names);
}

INSTANTIATE_TEST_SUITE_P(Changes, Refusals, testing::ValuesIn(kRefusals),
                         [](const auto &info) { return std::string(info.param.name); });

// A change that fails while the new archive is written: the shell runs lodarchive as "$0" "$@".
struct Interruption {
    const char *name;
    std::string shell;
    int status;
    std::string err;
    bool asAnotherUser = false; // as root, where root could write anyway
};

// Sends a signal once lodarchive has its new archive open, nameless, beside the old one.
std::string Signalled(const char *signal)
{
    return std::string("\"$0\" \"$@\" & pid=$!\n"
                       "until ls -l /proc/$pid/fd 2>/dev/null | grep -q '(deleted)' || ! kill -0 $pid 2>/dev/null; do\n"
                       "  sleep 0.002\n"
                       "done\n"
                       "kill -") + signal + " $pid; wait $pid 2>/dev/null";
}

const Interruption kInterruptions[] = {
    // Past 2 MiB the system refuses to write (EFBIG) rather than killing the process.
    {"FullFileSystem", "trap '' XFSZ; ulimit -f 4096; exec \"$0\" \"$@\"", 1,
     "lodarchive: art.lod: cannot write: File too large\nlodarchive: art.lod: nothing written\n"},
    {"StopSignal", Signalled("TERM"), 128 + SIGTERM, ""},
    {"Killed", Signalled("KILL"), 128 + SIGKILL, ""},
    // The archive itself may be written; only the directory cannot take the new one. Root may
    // write anywhere, so as root the tool runs as nobody.
    {"ReadOnlyDirectory",
     "chmod 666 art.lod && chmod 555 . && exec ${SETPRIV:+/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups} "
     "\"$0\" \"$@\"",
     1, "lodarchive: art.lod: cannot create: Permission denied\nlodarchive: art.lod: nothing written\n", true},
};

void PrintTo(const Interruption &i, std::ostream *os)
{
    *os << i.name;
}

class Interruptions : public testing::TestWithParam<Interruption> {};

TEST_P(Interruptions, LeaveTheOldArchiveAsItWas)
{
    const Interruption &c = GetParam();
    const bool root = ::geteuid() == 0;
    if (c.asAnotherUser && root && ::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "as root this cannot fail without setpriv";
    TempDir dir;
    test::WriteFile(dir.file("art.lod"), test::MakeLodArchive(Game()));
    const Bytes before = test::ReadFile(dir.file("art.lod"));
    // Noise at the highest level, one entry at a time: long enough to be stopped in the middle.
    std::vector<std::string> args = {"-c", (root ? "SETPRIV=1; " : "") + c.shell, LODARCHIVE, "add",
                                     "--level", "9", "-j", "1", "art.lod"};
    for (int i = 0; i < 48; ++i) {
        args.push_back(std::string("n").append(std::to_string(i)));
        test::WriteFile(dir.path() / args.back(), test::Incompressible(1 << 20, static_cast<unsigned>(i)));
    }
    const std::set<std::string> names = Names(dir.path());
    const test::ToolRun run = test::RunTool("sh", dir.path(), args);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(test::ReadFile(dir.file("art.lod")), before);
    EXPECT_EQ(Names(dir.path()), names);
}

INSTANTIATE_TEST_SUITE_P(Changes, Interruptions, testing::ValuesIn(kInterruptions),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Bmp2lodpcx, PictureEditedAsPngGoesBackIntoItsArchive)
{
    TempDir dir;
    const test::MadeArchive game = Game();
    test::WriteFile(dir.file("art.lod"), test::MakeLodArchive(game));
    ASSERT_EQ(Tool(LODARCHIVE, dir, {"extract", "art.lod"}).status, 0);
    ASSERT_EQ(Tool(LODPCX2BMP, dir, {"-f", "png", "art/ARROW.pcx"}).status, 0);
    // Edited by another program: one pixel takes colour 200.
    const test::ToolRun edit = test::RunTool(
        "/usr/bin/python3", dir.path(),
        {"-c", "from PIL import Image; im = Image.open('art/ARROW.png'); im.putpixel((6, 4), 200); "
               "im.save('art/ARROW.png')"});
    ASSERT_EQ(edit.status, 0) << edit.err;
    test::Picture edited = kArrow;
    edited.pixels[4 * 7 + 6] = 200;

    const test::ToolRun back = Tool(BMP2LODPCX, dir, {"art/ARROW.png", "-o", "art.lod/arrow.pcx"});
    EXPECT_EQ(back.status, 0) << back.err;
    std::vector<Expected> entries = EntriesOf(game);
    entries[0].data = test::LodPcx(edited);
    ExpectArchive(dir, "art.lod", 500, game.reserved, entries);

    // Several pictures in one change, or none when one fails.
    ASSERT_EQ(test::RunTool(PIL_HELPER, dir.path(), {"make", "rgba", "alpha.png"}).status, 0);
    ASSERT_EQ(test::RunTool(PIL_HELPER, dir.path(), {"make", "rgb", "new.png"}).status, 0);
    const Bytes before = test::ReadFile(dir.file("art.lod"));
    const test::ToolRun refused = Tool(BMP2LODPCX, dir, {"-d", "art.lod", "new.png", "alpha.png"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "bmp2lodpcx: alpha.png: PNG pictures with an alpha channel cannot be written as LOD PCX\n"
                           "bmp2lodpcx: art.lod: nothing written\n");
    EXPECT_EQ(test::ReadFile(dir.file("art.lod")), before);
    const test::ToolRun one = Tool(BMP2LODPCX, dir, {"-d", "art.lod", "new.png", "art/ARROW.png"});
    EXPECT_EQ(one.status, 0) << one.err;
    const test::ToolRun list = Tool(LODARCHIVE, dir, {"list", "art.lod"});
    EXPECT_TRUE(list.out.ends_with("Empty\t0\t0\t1\nnew.pcx\t57\t0\t0\n")) << list.out;

    // A picture is never written over the archive itself, and an 8-bit one only under a .pcx name.
    const test::ToolRun over = Tool(BMP2LODPCX, dir, {"art/ARROW.png", "-o", "art.lod"});
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(over.err, "bmp2lodpcx: art.lod: is a LOD archive: name an entry of it, art.lod/NAME.pcx, to put the "
                        "picture into it\n");
    const test::ToolRun def = Tool(BMP2LODPCX, dir, {"art/ARROW.png", "-o", "art.lod/ARROW.def"});
    EXPECT_EQ(def.status, 1);
    EXPECT_EQ(def.err, "bmp2lodpcx: art.lod/ARROW.def: an 8-bit picture keeps its colours only in a file named .pcx\n"
                       "bmp2lodpcx: art.lod: nothing written\n");
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"art.lod", "art", "alpha.png", "new.png"}));
}

TEST(Lodarchive, UsageErrorsExitWithTwo)
{
    TempDir dir;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command given"},
        {{"pack", "a.lod"}, "unknown command pack"},
        {{"list"}, "no ARCHIVE given"},
        {{"list", "a.lod", "b.lod"}, "list takes one ARCHIVE"},
        {{"create", "a.lod"}, "no FILE given"},
        {{"remove", "a.lod"}, "no NAME given"},
        {{"extract", "-j", "0", "a.lod"}, "-j needs a whole number of jobs above 0"},
        {{"create", "--level", "10", "a.lod", "f"}, "--level needs a whole number from 0 to 9"},
        {{"add", "--kind", "5", "a.lod", "f"}, "unknown option --kind"},
    };
    for (const auto &[args, message] : cases) {
        const test::ToolRun run = Tool(LODARCHIVE, dir, args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(run.err.starts_with("lodarchive: " + message + "\n")) << run.err;
        EXPECT_TRUE(run.err.ends_with("\nTry 'lodarchive --help'\n")) << run.err;
    }
    EXPECT_TRUE(Names(dir.path()).empty());
    const test::ToolRun help = Tool(LODARCHIVE, dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
}

} // namespace
} // namespace pcx
