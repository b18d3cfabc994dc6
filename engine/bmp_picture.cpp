// Loading and saving of the current picture. Every header field is checked before it sizes a
// buffer, a read or a seek, and the rows that the header announces must really be in the file.
#include "bmp_picture.h"

#include "bmp_format.h"
#include "byte_io.h"
#include "errors.h"
#include "file_io.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace pcx {

namespace {

constexpr std::uint8_t kMagic0 = 'B';
constexpr std::uint8_t kMagic1 = 'M';
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kIndexedBits = 8;
constexpr std::uint16_t kTrueColorBits = 24;
constexpr std::uint32_t kNoCompression = 0;
constexpr std::size_t kColourEntrySize = 4; // blue, green, red, 0
constexpr std::size_t kSavePieceSize = 65536;

Error NotValid()
{
    return Error("Bitmap image is not valid");
}

void ReadOrReject(ByteSource &source, std::uint64_t offset, std::uint8_t *data, std::size_t size)
{
    if (source.ReadAt(offset, std::span(data, size)) != size)
        throw NotValid();
}

} // namespace

std::span<const std::uint8_t> BmpPicture::row(int y) const
{
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * bytesPerPixel();
    return std::span<const std::uint8_t>(pixels_).subspan(static_cast<std::size_t>(y) * rowBytes,
                                                          rowBytes);
}

void BmpPicture::Load(const std::string &fileName)
{
    File file = File::OpenRead(fileName);
    FileSource source(file);
    Load(source);
}

void BmpPicture::Load(ByteSource &source)
{
    const std::uint64_t fileSize = source.Size();
    if (fileSize < bmp::kHeaderSize)
        throw NotValid();
    bmp::HeaderBytes bytes{};
    ReadOrReject(source, 0, bytes.data(), bytes.size());
    if (bytes[bmp::kOffMagic] != kMagic0 || bytes[bmp::kOffMagic + 1] != kMagic1)
        throw NotValid();
    const bmp::Header header = bmp::DecodeHeader(bytes);
    if (header.infoSize != bmp::kInfoHeaderSize || header.planes != kPlanes ||
        header.compression != kNoCompression)
        throw NotValid();
    if (header.bitCount != kIndexedBits && header.bitCount != kTrueColorBits)
        throw NotValid();
    // A negative height would mean top-down rows; neither the converter nor the viewer make them.
    if (header.width <= 0 || header.height <= 0 || header.width > kMaxSide ||
        header.height > kMaxSide)
        throw NotValid();

    // Both sides are at most 2^15, so none of these 64-bit products can overflow.
    const std::uint64_t pixelBytes = header.bitCount / 8;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(header.width) * pixelBytes;
    const std::uint64_t stride = bmp::RowStride(rowBytes);
    const std::uint64_t height = static_cast<std::uint64_t>(header.height);
    if (rowBytes * height > kMaxPixelBytes)
        throw NotValid();

    // An 8-bit file has 256 colours unless colours-used names fewer.
    std::uint64_t tableEntries = 0;
    if (header.bitCount == kIndexedBits) {
        if (header.coloursUsed > bmp::kColourCount)
            throw NotValid();
        tableEntries = header.coloursUsed == 0 ? bmp::kColourCount : header.coloursUsed;
    }
    const std::uint64_t tableEnd = bmp::kHeaderSize + tableEntries * kColourEntrySize;
    if (header.pixelOffset < tableEnd || header.pixelOffset + stride * height > fileSize)
        throw NotValid();

    BmpPicture picture;
    picture.width_ = header.width;
    picture.height_ = header.height;
    picture.bitCount_ = header.bitCount;
    picture.xPelsPerMeter_ = header.xPelsPerMeter;
    picture.yPelsPerMeter_ = header.yPelsPerMeter;
    picture.coloursUsed_ = header.coloursUsed;
    picture.coloursImportant_ = header.coloursImportant;
    if (header.bitCount == kIndexedBits) {
        picture.colourTable_.assign(bmp::kColourTableSize, 0);
        ReadOrReject(source, bmp::kHeaderSize, picture.colourTable_.data(), tableEntries * kColourEntrySize);
    }

    // One read of all rows; the file holds the bottom row first, memory the top row first.
    const std::size_t blockSize = stride * height;
    const auto block = std::make_unique_for_overwrite<std::uint8_t[]>(blockSize);
    ReadOrReject(source, header.pixelOffset, block.get(), blockSize);
    picture.pixels_.resize(rowBytes * height);
    for (std::uint64_t n = 0; n < height; ++n)
        std::copy_n(block.get() + n * stride, rowBytes,
                    picture.pixels_.data() + (height - 1 - n) * rowBytes);
    *this = std::move(picture);
}

void BmpPicture::Save(const std::string &fileName) const
{
    if (IsEmpty())
        return;
    File file = File::Create(fileName);
    FileSink sink(file);
    Save(sink);
    file.Close();
}

void BmpPicture::Save(ByteSink &sink) const
{
    if (IsEmpty())
        return;
    const bool indexed = bitCount_ == kIndexedBits;
    // Load bounds the sizes, so every value fits its 32-bit field.
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * bytesPerPixel();
    const std::size_t rowFill = bmp::RowStride(rowBytes) - rowBytes;
    const auto imageSize = static_cast<std::uint32_t>(bmp::RowStride(rowBytes) * height_);

    bmp::Header header;
    header.pixelOffset = indexed ? bmp::kIndexedPixelOffset : bmp::kTrueColorPixelOffset;
    header.fileSize = header.pixelOffset + imageSize;
    header.width = width_;
    header.height = height_;
    header.planes = kPlanes;
    header.bitCount = static_cast<std::uint16_t>(bitCount_);
    header.compression = kNoCompression;
    header.imageSize = imageSize;
    header.xPelsPerMeter = xPelsPerMeter_;
    header.yPelsPerMeter = yPelsPerMeter_;
    header.coloursUsed = indexed ? static_cast<std::uint32_t>(bmp::kColourCount) : coloursUsed_;
    header.coloursImportant = coloursImportant_;
    const bmp::HeaderBytes bytes = bmp::EncodeHeader(header);

    sink.Write(bytes);
    if (indexed)
        sink.Write(colourTable_);
    // Rows go out bottom first, many at a time with their fill, in pieces of about 64 KiB; the fill
    // bytes of the piece are zero from the start and never overwritten.
    const std::size_t stride = rowBytes + rowFill;
    const std::size_t perPiece = std::max<std::size_t>(1, kSavePieceSize / stride);
    std::vector<std::uint8_t> piece(std::min(perPiece, static_cast<std::size_t>(height_)) * stride);
    for (int y = height_ - 1; y >= 0;) {
        const std::size_t n = std::min(perPiece, static_cast<std::size_t>(y) + 1);
        for (std::size_t i = 0; i < n; ++i, --y)
            std::copy_n(row(y).data(), rowBytes, piece.data() + i * stride);
        sink.Write(std::span(piece).first(n * stride));
    }
}

} // namespace pcx
