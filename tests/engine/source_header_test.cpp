// The header reader, the output-name and extension rules, and the classification.
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/source_header.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>

namespace pcx {
namespace {

using test::Bytes;
using test::TempDir;

TEST(ReadSourceHeader, FillsPanelsAndOutputName)
{
    TempDir dir;
    const std::string name = dir.file("ARROW.PCX");
    test::WriteFile(name, test::LodHeader(600, 10, -20));
    PlainRecord record;
    ReadSourceHeader(record, name);
    EXPECT_EQ(record.panel(Panel::Name), name);
    EXPECT_EQ(record.panel(Panel::Width), "10");
    EXPECT_EQ(record.panel(Panel::Height), "-20");
    EXPECT_EQ(record.panel(Panel::DataSize), "600");
    EXPECT_EQ(record.outputName(), dir.file("ARROW.bmp"));
}

TEST(ReadSourceHeader, ShortFileReadsMissingFieldsAsZero)
{
    struct Case {
        std::size_t length;
        const char *size, *width, *height;
    };
    const Bytes full = test::LodHeader(0x01020304, 0x05060708, 0x090A0B0C);
    for (const Case c : {Case{0, "0", "0", "0"}, Case{3, "0", "0", "0"},
                         Case{4, "16909060", "0", "0"}, Case{7, "16909060", "0", "0"},
                         Case{11, "16909060", "84281096", "0"}}) {
        SCOPED_TRACE(c.length);
        TempDir dir;
        test::WriteFile(dir.file("x.pcx"), Bytes(full.begin(), full.begin() + c.length));
        PlainRecord record;
        ReadSourceHeader(record, dir.file("x.pcx"));
        EXPECT_EQ(record.panel(Panel::DataSize), c.size);
        EXPECT_EQ(record.panel(Panel::Width), c.width);
        EXPECT_EQ(record.panel(Panel::Height), c.height);
        EXPECT_FALSE(IsIndexed(record) || IsTrueColor(record));
    }
}

TEST(ReadSourceHeader, UnopenableFileLeavesRecordAsItWas)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo.pcx").c_str(), 0600), 0);
    for (const std::string &name : {dir.file("missing.pcx"), dir.path().string(), dir.file("fifo.pcx"),
                                   std::string()}) {
        PlainRecord record;
        record.panels = {"before", "1", "2", "3"};
        record.output = "out";
        try {
            ReadSourceHeader(record, name);
            ADD_FAILURE() << "no error for " << name;
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file " + name);
        }
        EXPECT_EQ(record.panels, (std::array<std::string, 4>{"before", "1", "2", "3"}));
        EXPECT_EQ(record.output, "out");
    }
}

TEST(OutputName, DropsLastFourCharactersAndAddsBmp)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/games/data/ARROW.PCX", "/games/data/ARROW.bmp"},
        {"ARROW.def", "ARROW.bmp"},
        {"abc", ".bmp"},
        {"abcd", ".bmp"},
        {"", ".bmp"},
        {"noext_name", "noext_.bmp"},
        {"замок.pcx", "замок.bmp"},
        {"/d/ключ", "/d/.bmp"},      // four two-byte letters dropped whole
        {"/d/xключ", "/d/x.bmp"},
        {"a€€€€", "a.bmp"},          // three-byte characters
        {"pic.x😀", "pi.bmp"}, // a four-byte character counts as one
        {"dir/ab", "dir/.bmp"},  // the characters dropped stop at the last separator
        {"/d/abc", "/d/.bmp"},
        {"/", "/.bmp"},
    };
    for (const auto &[source, output] : cases)
        EXPECT_EQ(OutputNameFor(source), output) << source;
}

TEST(OutputName, ToolsReplaceOrAddTheExtension)
{
    const std::pair<const char *, const char *> cases[] = {
        {"a.pcx", "a.bmp"},       {"dir/ARROW.PCX", "dir/ARROW.bmp"}, {"noext", "noext.bmp"},
        {".hidden", ".hidden.bmp"}, {"d/.hidden", "d/.hidden.bmp"},   {"a.b.def", "a.b.bmp"},
        {"x.y/noext", "x.y/noext.bmp"}, {"a.", "a.bmp"},             {"dir/ab", "dir/ab.bmp"},
    };
    for (const auto &[source, output] : cases)
        EXPECT_EQ(WithExtension(source, ".bmp"), output) << source;
}

TEST(Extension, TakesTextAfterLastDotOfLastComponent)
{
    const std::pair<const char *, const char *> cases[] = {
        {"a.pcx", ".pcx"}, {"a.b.PCX", ".PCX"}, {"/x.y/name", ""}, {"name", ""},
        {"/dir/.hidden", ".hidden"}, {"a.", "."}, {"a.def", ".def"},
    };
    for (const auto &[name, ext] : cases)
        EXPECT_EQ(ExtensionOf(name), ext) << name;

    for (const char *pcx : {"A.PCX", "/d/A.pcx", "A.Pcx", "A.pCX"})
        EXPECT_TRUE(HasPcxExtension(pcx)) << pcx;
    for (const char *other : {"A.def", "A", "A.pcx.bak", "/x.pcx/A", "A.pcy", "A.pc"})
        EXPECT_FALSE(HasPcxExtension(other)) << other;
}

TEST(Classification, TestsDataSizeAgainstProduct)
{
    struct Case {
        std::int32_t w, h, s;
        bool indexed, trueColor;
    };
    const Case cases[] = {
        {10, 20, 200, true, false},
        {10, 20, 600, false, true},
        {10, 20, 601, false, false},
        {10, 20, 400, false, false},
        {10, 20, 599, false, false},
        {1, 1, 1, true, false},
        {1, 1, 3, false, true},
        // A picture needs a width and a height: these describe nothing.
        {0, 20, 0, false, false},
        {10, 0, 0, false, false},
        {-10, -20, 200, false, false},
        {-10, 20, -200, false, false},
        // The product wraps in 32 bits: 65536 × 65537 = 65536 (mod 2^32).
        {65536, 65537, 65536, true, false},
        {65536, 65537, 196608, false, true},
        // 3 × p must not wrap: p = 1,431,655,766 has 3p = 2 (mod 2^32).
        {1431655766, 1, 2, false, false},
        // p = 2^31 wraps to INT_MIN; s / 3 can never reach it.
        {65536, 32768, INT_MIN, true, false},
        {715827882, 1, INT_MAX - 1, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " / " + std::to_string(c.s));
        EXPECT_EQ(IsIndexed(c.w, c.h, c.s), c.indexed);
        EXPECT_EQ(IsTrueColor(c.w, c.h, c.s), c.trueColor);
        PlainRecord record;
        record.panels = {"f", std::to_string(c.w), std::to_string(c.h), std::to_string(c.s)};
        EXPECT_EQ(IsIndexed(record), c.indexed);
        EXPECT_EQ(IsTrueColor(record), c.trueColor);
    }
}

TEST(ParseInteger, AcceptsSignedDecimalOnly)
{
    EXPECT_EQ(ParseInteger("0"), 0);
    EXPECT_EQ(ParseInteger("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseInteger("2147483647"), INT_MAX);
    for (const char *bad : {"", " 1", "1 ", "2147483648", "-2147483649", "0x10", "1.0", "abc"}) {
        try {
            (void)ParseInteger(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(UserMessage, AppendsFullStopAfterLettersDigitsAndColons)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Stream read error", "Stream read error."},
        {"I/O error 21", "I/O error 21."},
        {"Failed to get data for 'Left'", "Failed to get data for 'Left'"},
        {"Cannot create file ", "Cannot create file "},
        {"Cannot open file C:", "Cannot open file C:."},
        {"Cannot open file a\\", "Cannot open file a\\."},
        {"Done.", "Done."},
        {"Wow!", "Wow!"},
        {"(x)", "(x)"},
        {"", ""},
        {"Cannot open file /tmp/замок", "Cannot open file /tmp/замок."},
        {"a/", "a/."}, // '/' sorts after '.'
        {"a-", "a-"},
    };
    for (const auto &[message, shown] : cases)
        EXPECT_EQ(UserMessage(message), shown) << message;
}

} // namespace
} // namespace pcx
