// The engine and lodpcx2bmp against faults of the real file system: a full device, a missing or
// read-only place for the output, a source that vanishes or shrinks between the passes, and sources
// or outputs that are directories or FIFOs. Each case checks the message, that the source is
// untouched and that nothing is reported as success.
#include "engine/bmp_picture.h"
#include "engine/bmp_writer.h"
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/source_header.h"
#include "tests/support/lod_pcx.h"
#include "tests/support/tool_run.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>

namespace pcx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;
using test::ToolRun;

constexpr int kTimeLimitSeconds = 10;
constexpr std::size_t kBmpHeaderSize = 54;
constexpr std::size_t kIndexedPixelOffset = 1078; // header and colour table
constexpr int kTimedOut = 124; // the status of timeout(1) when it had to stop the program
constexpr const char *kSuccess = "<no error>";
constexpr const char *kHang = "<did not finish>";

// lodpcx2bmp in dir, stopped by timeout(1) if it does not end in time.
ToolRun Tool(const TempDir &dir, const std::vector<std::string> &args)
{
    return test::RunTool(LODPCX2BMP, dir.path(), args, kTimeLimitSeconds);
}

// Runs work in a child process and gives back the message of the error it raised, kSuccess when it
// raised none, or kHang when it did not finish in time (a blocked open cannot be interrupted from
// within).
std::string MessageWithinTimeLimit(const std::function<void()> &work)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "<no pipe>";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string message = kSuccess;
        try {
            work();
        } catch (const Error &e) {
            message = e.what();
        }
        (void)!::write(pipeEnds[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string message;
    pollfd waiting{pipeEnds[0], POLLIN, 0};
    bool finished = false;
    while (::poll(&waiting, 1, kTimeLimitSeconds * 1000) > 0) {
        char buffer[256];
        const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0) {
            finished = true;
            break;
        }
        message.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    if (!finished)
        ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!finished)
        return kHang;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child died>";
    return message;
}

// The message of the error that work raises, kSuccess when it raises none.
std::string MessageOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const Error &e) {
        return e.what();
    }
    return kSuccess;
}

// Permission bits do not stop root, so as root the current test runs again in a child process as
// nobody and its result is this test's result. Returns true when the child has done the work.
bool RanAsOrdinaryUser()
{
    if (::geteuid() != 0)
        return false;
    const auto *info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
    const TempDir logDir;
    const std::string log = logDir.file("log");
    const std::string command =
        "setpriv --reuid=nobody --regid=nogroup --clear-groups " +
        test::ShellQuote(fs::read_symlink("/proc/self/exe").string()) + " --gtest_filter=" + test::ShellQuote(filter) +
        " >" + test::ShellQuote(log) + " 2>&1";
    const int raw = std::system(command.c_str());
    const std::string output = test::ReadText(log);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << output;
    // A filter that matched nothing would pass without testing anything.
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    return true;
}

// A source file with its bytes, to be compared again afterwards.
struct Source {
    std::string name;
    Bytes bytes;
};

Source MakeSource(const TempDir &dir, const std::string &name, int w, int h, int k)
{
    Source s{dir.file(name), test::LodPcx(test::Pattern(w, h, k))};
    test::WriteFile(s.name, s.bytes);
    return s;
}

PlainRecord HeaderOf(const std::string &name)
{
    PlainRecord record;
    ReadSourceHeader(record, name);
    return record;
}

// Converts as the window does: 8-bit when that test holds, else 24-bit, into outputName.
void Convert(PlainRecord &record, const std::string &outputName)
{
    if (IsIndexed(record))
        ConvertIndexed(record, outputName);
    else
        ConvertTrueColor(record, outputName);
}

BmpPicture SomePicture(const TempDir &dir)
{
    const Source s = MakeSource(dir, "picture.pcx", 5, 3, 1);
    PlainRecord record = HeaderOf(s.name);
    ConvertIndexed(record, dir.file("picture.bmp"));
    BmpPicture picture;
    picture.Load(dir.file("picture.bmp"));
    return picture;
}

// --- A full device -----------------------------------------------------------------------------

TEST(FullDevice, EveryPassAndEveryConversionReportsAStreamWriteError)
{
    TempDir dir;
    for (const int k : {1, 3}) {
        const Source s = MakeSource(dir, k == 1 ? "eight.pcx" : "true.pcx", 37, 23, k);
        PlainRecord record = HeaderOf(s.name);
        SCOPED_TRACE(s.name);
        EXPECT_EQ(MessageOf([&] { Convert(record, "/dev/full"); }), "Stream write error");
        EXPECT_EQ(record.progress, 0);
        EXPECT_EQ(MessageOf([&] { WriteBmpHeader(record, "/dev/full", k); }), "Stream write error");
        if (k == 1) {
            EXPECT_EQ(MessageOf([&] { WriteBmpPalette(record, s.name, "/dev/full"); }),
                      "Stream write error");
        }
        EXPECT_EQ(MessageOf([&] { WriteBmpPixels(record, s.name, "/dev/full", k); }),
                  "Stream write error");
        EXPECT_EQ(test::ReadFile(s.name), s.bytes);
    }
}

TEST(FullDevice, SavingThePictureReportsAStreamWriteError)
{
    TempDir dir;
    const BmpPicture picture = SomePicture(dir);
    EXPECT_EQ(MessageOf([&] { picture.Save("/dev/full"); }), "Stream write error");
}

TEST(FullDevice, TheToolFailsWithTheMessage)
{
    TempDir dir;
    const Source s = MakeSource(dir, "a.pcx", 9, 4, 1);
    const ToolRun run = Tool(dir, {"-o", "/dev/full", "a.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "lodpcx2bmp: /dev/full: cannot write: No space left on device\n");
    EXPECT_EQ(test::ReadFile(s.name), s.bytes);
}

// --- Places where the output cannot be made ----------------------------------------------------

// Makes the output place unusable in one way; returns the output name to try.
using Spoil = std::function<std::string(const TempDir &)>;

struct UnwritableCase {
    const char *name;
    bool needsOrdinaryUser;
    Spoil spoil;
    bool outputKept;    // an existing output that must keep its bytes
    const char *reason; // as the tool gives it
};

const Bytes kOldOutput = {'o', 'l', 'd'};

const UnwritableCase kUnwritable[] = {
    {"MissingDirectory", false, [](const TempDir &) { return std::string("no/such/dir/x.bmp"); },
     false, "No such file or directory"},
    {"OutputIsADirectory", false,
     [](const TempDir &d) {
         fs::create_directory(d.path() / "x.bmp");
         return std::string("x.bmp");
     },
     false, "Is a directory"},
    {"OutputIsAFifo", false,
     [](const TempDir &d) {
         ::mkfifo(d.file("x.bmp").c_str(), 0600);
         return std::string("x.bmp");
     },
     false, "No such device or address"}, // a FIFO no one reads
    {"ReadOnlyFile", true,
     [](const TempDir &d) {
         test::WriteFile(d.path() / "x.bmp", kOldOutput);
         fs::permissions(d.path() / "x.bmp", fs::perms::owner_read | fs::perms::group_read |
                                                 fs::perms::others_read);
         return std::string("x.bmp");
     },
     true, "Permission denied"},
    {"ReadOnlyDirectory", true,
     [](const TempDir &d) {
         fs::create_directory(d.path() / "ro");
         fs::permissions(d.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
         return std::string("ro/x.bmp");
     },
     false, "Permission denied"},
};

void PrintTo(const UnwritableCase &c, std::ostream *os)
{
    *os << c.name;
}

class Unwritable : public testing::TestWithParam<UnwritableCase> {};

TEST_P(Unwritable, EngineToolAndPictureSayCannotCreateFile)
{
    const UnwritableCase &c = GetParam();
    if (c.needsOrdinaryUser && RanAsOrdinaryUser())
        return;
    TempDir dir;
    const Source s = MakeSource(dir, "a.pcx", 6, 5, 1);
    const std::string output = c.spoil(dir);
    const std::string full = dir.file(output);

    PlainRecord record = HeaderOf(s.name);
    EXPECT_EQ(MessageWithinTimeLimit([&] { ConvertIndexed(record, full); }),
              "Cannot create file " + full);
    const BmpPicture picture = SomePicture(dir);
    EXPECT_EQ(MessageWithinTimeLimit([&] { picture.Save(full); }), "Cannot create file " + full);

    const ToolRun run = Tool(dir, {"-o", output, "a.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "lodpcx2bmp: " + output + ": cannot create: " + c.reason + "\n");
    // Nothing of the attempt is left beside the output's name.
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(fs::path(full).parent_path(), ec))
        EXPECT_EQ(entry.path().filename().string().rfind(".pcxconv-", 0), std::string::npos) << entry.path();

    EXPECT_EQ(test::ReadFile(s.name), s.bytes);
    if (c.outputKept) {
        EXPECT_EQ(test::ReadFile(full), kOldOutput);
    }
    // Let the directory be removed again.
    fs::permissions(dir.path(), fs::perms::owner_all);
    if (fs::exists(dir.path() / "ro"))
        fs::permissions(dir.path() / "ro", fs::perms::owner_all);
}

INSTANTIATE_TEST_SUITE_P(Places, Unwritable, testing::ValuesIn(kUnwritable),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Unreadable, ASourceWithoutReadRightsCannotBeOpened)
{
    if (RanAsOrdinaryUser())
        return;
    TempDir dir;
    const Source s = MakeSource(dir, "a.pcx", 6, 5, 1);
    fs::permissions(s.name, fs::perms::owner_write);
    PlainRecord record;
    EXPECT_EQ(MessageOf([&] { ReadSourceHeader(record, s.name); }), "Cannot open file " + s.name);
    EXPECT_EQ(record.panels[static_cast<int>(Panel::Width)], "");

    const ToolRun run = Tool(dir, {"a.pcx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lodpcx2bmp: a.pcx: cannot open: Permission denied\n");
    EXPECT_FALSE(fs::exists(dir.path() / "a.bmp"));
    fs::permissions(s.name, fs::perms::owner_all);
    EXPECT_EQ(test::ReadFile(s.name), s.bytes);
}

TEST(Unreadable, ARecursiveRunNamesTheDirectoryAndConvertsTheRest)
{
    if (RanAsOrdinaryUser())
        return;
    TempDir dir;
    for (const char *sub : {"tree/a", "tree/locked", "tree/z"}) {
        fs::create_directories(dir.path() / sub);
        MakeSource(dir, std::string(sub) + "/p.pcx", 3, 2, 1);
    }
    fs::permissions(dir.path() / "tree/locked", fs::perms::none);
    const ToolRun run = Tool(dir, {"-r", "tree"});
    fs::permissions(dir.path() / "tree/locked", fs::perms::owner_all);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lodpcx2bmp: tree/locked: cannot read directory: Permission denied\n");
    EXPECT_TRUE(fs::exists(dir.path() / "tree/a/p.bmp"));
    EXPECT_TRUE(fs::exists(dir.path() / "tree/z/p.bmp"));
}

// --- A run that is killed ----------------------------------------------------------------------

TEST(Killed, ARunKilledWhileWritingLeavesNothingBehind)
{
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) {
        names.push_back("big" + std::to_string(i) + ".pcx");
        MakeSource(dir, names.back(), 2000, 2000, 3);
    }
    for (const std::string wait : {"0.02", "0.06", "0.15"}) {
        std::string command = "\"$0\" -j1";
        for (const std::string &name : names)
            command += " " + name;
        command += " & sleep " + wait + "; kill -KILL $!; wait";
        (void)test::RunTool("sh", dir.path(), {"-c", command, LODPCX2BMP});
        for (const auto &entry : fs::directory_iterator(dir.path()))
            EXPECT_NE(entry.path().filename().string().rfind(".pcxconv-", 0), 0u) << entry.path();
    }
}

// --- A source that changes between the passes --------------------------------------------------

enum class After { Header, Palette };

struct ChangeCase {
    const char *name;
    const char *file;
    int k;
    After after;
    // Changes the source; returns the bytes it then holds (empty when it is no file any more).
    std::function<Bytes(const std::string &, const Bytes &)> change;
    bool sourceNamedInMessage; // "Cannot open file <source>"; otherwise "Stream read error"
};

Bytes Remove(const std::string &name, const Bytes &)
{
    fs::remove(name);
    return {};
}

std::function<Bytes(const std::string &, const Bytes &)> ShrinkTo(std::size_t size)
{
    return [size](const std::string &name, const Bytes &bytes) {
        fs::resize_file(name, size);
        return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    };
}

Bytes BecomeDirectory(const std::string &name, const Bytes &)
{
    fs::remove(name);
    fs::create_directory(name);
    return {};
}

Bytes BecomeFifo(const std::string &name, const Bytes &)
{
    fs::remove(name);
    ::mkfifo(name.c_str(), 0600);
    return {};
}

// The sources: 8-bit 40 × 30 and 24-bit 20 × 20, both 1,200 bytes of rows after the 12-byte header;
// an 8-bit ".pcx" has its 768-byte palette after them. A ".def" needs 1,078 bytes for its table.
const ChangeCase kChanges[] = {
    {"PcxGoneBeforePalette", "a.pcx", 1, After::Header, Remove, true},
    {"PcxGoneBeforeRows", "a.pcx", 1, After::Palette, Remove, true},
    {"TrueColorGoneBeforeRows", "a.pcx", 3, After::Header, Remove, true},
    {"PcxShorterThanPaletteBeforePalette", "a.pcx", 1, After::Header, ShrinkTo(500), false},
    {"DefShorterThanTableBeforePalette", "a.def", 1, After::Header, ShrinkTo(1000), false},
    {"PcxLosesRowsBeforeRows", "a.pcx", 1, After::Palette, ShrinkTo(800), false},
    {"TrueColorLosesRowsBeforeRows", "a.PCX", 3, After::Header, ShrinkTo(600), false},
    {"TrueColorLosesLastByteBeforeRows", "a.pcx", 3, After::Header, ShrinkTo(12 + 1199), false},
    {"BecomesDirectoryBeforeRows", "a.pcx", 1, After::Palette, BecomeDirectory, true},
    {"BecomesFifoBeforePalette", "a.pcx", 1, After::Header, BecomeFifo, true},
    {"TrueColorBecomesFifoBeforeRows", "a.pcx", 3, After::Header, BecomeFifo, true},
};

void PrintTo(const ChangeCase &c, std::ostream *os)
{
    *os << c.name;
}

class SourceChanges : public testing::TestWithParam<ChangeCase> {};

TEST_P(SourceChanges, TheFailingPassSaysSoAndLeavesWhatWasWritten)
{
    const ChangeCase &c = GetParam();
    TempDir dir;
    const test::Picture picture = c.k == 1 ? test::Pattern(40, 30, 1) : test::Pattern(20, 20, 3);
    const Source s{dir.file(c.file), test::LodPcx(picture)};
    test::WriteFile(s.name, s.bytes);
    const std::string output = dir.file("out.bmp");
    PlainRecord record = HeaderOf(s.name);

    ASSERT_EQ(MessageOf([&] { WriteBmpHeader(record, output, c.k); }), kSuccess);
    if (c.after == After::Palette) {
        ASSERT_EQ(MessageOf([&] { WriteBmpPalette(record, s.name, output); }), kSuccess);
    }
    const Bytes left = c.change(s.name, s.bytes);
    const std::string message = MessageWithinTimeLimit([&] {
        if (c.k == 1 && c.after == After::Header)
            WriteBmpPalette(record, s.name, output);
        WriteBmpPixels(record, s.name, output, c.k);
    });
    EXPECT_EQ(message, c.sourceNamedInMessage ? "Cannot open file " + s.name : "Stream read error");

    // What was written stays: the header, and the table when its pass ended; nothing of the row
    // that could not be read.
    const Bytes expected = test::ExpectedBmp(
        picture, c.k == 1 ? test::ColourTableFromPalette(picture.palette) : Bytes{});
    const Bytes written = test::ReadFile(output);
    // Every 8-bit case changed before the table is one that its pass cannot read.
    const bool paletteFailed = c.k == 1 && c.after == After::Header;
    const std::size_t kept = c.k == 3 || paletteFailed ? kBmpHeaderSize : kIndexedPixelOffset;
    ASSERT_EQ(written.size(), kept);
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + kBmpHeaderSize, expected.begin()));
    if (kept == kIndexedPixelOffset && HasPcxExtension(s.name)) {
        EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
    }

    // The source is as the change left it.
    if (!left.empty()) {
        EXPECT_EQ(test::ReadFile(s.name), left);
    } else if (fs::is_directory(s.name)) {
        EXPECT_TRUE(fs::is_empty(s.name));
    } else if (!fs::is_fifo(s.name)) {
        EXPECT_FALSE(fs::exists(s.name));
    }
}

INSTANTIATE_TEST_SUITE_P(BetweenPasses, SourceChanges, testing::ValuesIn(kChanges),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Sources that are no regular files ---------------------------------------------------------

struct OddSource {
    const char *name;
    // Makes it in dir; returns its name relative to dir, or an absolute one.
    std::function<std::string(const TempDir &)> make;
};

const OddSource kOddSources[] = {
    {"Directory",
     [](const TempDir &d) {
         fs::create_directory(d.path() / "dir.pcx");
         return std::string("dir.pcx");
     }},
    {"Fifo",
     [](const TempDir &d) {
         ::mkfifo(d.file("fifo.pcx").c_str(), 0600);
         return std::string("fifo.pcx");
     }},
    {"EndlessDevice", [](const TempDir &) { return std::string("/dev/zero"); }},
    {"EmptyDevice", [](const TempDir &) { return std::string("/dev/null"); }},
};

void PrintTo(const OddSource &c, std::ostream *os)
{
    *os << c.name;
}

class NotARegularFile : public testing::TestWithParam<OddSource> {};

TEST_P(NotARegularFile, CannotBeOpenedAndNothingWaits)
{
    TempDir dir;
    const std::string name = GetParam().make(dir);
    const std::string path = name.front() == '/' ? name : dir.file(name);
    const fs::file_type kind = fs::status(path).type();

    PlainRecord record;
    record.panels = {"before", "1", "2", "3"};
    const std::string message = MessageWithinTimeLimit([&] {
        ReadSourceHeader(record, path);
    });
    EXPECT_EQ(message, "Cannot open file " + path);

    // Each pass that reads the source, given a record that claims a picture.
    PlainRecord claimed;
    claimed.panels = {path, "4", "4", "16"};
    const std::string output = dir.file("out.bmp");
    EXPECT_EQ(MessageWithinTimeLimit([&] { ConvertIndexed(claimed, output); }),
              "Cannot open file " + path);
    EXPECT_EQ(MessageWithinTimeLimit([&] { ConvertTrueColor(claimed, output); }),
              "Cannot open file " + path);

    for (const std::vector<std::string> &args :
         {std::vector<std::string>{name}, std::vector<std::string>{"--info", name}}) {
        const ToolRun run = Tool(dir, args);
        EXPECT_NE(run.status, kTimedOut) << "lodpcx2bmp did not finish";
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        const std::string message = kind == fs::file_type::directory
                                        ? "is a directory (-r converts the files under it)"
                                        : "cannot open: not a regular file";
        EXPECT_EQ(run.err, "lodpcx2bmp: " + name + ": " + message + "\n");
    }
    EXPECT_EQ(record.panels[0], "before");
    EXPECT_EQ(record.panels[1], "1");
    EXPECT_EQ(fs::status(path).type(), kind);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotARegularFile, testing::ValuesIn(kOddSources),
                         [](const auto &info) { return std::string(info.param.name); });

// The picture is loaded from the temporary file, which is in a directory only its user can write;
// still, a directory or FIFO there must neither load nor block.
TEST(NotARegularFile, ThePictureDoesNotLoadADirectoryOrWaitForAFifo)
{
    TempDir dir;
    fs::create_directory(dir.path() / "dir.bmp");
    ::mkfifo(dir.file("fifo.bmp").c_str(), 0600);
    for (const std::string &name : {dir.file("dir.bmp"), dir.file("fifo.bmp")}) {
        BmpPicture picture;
        const std::string message = MessageWithinTimeLimit([&] { picture.Load(name); });
        EXPECT_EQ(message, "Cannot open file " + name);
    }
}

} // namespace
} // namespace pcx
