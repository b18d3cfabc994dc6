// The two fuzz targets. Both work on real files in a scratch directory of their own, because the
// engine reads and writes files, and both check the result against rules written out here again,
// so that a wrong conversion or a picture that changes on saving counts as a fault, not only a crash.
#include "fuzz_targets.h"

#include "bmp_picture.h"
#include "bmp_writer.h"
#include "current_file.h"
#include "errors.h"
#include "source_header.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

namespace pcx::fuzz {

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A header may announce any size; conversions whose rows would pass this are not attempted, so
// that no input makes the target write gigabytes.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{16} << 20;

constexpr std::size_t kLodHeaderSize = 12;
constexpr std::size_t kLodPaletteSize = 768;
constexpr std::size_t kBmpHeaderSize = 54;
constexpr std::size_t kBmpTableSize = 1024;
constexpr std::size_t kDefTableOffset = 54;
constexpr std::int32_t kPictureMaxSide = 32768;

[[noreturn]] void Fail(const std::string &what)
{
    std::fprintf(stderr, "fuzz target fault: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void Require(bool condition, const std::string &what)
{
    if (!condition)
        Fail(what);
}

// One directory per process, removed when the process ends normally.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "pcxconv-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Fail("cannot make a scratch directory");
        path_ = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    std::string file(const char *name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

const Scratch &ScratchDir()
{
    static const Scratch scratch;
    return scratch;
}

void WriteBytes(const std::string &name, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Require(static_cast<bool>(out), "cannot write the scratch file " + name);
}

Bytes ReadBytes(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    Require(static_cast<bool>(in), "cannot read back " + name);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

void PutLe(Bytes &b, std::size_t at, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A header field the file cannot hold whole reads as 0.
std::int32_t SourceField(std::span<const std::uint8_t> file, std::size_t at)
{
    return file.size() >= at + 4 ? static_cast<std::int32_t>(Le32(file, at)) : 0;
}

// The BMP that converting a complete source must give, built from the byte layout directly.
Bytes ExpectedBmp(std::span<const std::uint8_t> file, bool pcxName, std::int32_t w, std::int32_t h,
                  int k)
{
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(k);
    const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
    const std::uint64_t offset = k == 1 ? kBmpHeaderSize + kBmpTableSize : kBmpHeaderSize;
    Bytes bmp(offset + stride * static_cast<std::uint64_t>(h), 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe(bmp, 2, static_cast<std::uint32_t>(bmp.size()), 4);
    PutLe(bmp, 10, static_cast<std::uint32_t>(offset), 4);
    PutLe(bmp, 14, 40, 4);
    PutLe(bmp, 18, static_cast<std::uint32_t>(w), 4);
    PutLe(bmp, 22, static_cast<std::uint32_t>(h), 4);
    PutLe(bmp, 26, 1, 2);
    PutLe(bmp, 28, static_cast<std::uint32_t>(8 * k), 2);
    PutLe(bmp, 34, static_cast<std::uint32_t>(stride * static_cast<std::uint64_t>(h)), 4);
    if (k == 1) {
        PutLe(bmp, 46, 256, 4);
        if (pcxName) {
            const std::size_t palette = file.size() - kLodPaletteSize;
            for (std::size_t i = 0; i < 256; ++i) {
                bmp[kBmpHeaderSize + 4 * i + 0] = file[palette + 3 * i + 2];
                bmp[kBmpHeaderSize + 4 * i + 1] = file[palette + 3 * i + 1];
                bmp[kBmpHeaderSize + 4 * i + 2] = file[palette + 3 * i + 0];
            }
        } else {
            std::memcpy(&bmp[kBmpHeaderSize], &file[kDefTableOffset], kBmpTableSize);
        }
    }
    for (std::uint64_t n = 0; n < static_cast<std::uint64_t>(h); ++n) {
        const std::uint64_t from = kLodHeaderSize + (static_cast<std::uint64_t>(h) - 1 - n) * rowBytes;
        std::memcpy(&bmp[offset + n * stride], &file[from], rowBytes);
    }
    return bmp;
}

} // namespace

void ConvertSource(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    const bool pcxName = (data[0] & 1) == 0;
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    const std::string source = ScratchDir().file(pcxName ? "x.pcx" : "x.def");
    const std::string output = ScratchDir().file("x.bmp");
    WriteBytes(source, file);

    PlainRecord record;
    try {
        ReadSourceHeader(record, source);
    } catch (const Error &e) {
        Fail(std::string("the header of a readable file was refused: ") + e.what());
    }
    const std::int32_t s = SourceField(file, 0), w = SourceField(file, 4), h = SourceField(file, 8);
    Require(record.panel(Panel::DataSize) == std::to_string(s) &&
                record.panel(Panel::Width) == std::to_string(w) &&
                record.panel(Panel::Height) == std::to_string(h),
            "the record does not hold the header's numbers");
    Require(record.panel(Panel::Name) == source && record.outputName() == output,
            "wrong name or output name: " + record.outputName());

    const auto p = static_cast<std::int32_t>(static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(h));
    const bool picture = w > 0 && h > 0;
    const bool indexed = picture && p == s;
    const bool trueColor = picture && s % 3 == 0 && p == s / 3;
    Require(IsIndexed(record) == indexed && IsTrueColor(record) == trueColor,
            "wrong classification of " + std::to_string(w) + " x " + std::to_string(h) + ", " +
                std::to_string(s));
    if (!indexed && !trueColor)
        return;

    const int k = indexed ? 1 : 3;
    const std::uint64_t pixelBytes =
        static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * static_cast<std::uint64_t>(k);
    if (pixelBytes > kMaxPixelBytes)
        return;

    const bool hasRows = file.size() >= kLodHeaderSize + pixelBytes;
    const bool hasTable = k == 3 || (pcxName ? file.size() >= kLodPaletteSize
                                             : file.size() >= kDefTableOffset + kBmpTableSize);
    try {
        if (indexed)
            ConvertIndexed(record, output);
        else
            ConvertTrueColor(record, output);
    } catch (const Error &e) {
        Require(std::string(e.what()) == "Stream read error",
                std::string("unexpected message: ") + e.what());
        Require(!(hasRows && hasTable), "a complete source was refused");
        Require(ReadBytes(source) == Bytes(file.begin(), file.end()), "the source was changed");
        return;
    }
    Require(hasRows && hasTable, "a source without all its rows or its table was converted");
    Require(record.progress == 100, "progress is not 100 after a conversion");
    Require(ReadBytes(source) == Bytes(file.begin(), file.end()), "the source was changed");
    const Bytes written = ReadBytes(output);
    Require(written == ExpectedBmp(file, pcxName, w, h, k), "the BMP differs from the source");

    // What the converter writes, the picture object must take.
    if (w <= kPictureMaxSide && h <= kPictureMaxSide) {
        BmpPicture loaded;
        try {
            loaded.Load(output);
        } catch (const Error &e) {
            Fail(std::string("a converted file does not load: ") + e.what());
        }
        Require(loaded.width() == w && loaded.height() == h && loaded.bitCount() == 8 * k,
                "a converted file loads with other dimensions");
    }
}

void RoundTripPicture(const std::uint8_t *data, std::size_t size)
{
    const std::string input = ScratchDir().file("in.bmp");
    const std::string saved = ScratchDir().file("saved.bmp");
    const std::string again = ScratchDir().file("again.bmp");
    WriteBytes(input, std::span<const std::uint8_t>(data, size));

    BmpPicture first;
    try {
        first.Load(input);
    } catch (const Error &e) {
        Require(std::string(e.what()) == "Bitmap image is not valid",
                std::string("unexpected message: ") + e.what());
        Require(first.IsEmpty(), "a failed load changed the picture");
        return;
    }
    const int w = first.width(), h = first.height(), bits = first.bitCount();
    Require(w > 0 && h > 0 && w <= BmpPicture::kMaxSide && h <= BmpPicture::kMaxSide,
            "a picture loaded with impossible dimensions");
    Require(bits == 8 || bits == 24, "a picture loaded with " + std::to_string(bits) + " bits");
    Require(first.colourTable().size() == (bits == 8 ? kBmpTableSize : 0),
            "wrong colour table size");
    const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(bits / 8);

    try {
        first.Save(saved);
    } catch (const Error &e) {
        Fail(std::string("a loaded picture cannot be saved: ") + e.what());
    }
    const Bytes savedBytes = ReadBytes(saved);
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    const std::size_t offset = bits == 8 ? kBmpHeaderSize + kBmpTableSize : kBmpHeaderSize;
    Require(savedBytes.size() == offset + stride * static_cast<std::size_t>(h),
            "the saved file has the wrong size");
    Require(Le32(savedBytes, 2) == savedBytes.size(), "the saved file size field is wrong");

    BmpPicture second;
    try {
        second.Load(saved);
    } catch (const Error &e) {
        Fail(std::string("a saved picture does not load: ") + e.what());
    }
    Require(second.width() == w && second.height() == h && second.bitCount() == bits,
            "the saved picture loads with other dimensions");
    Require(std::equal(first.colourTable().begin(), first.colourTable().end(),
                       second.colourTable().begin(), second.colourTable().end()),
            "the saved picture has another colour table");
    for (int y = 0; y < h; ++y) {
        const auto a = first.row(y), b = second.row(y);
        Require(a.size() == rowBytes && std::equal(a.begin(), a.end(), b.begin(), b.end()),
                "row " + std::to_string(y) + " changed on saving");
    }

    // A saved picture saves to the same bytes again.
    second.Save(again);
    Require(ReadBytes(again) == savedBytes, "saving a saved picture gives other bytes");
}

} // namespace pcx::fuzz
