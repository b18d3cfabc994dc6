// The conversion core.
#include "conversion.h"

#include "byte_io.h"
#include "errors.h"
#include "raster.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pcx {

namespace {

// A block copy moves at most this many bytes, and a block the source cannot supply whole is not
// written: what a failed conversion leaves behind depends on it.
constexpr std::uint64_t kCopyBlockSize = 61440;
constexpr std::uint64_t kSourceColourTableOffset = 54;
constexpr std::uint64_t kMostBmpSize = 0xFFFFFFFF; // the file size field has 32 bits
// From this row size on, rows are read straight into their places in the BMP's order.
constexpr std::size_t kScatteredRowBytes = 64;

std::uint64_t RowOffset(const RowLayout &layout, std::uint64_t row)
{
    return kSourceHeaderSize + row * layout.pixelBytes;
}

// The bytes of a row, counted from its start, that whole copy blocks cover when only the first
// `available` of them could be read.
std::uint64_t WholeBlocks(std::uint64_t available)
{
    return available / kCopyBlockSize * kCopyBlockSize;
}

Error RowsCutShort()
{
    return StreamReadError("file too short for its rows");
}

// Working bytes that are never zeroed: each byte is read into or staged before it is used, so a
// window sized for a large picture costs nothing for the part that a short source never fills.
class Scratch {
public:
    std::span<std::uint8_t> Get(std::size_t size)
    {
        if (size > capacity_) {
            data_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            capacity_ = size;
        }
        return {data_.get(), size};
    }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
};

// Reads the rows of a layout window by window, the rows of each window in one read.
class RowWindows {
public:
    RowWindows(ByteSource &source, const RowLayout &layout, ReadWindow window)
        : source_(source), layout_(layout), windowBytes_(std::max<std::uint64_t>(window.bytes, 1))
    {
    }

    // Whether rows must be read in pieces: one row does not fit a window.
    [[nodiscard]] bool Wide(std::uint64_t rowSize) const { return rowSize > windowBytes_; }
    // How many rows of rowSize bytes a window holds (at least one).
    [[nodiscard]] std::uint64_t RowsPerWindow(std::uint64_t rowSize) const
    {
        return std::max<std::uint64_t>(1, windowBytes_ / rowSize);
    }

    // Calls visit(bytes, rowCount, got) for consecutive windows of whole rows from the top, each
    // window as large as rowSize allows (rowSize being what one row takes in the caller's own
    // buffer). got is how many bytes of the window the source held.
    template <typename Visit>
    void ForEach(std::uint64_t rowSize, Visit visit)
    {
        const std::uint64_t perWindow = RowsPerWindow(rowSize);
        const auto buffer =
            buffer_.Get(static_cast<std::size_t>(std::min(perWindow, layout_.rows) * layout_.pixelBytes));
        for (std::uint64_t done = 0; done < layout_.rows;) {
            const std::uint64_t n = std::min(perWindow, layout_.rows - done);
            const auto bytes = buffer.first(static_cast<std::size_t>(n * layout_.pixelBytes));
            const std::size_t got = source_.ReadAt(RowOffset(layout_, done), bytes);
            visit(std::span<const std::uint8_t>(bytes), static_cast<std::size_t>(n), got);
            done += n;
        }
    }

    // One row in pieces of whole copy blocks, each handed to piece() as it is read. Where the source
    // ends, the whole blocks of what it held go out as a last piece before the error.
    template <typename Piece>
    void ReadWide(std::uint64_t row, Piece piece)
    {
        const std::uint64_t pieceBytes = std::max(WholeBlocks(windowBytes_), kCopyBlockSize);
        const auto buffer = buffer_.Get(static_cast<std::size_t>(std::min(pieceBytes, layout_.pixelBytes)));
        for (std::uint64_t done = 0; done < layout_.pixelBytes;) {
            const auto want = buffer.first(
                static_cast<std::size_t>(std::min(layout_.pixelBytes - done, pieceBytes)));
            const std::size_t got = source_.ReadAt(RowOffset(layout_, row) + done, want);
            if (got < want.size()) {
                const std::uint64_t whole = WholeBlocks(done + got);
                if (whole > done)
                    piece(want.first(static_cast<std::size_t>(whole - done)));
                throw RowsCutShort();
            }
            piece(std::span<const std::uint8_t>(want));
            done += got;
        }
    }

private:
    ByteSource &source_;
    const RowLayout &layout_;
    std::uint64_t windowBytes_;
    Scratch buffer_;
};

// The depth a whole-file conversion writes, or why there is none.
struct Depth {
    int k = 0;
    const char *skipped = nullptr;
};

Depth ChooseDepth(ByteSource &source, ColourTableRule rule, const SourceHeader &header)
{
    const Classification kind = Classify(header);
    if (!kind.any())
        return {0, kNotAnImage};
    if (kind.indexed && kind.trueColor) {
        // Only a product that wraps to 0 passes both; the batch writes 8-bit first, and its 24-bit
        // picture replaces that one only when the 8-bit conversion went through.
        DiscardSink discard;
        discard.Write(BmpHeaderFor(header.width, header.height, kIndexedBytesPerPixel));
        const RowLayout layout(header.width, header.height, kIndexedBytesPerPixel);
        discard.Write(ReadColourTable(source, rule, layout.rows * layout.pixelBytes));
        WriteBmpRows(source, layout, discard);
        return {kTrueColorBytesPerPixel, nullptr};
    }
    return {kind.indexed ? kIndexedBytesPerPixel : kTrueColorBytesPerPixel, nullptr};
}

template <typename Work>
Conversion Convert(ByteSource &source, ColourTableRule rule, Work work)
{
    Conversion result;
    try {
        result.header = ReadHeader(source);
        const Depth depth = ChooseDepth(source, rule, result.header);
        if (depth.skipped) {
            result.outcome = Conversion::Outcome::kSkipped;
            result.message = depth.skipped;
            return result;
        }
        result.bytesPerPixel = depth.k;
        work(result.header, depth.k);
        result.outcome = Conversion::Outcome::kConverted;
    } catch (const Error &e) {
        result.outcome = Conversion::Outcome::kFailed;
        result.message = e.what();
        result.error = e;
    }
    return result;
}

// Stages rows of one byte bottom up, each into a 4-byte slot, 16 rows at a time (a picture 1 pixel
// wide has millions of them), from the rows that end at end. Returns how many rows it staged.
std::size_t StageOneByteRows([[maybe_unused]] const std::uint8_t *end, [[maybe_unused]] std::size_t n,
                             [[maybe_unused]] std::uint8_t *out)
{
    std::size_t staged = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; n - staged >= 16; staged += 16, out += 64) {
        end -= 16;
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(end));
        // Reverses the 16 bytes: the dwords, the words in each dword, the bytes in each word.
        v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        const __m128i low = _mm_unpacklo_epi8(v, zero);
        const __m128i high = _mm_unpackhi_epi8(v, zero);
        auto *slots = reinterpret_cast<__m128i *>(out);
        _mm_storeu_si128(slots, _mm_unpacklo_epi16(low, zero));
        _mm_storeu_si128(slots + 1, _mm_unpackhi_epi16(low, zero));
        _mm_storeu_si128(slots + 2, _mm_unpacklo_epi16(high, zero));
        _mm_storeu_si128(slots + 3, _mm_unpackhi_epi16(high, zero));
    }
#endif
    return staged;
}

// Copies n rows of rowBytes each into out in reverse order, each followed by zeros up to stride.
// Pictures one or a few pixels wide have millions of rows, so tiny rows get loops of their own, and
// the fill (at most 3 bytes) is one 4-byte store of zeros over the end of the row's slot, made before
// the pixels are copied over its start: no call per row.
void StageRowsBottomUp(const std::uint8_t *in, std::size_t n, std::size_t rowBytes, std::size_t stride,
                       std::uint8_t *out)
{
    static constexpr std::uint8_t kZeros[4] = {};
    const std::uint8_t *row = in + n * rowBytes;
    const auto each = [&](auto copy) {
        for (std::size_t i = 0; i < n; ++i, out += stride) {
            row -= rowBytes;
            if (stride != rowBytes)
                std::memcpy(out + stride - 4, kZeros, 4);
            copy(row, out);
        }
    };
    if (rowBytes == 1) {
        const std::size_t staged = StageOneByteRows(row, n, out);
        row -= staged;
        out += staged * stride;
        n -= staged;
        each([](const std::uint8_t *from, std::uint8_t *to) { to[0] = from[0]; });
    } else if (rowBytes == 3)
        each([](const std::uint8_t *from, std::uint8_t *to) { std::memcpy(to, from, 3); });
    else
        each([rowBytes](const std::uint8_t *from, std::uint8_t *to) { std::memcpy(to, from, rowBytes); });
}

} // namespace

std::int32_t WrappedProduct(std::int32_t a, std::int32_t b)
{
    // Unsigned arithmetic wraps by definition; the conversion back is modular since C++20.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

SourceHeader DecodeSourceHeader(std::span<const std::uint8_t> bytes)
{
    const auto field = [&](std::size_t offset) {
        return bytes.size() >= offset + 4 ? static_cast<std::int32_t>(bmp::Get32(&bytes[offset])) : 0;
    };
    return {field(0), field(4), field(8)};
}

SourceHeader ReadHeader(ByteSource &source)
{
    std::array<std::uint8_t, kSourceHeaderSize> bytes{};
    const std::size_t got = source.ReadAt(0, bytes);
    return DecodeSourceHeader(std::span(bytes).first(got));
}

Classification Classify(const SourceHeader &h)
{
    if (h.width <= 0 || h.height <= 0)
        return {};
    const std::int32_t p = WrappedProduct(h.width, h.height);
    // p = s / 3 exactly, compared in 64 bits so that 3 × p cannot wrap.
    return {p == h.dataSize, std::int64_t{p} * 3 == std::int64_t{h.dataSize}};
}

RowLayout::RowLayout(std::int32_t w, std::int32_t h, int k)
    : pixelBytes(w > 0 ? static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(k) : 0),
      stride(bmp::RowStride(pixelBytes)), rows(h > 0 ? static_cast<std::uint64_t>(h) : 0)
{
}

std::uint32_t BmpPixelOffset(int k)
{
    return k == kIndexedBytesPerPixel ? bmp::kIndexedPixelOffset : bmp::kTrueColorPixelOffset;
}

bmp::HeaderBytes BmpHeaderFor(std::int32_t w, std::int32_t h, int k)
{
    const RowLayout layout(w, h, k);
    if (BmpPixelOffset(k) + layout.rows * layout.stride > kMostBmpSize)
        throw Error(kTooLargeForBmp);
    const auto stride = static_cast<std::uint32_t>(
        bmp::RowStride(static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(k)));
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(h);

    bmp::Header header;
    header.pixelOffset = BmpPixelOffset(k);
    header.fileSize = imageSize + header.pixelOffset;
    header.width = w;
    header.height = h;
    header.bitCount = static_cast<std::uint16_t>(8 * k);
    header.imageSize = imageSize;
    header.coloursUsed = k == kIndexedBytesPerPixel ? bmp::kColourCount : 0;
    return bmp::EncodeHeader(header);
}

ColourTable ReadColourTable(ByteSource &source, ColourTableRule rule, std::uint64_t pixelBytes)
{
    ColourTable table{};
    if (rule == ColourTableRule::kTableAtOffset54) {
        if (source.ReadAt(kSourceColourTableOffset, table) != table.size())
            throw StreamReadError("file too short for its colour table");
        return table;
    }
    // Taken from the end, the palette of a source cut short would be some of its own pixels.
    const std::uint64_t size = source.Size();
    if (size < kSourceHeaderSize + kPaletteSize || size - kSourceHeaderSize - kPaletteSize < pixelBytes)
        throw StreamReadError("file too short for its palette");
    std::array<std::uint8_t, kPaletteSize> rgb{};
    source.ReadExactAt(size - kPaletteSize, rgb);
    TableFromPalette(rgb, table);
    return table;
}

void WriteBmpRows(ByteSource &source, const RowLayout &layout, ByteSink &sink, ReadWindow window)
{
    if (layout.pixelBytes == 0)
        return; // no bytes and no fill in any row
    RowWindows windows(source, layout, window);
    if (windows.Wide(layout.stride)) {
        for (std::uint64_t row = layout.rows; row-- > 0;) {
            windows.ReadWide(row, [&](std::span<const std::uint8_t> piece) { sink.Write(piece); });
            sink.WriteZeros(static_cast<std::size_t>(layout.fill()));
        }
        return;
    }
    // Each window's rows are staged in BMP order, fill included, so the sink gets one write per window.
    // Rows of some size are read straight into their places; tiny rows (a picture a few pixels wide
    // has millions) are read in one piece and staged, as a piece per row would cost more.
    const auto rowBytes = static_cast<std::size_t>(layout.pixelBytes);
    const auto stride = static_cast<std::size_t>(layout.stride);
    const bool scatter = rowBytes >= kScatteredRowBytes;
    const std::uint64_t perWindow = windows.RowsPerWindow(stride);
    Scratch staging, plain;
    std::vector<std::span<std::uint8_t>> pieces;
    for (std::uint64_t done = 0; done < layout.rows;) {
        const auto n = static_cast<std::size_t>(std::min(perWindow, layout.rows - done));
        const std::uint64_t offset = RowOffset(layout, layout.rows - done - n);
        const auto staged = staging.Get(n * stride);
        std::size_t got;
        std::span<const std::uint8_t> lastRow; // where the window's last row from the source went
        if (scatter) {
            pieces.clear();
            for (std::size_t i = n; i-- > 0;)
                pieces.emplace_back(staged.data() + i * stride, rowBytes);
            if (const std::size_t fill = stride - rowBytes; fill > 0)
                for (std::size_t i = 0; i < n; ++i)
                    std::memset(staged.data() + i * stride + rowBytes, 0, fill);
            got = source.ReadScatteredAt(offset, pieces);
            lastRow = staged.first(rowBytes);
        } else {
            const auto bytes = plain.Get(n * rowBytes);
            got = source.ReadAt(offset, bytes);
            if (got == bytes.size())
                StageRowsBottomUp(bytes.data(), n, rowBytes, stride, staged.data());
            lastRow = bytes.last(rowBytes);
        }
        if (got < n * rowBytes) {
            // The source ends inside the window's last row, which is the first to go out.
            const std::size_t start = (n - 1) * rowBytes;
            sink.Write(lastRow.first(static_cast<std::size_t>(WholeBlocks(got > start ? got - start : 0))));
            throw RowsCutShort();
        }
        sink.Write(staged);
        done += n;
    }
}

Conversion ConvertToBmp(ByteSource &source, ColourTableRule rule, ByteSink &sink, ReadWindow window)
{
    return Convert(source, rule, [&](const SourceHeader &h, int k) {
        const RowLayout layout(h.width, h.height, k);
        const bmp::HeaderBytes header = BmpHeaderFor(h.width, h.height, k);
        // Only a source that holds every row can make the output that large: a header is no promise.
        const std::uint64_t size = source.Size();
        if (size >= kSourceHeaderSize && layout.pixelBytes > 0 &&
            layout.rows <= (size - kSourceHeaderSize) / layout.pixelBytes)
            sink.Expect(BmpPixelOffset(k) + layout.rows * layout.stride);
        sink.Write(header);
        if (k == kIndexedBytesPerPixel)
            sink.Write(ReadColourTable(source, rule, layout.rows * layout.pixelBytes));
        WriteBmpRows(source, layout, sink, window);
    });
}

Conversion ConvertWith(ByteSource &source, ColourTableRule rule, PictureEncoder &encoder, ReadWindow window)
{
    return Convert(source, rule, [&](const SourceHeader &h, int k) {
        const RowLayout layout(h.width, h.height, k);
        ColourTable table{};
        if (k == kIndexedBytesPerPixel)
            table = ReadColourTable(source, rule, layout.rows * layout.pixelBytes);
        encoder.Begin(h.width, h.height, k,
                      k == kIndexedBytesPerPixel ? std::span<const std::uint8_t>(table)
                                                 : std::span<const std::uint8_t>());
        RowWindows windows(source, layout, window);
        if (windows.Wide(layout.pixelBytes)) {
            // Encoders take whole rows; a row is only held as far as the source supplies it.
            std::vector<std::uint8_t> row;
            for (std::uint64_t r = 0; r < layout.rows; ++r) {
                row.clear();
                windows.ReadWide(r, [&](std::span<const std::uint8_t> piece) {
                    row.insert(row.end(), piece.begin(), piece.end());
                });
                encoder.Row(row);
            }
        } else {
            const auto rowBytes = static_cast<std::size_t>(layout.pixelBytes);
            windows.ForEach(layout.pixelBytes, [&](std::span<const std::uint8_t> bytes, std::size_t n, std::size_t got) {
                for (std::size_t i = 0; i < n; ++i) {
                    if ((i + 1) * rowBytes > got)
                        throw RowsCutShort();
                    encoder.Row(bytes.subspan(i * rowBytes, rowBytes));
                }
            });
        }
        encoder.End();
    });
}

} // namespace pcx
