// Loading and saving of the current picture. Every header field is checked before it sizes a
// buffer, a read or a seek, and the rows that the header announces must really be in the file.
#include "bmp_picture.h"

#include "bmp_format.h"
#include "byte_io.h"
#include "bmp_reader.h"
#include "errors.h"
#include "file_io.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace pcx {

namespace {

constexpr std::uint16_t kIndexedBits = 8;
constexpr std::uint16_t kTrueColorBits = 24;
constexpr std::size_t kSavePieceSize = 65536;

Error NotValid()
{
    return Error("Bitmap image is not valid");
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
    // The converter's own layout only: 8 or 24 bits, the plain information header, rows bottom-up.
    // That is refused before the rows are read, and so is a picture beyond the bounds.
    BmpFile file;
    try {
        const bmp::Header h = ReadBmpHeader(source);
        if (h.infoSize != bmp::kInfoHeaderSize || (h.bitCount != kIndexedBits && h.bitCount != kTrueColorBits) ||
            h.width <= 0 || h.height <= 0 || h.width > kMaxSide || h.height > kMaxSide ||
            std::uint64_t(h.width) * std::uint64_t(h.height) * (h.bitCount / 8) > kMaxPixelBytes)
            throw NotValid();
        file = ReadBmp(source);
    } catch (const Error &) {
        throw NotValid();
    }
    const bmp::Header &h = file.header;
    BmpPicture picture;
    picture.width_ = h.width;
    picture.height_ = h.height;
    picture.bitCount_ = h.bitCount;
    picture.xPelsPerMeter_ = h.xPelsPerMeter;
    picture.yPelsPerMeter_ = h.yPelsPerMeter;
    picture.coloursUsed_ = h.coloursUsed;
    picture.coloursImportant_ = h.coloursImportant;
    if (h.bitCount == kIndexedBits) {
        // An 8-bit file has 256 colours unless colours-used names fewer; the rest are 0.
        picture.colourTable_ = std::move(file.colourTable);
        picture.colourTable_.resize(bmp::kColourTableSize, 0);
    }
    picture.pixels_ = std::move(file.picture.pixels);
    *this = std::move(picture);
}

void BmpPicture::Save(const std::string &fileName) const
{
    if (IsEmpty())
        return;
    File file = File::Create(fileName, fileName);
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
    header.bitCount = static_cast<std::uint16_t>(bitCount_);
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
