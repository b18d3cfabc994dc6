// The BMP writer's passes.
#include "bmp_writer.h"

#include "bmp_format.h"
#include "errors.h"
#include "file_io.h"
#include "source_header.h"

#include <algorithm>
#include <array>
#include <vector>

namespace pcx {

namespace {

// One block copy moves at most this many bytes; a piece that cannot be read whole is not written.
constexpr std::size_t kCopyBlockSize = 61440;
// Where a ".def" (or any non-".pcx") source keeps its ready-made colour table.
constexpr std::uint64_t kSourceColourTableOffset = 54;

// The row rule for a picture of w pixels of k bytes each.
struct RowLayout {
    std::uint64_t pixelBytes; // w × k; an image without columns has none
    std::uint64_t stride;     // pixelBytes rounded up to a multiple of 4
    std::uint64_t fill() const { return stride - pixelBytes; }

    RowLayout(std::int32_t w, int k)
        : pixelBytes(w > 0 ? static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(k) : 0),
          stride(bmp::RowStride(pixelBytes))
    {
    }
};

std::uint32_t PixelOffset(int k)
{
    return k == kIndexedBytesPerPixel ? bmp::kIndexedPixelOffset : bmp::kTrueColorPixelOffset;
}

// Copies count bytes at offset of the source to the output in blocks, never writing a block it
// could not read whole.
void CopyBlocks(File &source, std::uint64_t offset, File &output, std::uint64_t count,
                std::vector<char> &block)
{
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, block.size()));
        source.ReadExactAt(offset, block.data(), n);
        output.Write(block.data(), n);
        offset += n;
        count -= n;
    }
}

// Runs a pass's work on an open output. On a read error what was written so far is flushed to the
// file before the error leaves, so the output holds every row completed.
template <typename Work>
void WithOutput(File &output, Work work)
{
    try {
        work();
    } catch (...) {
        try {
            output.Close();
        } catch (const Error &) {
            // The first error is the one to report.
        }
        throw;
    }
    output.Close();
}

} // namespace

void ConvertIndexed(CurrentFileRecord &record, const std::string &outputName)
{
    record.setProgress(0);
    WriteBmpHeader(record, outputName, kIndexedBytesPerPixel);
    record.setProgress(10);
    WriteBmpPalette(record.panel(Panel::Name), outputName);
    record.setProgress(45);
    WriteBmpPixels(record, record.panel(Panel::Name), outputName, kIndexedBytesPerPixel);
    record.setProgress(100);
}

void ConvertTrueColor(CurrentFileRecord &record, const std::string &outputName)
{
    record.setProgress(0);
    WriteBmpHeader(record, outputName, kTrueColorBytesPerPixel);
    record.setProgress(45);
    WriteBmpPixels(record, record.panel(Panel::Name), outputName, kTrueColorBytesPerPixel);
    record.setProgress(100);
}

void WriteBmpHeader(const CurrentFileRecord &record, const std::string &outputName, int k)
{
    const std::int32_t w = PanelInteger(record, Panel::Width);
    const std::int32_t h = PanelInteger(record, Panel::Height);

    // The header's sizes keep the record's 32-bit wrapping arithmetic.
    const auto stride = static_cast<std::uint32_t>(
        bmp::RowStride(static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(k)));
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(h);

    bmp::Header header;
    header.pixelOffset = PixelOffset(k);
    header.fileSize = imageSize + header.pixelOffset;
    header.width = w;
    header.height = h;
    header.bitCount = static_cast<std::uint16_t>(8 * k);
    header.imageSize = imageSize;
    header.coloursUsed = k == kIndexedBytesPerPixel ? bmp::kColourCount : 0;

    const bmp::HeaderBytes bytes = bmp::EncodeHeader(header);
    File output = File::Create(outputName);
    WithOutput(output, [&] { output.Write(bytes.data(), bytes.size()); });
}

void WriteBmpPalette(const std::string &sourceName, const std::string &outputName)
{
    File source = File::OpenRead(sourceName);
    File output = File::OpenUpdate(outputName);
    WithOutput(output, [&] {
        output.Seek(bmp::kHeaderSize);
        std::array<std::uint8_t, bmp::kColourTableSize> table{};
        if (HasPcxExtension(sourceName)) {
            // A file too short to end in a palette has none: refused rather than guessed.
            const std::uint64_t size = source.Size();
            if (size < kPaletteSize)
                throw StreamReadError();
            std::array<std::uint8_t, kPaletteSize> rgb{};
            source.Seek(size - kPaletteSize);
            source.ReadExact(rgb.data(), rgb.size());
            for (std::size_t i = 0; i < bmp::kColourCount; ++i) {
                table[4 * i + 0] = rgb[3 * i + 2];
                table[4 * i + 1] = rgb[3 * i + 1];
                table[4 * i + 2] = rgb[3 * i + 0];
                table[4 * i + 3] = 0;
            }
        } else {
            source.Seek(kSourceColourTableOffset);
            source.ReadExact(table.data(), table.size());
        }
        output.Write(table.data(), table.size());
    });
}

void WriteBmpPixels(const CurrentFileRecord &record, const std::string &sourceName,
                    const std::string &outputName, int k)
{
    const std::int32_t w = PanelInteger(record, Panel::Width);
    const std::int32_t h = PanelInteger(record, Panel::Height);
    const RowLayout row(w, k);

    File source = File::OpenRead(sourceName);
    File output = File::OpenUpdate(outputName);
    WithOutput(output, [&] {
        output.Seek(PixelOffset(k));
        std::vector<char> block(static_cast<std::size_t>(std::min<std::uint64_t>(
            std::max<std::uint64_t>(row.pixelBytes, 1), kCopyBlockSize)));
        for (std::int64_t n = std::int64_t{h} - 1; n >= 0; --n) {
            // 64-bit positions: a row offset never wraps to another place in the file.
            CopyBlocks(source, kSourceHeaderSize + static_cast<std::uint64_t>(n) * row.pixelBytes,
                       output, row.pixelBytes, block);
            output.WriteZeros(static_cast<std::size_t>(row.fill()));
        }
    });
}

} // namespace pcx
