// The conversion core: a LOD PCX source read from any byte source and written as a BMP (or handed to
// another encoder) into any sink. It knows no file names; the one thing a name decides, where an
// 8-bit source keeps its colours, comes in as a ColourTableRule.
#pragma once

#include "bmp_format.h"
#include "errors.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pcx {

class ByteSink;
class ByteSource;

inline constexpr std::size_t kSourceHeaderSize = 12; // data size, width, height
inline constexpr std::size_t kPaletteSize = 768;     // 256 × red, green, blue at the end
inline constexpr int kIndexedBytesPerPixel = 1;
inline constexpr int kTrueColorBytesPerPixel = 3;

struct SourceHeader {
    std::int32_t dataSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const SourceHeader &, const SourceHeader &) = default;
};

// A field the bytes cannot supply whole reads as 0.
[[nodiscard]] SourceHeader DecodeSourceHeader(std::span<const std::uint8_t> bytes);
// The header from the start of the source (a short source as above).
[[nodiscard]] SourceHeader ReadHeader(ByteSource &source);

// Width × height wrapped to 32 bits, as the record's arithmetic does.
[[nodiscard]] std::int32_t WrappedProduct(std::int32_t a, std::int32_t b);

// Both tests, each made on its own: the preview takes the 8-bit reading first, the batch applies
// both. Neither holds for a width or height of 0 or below.
struct Classification {
    bool indexed = false;   // width × height (wrapped to 32 bits) = data size
    bool trueColor = false; // width × height = data size ÷ 3
    [[nodiscard]] bool any() const { return indexed || trueColor; }
};
[[nodiscard]] Classification Classify(const SourceHeader &header);

// Where an 8-bit source keeps its colours: a 768-byte RGB palette at its end (".pcx" in any letter
// case), or a ready 1,024-byte table at offset 54 (any other name).
enum class ColourTableRule { kPaletteAtEnd, kTableAtOffset54 };

// The rows of a picture of width w and height h at k bytes per pixel, as the source and the BMP hold
// them; sizes in 64 bits, so no position wraps.
struct RowLayout {
    std::uint64_t pixelBytes = 0; // w × k; nothing for a width of 0 or below
    std::uint64_t stride = 0;     // pixelBytes rounded up to a multiple of 4
    std::uint64_t rows = 0;       // h; none for a height of 0 or below
    RowLayout(std::int32_t w, std::int32_t h, int k);
    [[nodiscard]] std::uint64_t fill() const { return stride - pixelBytes; }
};

// Where the rows start in a BMP of k bytes per pixel: after the colour table for 8-bit.
[[nodiscard]] std::uint32_t BmpPixelOffset(int k);

inline constexpr const char *kTooLargeForBmp = "picture too large for BMP";

// The 54-byte header for w, h and k. A picture whose BMP would not fit the 32-bit sizes of the
// format (over 4 GiB) is refused with kTooLargeForBmp; for a width or height of 0 or below the
// header's sizes wrap in 32-bit arithmetic.
[[nodiscard]] bmp::HeaderBytes BmpHeaderFor(std::int32_t w, std::int32_t h, int k);

// 256 entries of blue, green, red, 0. "Stream read error" when the source cannot supply them whole:
// a ".pcx" must hold its palette after its header and its pixelBytes of rows, or it has none.
using ColourTable = std::array<std::uint8_t, bmp::kColourTableSize>;
[[nodiscard]] ColourTable ReadColourTable(ByteSource &source, ColourTableRule rule, std::uint64_t pixelBytes);

// Rows are read many at a time, in windows of at most this many bytes (a row wider than that in
// pieces of whole 61,440-byte copy blocks), so memory stays flat whatever the picture's size. Rows
// are read straight into their places, so a window costs one read and one write. The default keeps
// a conversion's buffers under the allocator's threshold for mapping fresh pages, which a program
// converting one file at a time would otherwise pay for each file; the tools, which keep freed
// memory for the next file, take larger windows. Tests and fuzzing use small windows to reach the
// window boundaries with small pictures.
struct ReadWindow {
    std::uint64_t bytes = 64 * 1024;
};

// Writes the BMP rows, the source's last row first, each followed by its fill, strictly front to
// back. Where the source ends inside a row, the part of that row that whole blocks of 61,440 bytes
// cover is still written (so a narrower row leaves nothing of itself), and then "Stream read error".
void WriteBmpRows(ByteSource &source, const RowLayout &layout, ByteSink &sink, ReadWindow window = {});

// What another encoder (PNG, say) is given: the picture's size and colours, then its rows from the
// top, each w × k bytes (blue, green, red for 24-bit).
class PictureEncoder {
public:
    virtual ~PictureEncoder() = default;
    // colours: the table of an 8-bit picture; empty for a 24-bit one.
    virtual void Begin(std::int32_t width, std::int32_t height, int k,
                       std::span<const std::uint8_t> colours) = 0;
    virtual void Row(std::span<const std::uint8_t> pixels) = 0;
    virtual void End() = 0;
};

// A whole file converted: the picture written, or why not. The sink's contents are only meaningful
// when the outcome is kConverted.
struct Conversion {
    enum class Outcome { kConverted, kSkipped, kFailed };
    Outcome outcome = Outcome::kFailed;
    std::string message; // kSkipped: the reason; kFailed: the error (before the full-stop rule)
    std::optional<Error> error; // kFailed: the error itself
    SourceHeader header;
    int bytesPerPixel = 0; // of the picture written
};

inline constexpr const char *kNotAnImage = "not a LOD PCX image";

// The header read, the picture classified and converted in one go. A header that passes both tests
// is converted as the batch does: as 8-bit, and then, that having succeeded, as 24-bit.
[[nodiscard]] Conversion ConvertToBmp(ByteSource &source, ColourTableRule rule, ByteSink &sink,
                                     ReadWindow window = {});
[[nodiscard]] Conversion ConvertWith(ByteSource &source, ColourTableRule rule, PictureEncoder &encoder,
                                     ReadWindow window = {});

} // namespace pcx
