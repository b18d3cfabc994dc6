// The BMP writer: exact bytes for every row fill, the colour-table sources, the passes' use of the
// record, and every failure with what it leaves behind.
#include "engine/bmp_writer.h"
#include "engine/byte_io.h"
#include "engine/raster.h"
#include "engine/current_file.h"
#include "engine/errors.h"
#include "engine/source_header.h"
#include "tests/support/lod_pcx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace pcx {
namespace {

using test::Bytes;
using test::Picture;
using test::TempDir;

// Converts the file as the program does: header read, classification, the matching conversion.
Bytes Convert(const TempDir &dir, const std::string &name, const Bytes &source)
{
    test::WriteFile(dir.file(name), source);
    PlainRecord record;
    ReadSourceHeader(record, dir.file(name));
    if (IsIndexed(record))
        ConvertIndexed(record, record.outputName());
    else if (IsTrueColor(record))
        ConvertTrueColor(record, record.outputName());
    else
        ADD_FAILURE() << name << " not recognised";
    EXPECT_EQ(record.progress, 100);
    return test::ReadFile(record.outputName());
}

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &e) {
        return e.what();
    }
    return "no error";
}

TEST(BmpWriter, ExactBytesForEveryRowFill)
{
    TempDir dir;
    for (int k : {1, 3})
        for (int w = 1; w <= 9; ++w)
            for (int h : {1, 2, 3, 7, 130}) {
                SCOPED_TRACE("k=" + std::to_string(k) + " " + std::to_string(w) + "x" +
                             std::to_string(h));
                const Picture p = test::Pattern(w, h, k, static_cast<unsigned>(w * h));
                const Bytes expected = test::ExpectedBmp(p, test::ColourTableFromPalette(p.palette));
                EXPECT_EQ(Convert(dir, "p.pcx", test::LodPcx(p)), expected);
                // The same picture handed over in memory, as sprite frames are.
                RasterPicture picture{p.width, p.height, k, p.pixels, {}};
                std::ranges::copy(p.palette, picture.palette.begin());
                MemorySink sink;
                WriteBmp(picture, sink);
                EXPECT_EQ(sink.bytes(), expected);
            }
}

TEST(BmpWriter, KnownSizes)
{
    TempDir dir;
    // 3 × 2, 8-bit: stride 4, one zero byte per row.
    Bytes bmp = Convert(dir, "a.pcx", test::LodPcx(test::Pattern(3, 2, 1)));
    ASSERT_EQ(bmp.size(), 1086u);
    EXPECT_EQ(bmp[2] | bmp[3] << 8, 1086);
    EXPECT_EQ(bmp[34], 8);
    // 5 × 2, 24-bit: stride 16.
    bmp = Convert(dir, "b.pcx", test::LodPcx(test::Pattern(5, 2, 3)));
    ASSERT_EQ(bmp.size(), 86u);
    EXPECT_EQ(bmp[2], 86);
    EXPECT_EQ(bmp[34], 32);
    EXPECT_EQ(bmp[46], 0); // colours used
}

TEST(BmpWriter, PaletteEntryIsWrittenBlueGreenRedZero)
{
    TempDir dir;
    Picture p = test::Pattern(2, 2, 1);
    p.palette[0] = 1;
    p.palette[1] = 2;
    p.palette[2] = 3;
    const Bytes bmp = Convert(dir, "a.pcx", test::LodPcx(p));
    EXPECT_EQ((Bytes{bmp[54], bmp[55], bmp[56], bmp[57]}), (Bytes{3, 2, 1, 0}));
}

TEST(BmpWriter, ColourTableSourceFollowsExtension)
{
    // Big enough that offset 54 + 1,024 lies inside the pixel data.
    const Picture p = test::Pattern(40, 40, 1);
    const Bytes source = test::LodPcx(p, 17); // with bytes between data and palette
    const Bytes fromEnd = test::ColourTableFromPalette(p.palette);
    const Bytes fromOffset54(source.begin() + 54, source.begin() + 54 + 1024);
    const std::pair<const char *, const Bytes *> cases[] = {
        {"A.PCX", &fromEnd}, {"A.pcx", &fromEnd},  {"A.Pcx", &fromEnd}, {"a.pCX", &fromEnd},
        {"A.def", &fromOffset54}, {"A", &fromOffset54}, {"A.pcx.def", &fromOffset54},
        {"замок.pcx", &fromEnd},
    };
    for (const auto &[name, table] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        EXPECT_EQ(Convert(dir, name, source), test::ExpectedBmp(p, *table));
    }
}

// A record that logs what the passes ask of it and, on a chosen progress value, renames the source
// in panel 0, to show that each pass reads the record when it starts.
class LoggingRecord final : public CurrentFileRecord {
public:
    PlainRecord inner;
    std::vector<int> progress;
    int switchAt = -1;
    std::string switchTo;

    std::string panel(Panel which) const override { return inner.panel(which); }
    void setPanel(Panel which, const std::string &text) override { inner.setPanel(which, text); }
    std::string outputName() const override { return inner.outputName(); }
    void setOutputName(const std::string &name) override { inner.setOutputName(name); }
    void setProgress(int value) override
    {
        progress.push_back(value);
        if (value == switchAt)
            inner.setPanel(Panel::Name, switchTo);
    }
};

TEST(BmpWriter, ProgressAndPerPassReadsOfTheRecord)
{
    TempDir dir;
    const Picture a = test::Pattern(4, 3, 1, 1);
    const Picture b = test::Pattern(4, 3, 1, 2);
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(a));
    test::WriteFile(dir.file("b.pcx"), test::LodPcx(b));

    LoggingRecord record;
    ReadSourceHeader(record, dir.file("a.pcx"));
    record.switchAt = 45; // the row pass then reads b.pcx
    record.switchTo = dir.file("b.pcx");
    ConvertIndexed(record, dir.file("out.bmp"));
    EXPECT_EQ(record.progress, (std::vector<int>{0, 10, 45, 100}));
    Picture mixed = b;
    mixed.palette = a.palette;
    EXPECT_EQ(test::ReadFile(dir.file("out.bmp")),
              test::ExpectedBmp(mixed, test::ColourTableFromPalette(a.palette)));

    LoggingRecord trueColor;
    test::WriteFile(dir.file("c.pcx"), test::LodPcx(test::Pattern(2, 2, 3)));
    ReadSourceHeader(trueColor, dir.file("c.pcx"));
    ConvertTrueColor(trueColor, dir.file("c.bmp"));
    EXPECT_EQ(trueColor.progress, (std::vector<int>{0, 45, 100}));
}

TEST(BmpWriter, ReplacesAnExistingLongerOutput)
{
    TempDir dir;
    test::WriteFile(dir.file("a.bmp"), Bytes(5000, 0x55));
    const Picture p = test::Pattern(3, 3, 3);
    EXPECT_EQ(Convert(dir, "a.pcx", test::LodPcx(p)), test::ExpectedBmp(p, {}));
}

TEST(BmpWriterFailure, ShortRowsReportReadErrorAndKeepTheSource)
{
    TempDir dir;
    const Picture p = test::Pattern(5, 4, 3);
    Bytes source = test::LodPcx(p);
    // Cut inside the last row, which is the first to be copied.
    source.resize(12 + 15 * 3 + 7);
    test::WriteFile(dir.file("s.pcx"), source);
    PlainRecord record;
    ReadSourceHeader(record, dir.file("s.pcx"));
    ASSERT_TRUE(IsTrueColor(record));
    EXPECT_EQ(ErrorOf([&] { ConvertTrueColor(record, dir.file("s.bmp")); }), "Stream read error");
    EXPECT_EQ(record.progress, 45);
    const Bytes expected = test::ExpectedBmp(p, {});
    EXPECT_EQ(test::ReadFile(dir.file("s.bmp")), Bytes(expected.begin(), expected.begin() + 54));
    EXPECT_EQ(test::ReadFile(dir.file("s.pcx")), source);
}

TEST(BmpWriterFailure, LongRowIsCopiedInBlocks)
{
    // One row of 70,000 bytes cut after 65,000: the first 61,440-byte block is written, the rest
    // of the row is not.
    TempDir dir;
    const Picture p = test::Pattern(70000, 1, 1);
    Bytes source = test::LodPcx(p, 0, false);
    source.resize(12 + 65000);
    test::WriteFile(dir.file("long.def"), source);
    PlainRecord record;
    ReadSourceHeader(record, dir.file("long.def"));
    EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, dir.file("long.bmp")); }), "Stream read error");
    const Bytes out = test::ReadFile(dir.file("long.bmp"));
    ASSERT_EQ(out.size(), 1078u + 61440u);
    EXPECT_TRUE(std::equal(out.begin() + 1078, out.end(), source.begin() + 12));
}

TEST(BmpWriterFailure, SourcesTooShortForTheirColourTable)
{
    struct Case {
        const char *name;
        std::size_t length;
    };
    // A ".pcx" with no room for a palette, one whose palette would overlap its rows, and a ".def"
    // that ends before offset 54 + 1,024.
    for (const Case c : {Case{"tiny.pcx", 12 + 16}, Case{"short.pcx", 12 + 16 + 767}, Case{"tiny.def", 1077}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Bytes source = test::LodHeader(16, 4, 4);
        source.resize(c.length, 0x11);
        test::WriteFile(dir.file(c.name), source);
        PlainRecord record;
        ReadSourceHeader(record, dir.file(c.name));
        ASSERT_TRUE(IsIndexed(record));
        EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, record.outputName()); }), "Stream read error");
        EXPECT_EQ(record.progress, 10);
        EXPECT_EQ(test::ReadFile(record.outputName()).size(), 54u); // the header only
        EXPECT_EQ(test::ReadFile(dir.file(c.name)), source);
    }
}

TEST(BmpWriterFailure, PictureTooLargeForBmpIsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    // 65536 × 65537 wraps to 65536 = the data size; its BMP would pass 4 GiB.
    Bytes source = test::LodHeader(65536, 65536, 65537);
    source.resize(12 + 65536 + 768, 0x22);
    test::WriteFile(dir.file("wrap.pcx"), source);
    test::WriteFile(dir.file("wrap.bmp"), {'o', 'l', 'd'});
    PlainRecord record;
    ReadSourceHeader(record, dir.file("wrap.pcx"));
    ASSERT_TRUE(IsIndexed(record));
    EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, record.outputName()); }), "picture too large for BMP");
    EXPECT_EQ(test::ReadFile(dir.file("wrap.bmp")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(test::ReadFile(dir.file("wrap.pcx")), source);
}

TEST(BmpWriterFailure, OutputAndSourceErrorsNameTheFileAsPassed)
{
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(test::Pattern(2, 2, 1)));
    PlainRecord record;
    ReadSourceHeader(record, dir.file("a.pcx"));

    const std::string missingDir = dir.file("no/such/dir/a.bmp");
    EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, missingDir); }), "Cannot create file " + missingDir);
    EXPECT_EQ(record.progress, 0);
    EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, ""); }), "Cannot create file ");
    EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, dir.path().string()); }),
              "Cannot create file " + dir.path().string());

    // The source vanishes between the header read and the conversion.
    std::filesystem::remove(dir.file("a.pcx"));
    EXPECT_EQ(ErrorOf([&] { ConvertIndexed(record, dir.file("a.bmp")); }),
              "Cannot open file " + dir.file("a.pcx"));
    EXPECT_EQ(record.progress, 10);

    // The passes after the header need the output to exist.
    EXPECT_EQ(ErrorOf([&] { WriteBmpPalette(record, dir.file("a.pcx"), dir.file("none.bmp")); }),
              "Cannot open file " + dir.file("a.pcx"));
}

TEST(BmpWriterFailure, FullDeviceIsAWriteError)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    TempDir dir;
    test::WriteFile(dir.file("a.pcx"), test::LodPcx(test::Pattern(64, 64, 3)));
    PlainRecord record;
    ReadSourceHeader(record, dir.file("a.pcx"));
    EXPECT_EQ(ErrorOf([&] { ConvertTrueColor(record, "/dev/full"); }), "Stream write error");
    EXPECT_EQ(record.progress, 0);
}

TEST(BmpWriterFailure, MalformedRecordIsReported)
{
    PlainRecord record;
    record.panels = {"x", "ten", "2", "20"};
    TempDir dir;
    EXPECT_EQ(ErrorOf([&] { WriteBmpHeader(record, dir.file("x.bmp"), 1); }),
              "'ten' is not a valid integer value");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bmp")));
}

TEST(OwnOutput, SameFileUnderAnyName)
{
    TempDir dir;
    test::WriteFile(dir.file("x.bmp"), {1});
    EXPECT_TRUE(IsOwnOutput(dir.file("x.bmp"), dir.file("x.bmp")));
    EXPECT_TRUE(IsOwnOutput(dir.file("x.bmp"), (dir.path() / "." / "x.bmp").string()));
    EXPECT_FALSE(IsOwnOutput(dir.file("x.pcx"), dir.file("x.bmp")));
    EXPECT_FALSE(IsOwnOutput(dir.file("x.bmp"), dir.file("y.bmp")));
}

} // namespace
} // namespace pcx
