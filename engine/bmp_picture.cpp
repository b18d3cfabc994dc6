// Loading and saving of the current picture. Every header field is checked before it sizes a
// buffer, a read or a seek, and the rows that the header announces must really be in the file.
#include "bmp_picture.h"

#include "bmp_format.h"
#include "errors.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>

namespace pcx {

namespace {

constexpr std::uint8_t kMagic0 = 'B';
constexpr std::uint8_t kMagic1 = 'M';
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kIndexedBits = 8;
constexpr std::uint16_t kTrueColorBits = 24;
constexpr std::uint32_t kNoCompression = 0;
constexpr std::size_t kColourEntrySize = 4; // blue, green, red, 0
constexpr std::size_t kMaxRowFill = 3;

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

Error NotValid()
{
    return Error("Bitmap image is not valid");
}

void ReadOrReject(std::FILE *f, void *data, std::size_t size)
{
    if (size != 0 && std::fread(data, 1, size, f) != size)
        throw NotValid();
}

void SeekOrReject(std::FILE *f, std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max()) ||
        std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0)
        throw NotValid();
}

std::uint64_t SizeOrReject(std::FILE *f)
{
    if (std::fseek(f, 0, SEEK_END) != 0)
        throw NotValid();
    const long size = std::ftell(f);
    if (size < 0)
        throw NotValid();
    SeekOrReject(f, 0);
    return static_cast<std::uint64_t>(size);
}

void WriteAll(std::FILE *f, const void *data, std::size_t size)
{
    if (size != 0 && std::fwrite(data, 1, size, f) != size)
        throw StreamWriteError();
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
    // A directory opens for reading on some systems; it is no file to load.
    std::error_code ignored;
    if (std::filesystem::is_directory(fileName, ignored))
        throw CannotOpenFile(fileName);
    const FilePtr file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw CannotOpenFile(fileName);

    const std::uint64_t fileSize = SizeOrReject(file.get());
    if (fileSize < bmp::kHeaderSize)
        throw NotValid();
    bmp::HeaderBytes bytes{};
    ReadOrReject(file.get(), bytes.data(), bytes.size());
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
        ReadOrReject(file.get(), picture.colourTable_.data(), tableEntries * kColourEntrySize);
    }

    // The file holds the bottom row first; memory holds the top row first.
    picture.pixels_.resize(rowBytes * height);
    std::array<std::uint8_t, kMaxRowFill> fill{};
    SeekOrReject(file.get(), header.pixelOffset);
    for (std::uint64_t n = 0; n < height; ++n) {
        ReadOrReject(file.get(), picture.pixels_.data() + (height - 1 - n) * rowBytes, rowBytes);
        ReadOrReject(file.get(), fill.data(), stride - rowBytes);
    }
    *this = std::move(picture);
}

void BmpPicture::Save(const std::string &fileName) const
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

    FilePtr file(std::fopen(fileName.c_str(), "wb"));
    if (!file)
        throw CannotCreateFile(fileName);
    WriteAll(file.get(), bytes.data(), bytes.size());
    if (indexed)
        WriteAll(file.get(), colourTable_.data(), colourTable_.size());
    const std::array<std::uint8_t, kMaxRowFill> zeros{};
    for (int y = height_ - 1; y >= 0; --y) {
        WriteAll(file.get(), row(y).data(), rowBytes);
        WriteAll(file.get(), zeros.data(), rowFill);
    }
    // A full disk often shows only when the buffer is flushed.
    if (std::fclose(file.release()) != 0)
        throw StreamWriteError();
}

} // namespace pcx
