// The current picture: an 8-bit or 24-bit uncompressed BMP held in memory, loaded from a file and
// saved back in the converter's own layout, so that an unchanged picture saves to the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pcx {

class ByteSink;
class ByteSource;

class BmpPicture {
public:
    // Bounds on what Load accepts, so that a tiny file cannot announce gigabytes; the rows must also
    // be present in the file itself.
    static constexpr std::int32_t kMaxSide = 32768;
    static constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 28; // 256 MiB

    // An empty picture: 0 x 0, no bit depth.
    BmpPicture() = default;

    // Replaces this picture with the file's. "Cannot open file <name>" when it cannot be opened,
    // "Bitmap image is not valid" for anything but an 8-bit or 24-bit uncompressed bottom-up BMP.
    // On failure the picture stays as it was.
    void Load(const std::string &fileName);
    // The same from any source (memory, say); the source's own failures pass through.
    void Load(ByteSource &source);

    // Writes the picture as a BMP file, creating or replacing it. "Cannot create file <name>",
    // "Stream write error". The caller decides what saving an empty picture means.
    void Save(const std::string &fileName) const;
    // The same bytes into any sink.
    void Save(ByteSink &sink) const;

    [[nodiscard]] bool IsEmpty() const { return width_ == 0; }
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    // 8 or 24; 0 for an empty picture.
    [[nodiscard]] int bitCount() const { return bitCount_; }
    [[nodiscard]] int bytesPerPixel() const { return bitCount_ / 8; }
    // 256 entries of blue, green, red, 0 for an 8-bit picture (entries that the file did not give
    // are 0); empty otherwise.
    [[nodiscard]] std::span<const std::uint8_t> colourTable() const { return colourTable_; }
    // Row y counted from the top, width() * bytesPerPixel() bytes: indices, or blue, green, red.
    [[nodiscard]] std::span<const std::uint8_t> row(int y) const;

private:
    int width_ = 0;
    int height_ = 0;
    int bitCount_ = 0;
    // Header fields that saving carries over from the loaded file.
    std::int32_t xPelsPerMeter_ = 0;
    std::int32_t yPelsPerMeter_ = 0;
    std::uint32_t coloursUsed_ = 0;
    std::uint32_t coloursImportant_ = 0;
    std::vector<std::uint8_t> colourTable_;
    std::vector<std::uint8_t> pixels_; // rows top-down, no row fill
};

} // namespace pcx
