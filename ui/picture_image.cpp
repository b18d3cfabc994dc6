// Conversion of the current picture into a QImage, in one pass, since it runs on every selection.
#include "picture_image.h"

#include "engine/bmp_picture.h"


#include <array>

namespace {

// Offsets inside a colour-table entry and a 24-bit pixel of the picture: blue, green, red.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;
constexpr int kEntrySize = 4;
constexpr int kPixelSize = 3;

} // namespace

QImage ToQImage(const pcx::BmpPicture &picture)
{
    if (picture.IsEmpty())
        return {};
    // Built straight in the screen's own 32-bit format, so that making a pixmap of it converts
    // nothing.
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const bool indexed = picture.bitCount() == 8;
    std::array<QRgb, 256> colours{};
    if (indexed) {
        const auto table = picture.colourTable();
        for (std::size_t i = 0; i < colours.size() && (i + 1) * kEntrySize <= table.size(); ++i)
            colours[i] = qRgb(table[i * kEntrySize + kRed], table[i * kEntrySize + kGreen],
                              table[i * kEntrySize + kBlue]);
    }
    for (int y = 0; y < picture.height(); ++y) {
        const auto row = picture.row(y);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (indexed) {
            for (std::size_t x = 0; x < row.size(); ++x)
                out[x] = colours[row[x]];
        } else {
            for (std::size_t i = 0, x = 0; i < row.size(); i += kPixelSize, ++x)
                out[x] = qRgb(row[i + kRed], row[i + kGreen], row[i + kBlue]);
        }
    }
    return image;
}
