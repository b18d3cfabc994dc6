// Conversion of the current picture into a QImage: one copy per row, since it runs on every
// selection.
#include "picture_image.h"

#include "bmp_picture.h"

#include <QList>

#include <cstring>

namespace {

// Offsets inside a colour-table entry and a 24-bit pixel of the picture.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;
constexpr int kEntrySize = 4;

QImage IndexedImage(const pcx::BmpPicture &picture)
{
    QImage image(picture.width(), picture.height(), QImage::Format_Indexed8);
    if (image.isNull())
        return {};
    const auto table = picture.colourTable();
    QList<QRgb> colours;
    colours.reserve(static_cast<qsizetype>(table.size() / kEntrySize));
    for (std::size_t i = 0; i + kEntrySize <= table.size(); i += kEntrySize)
        colours.append(qRgb(table[i + kRed], table[i + kGreen], table[i + kBlue]));
    image.setColorTable(colours);
    for (int y = 0; y < picture.height(); ++y) {
        const auto row = picture.row(y);
        std::memcpy(image.scanLine(y), row.data(), row.size());
    }
    return image;
}

QImage TrueColorImage(const pcx::BmpPicture &picture)
{
    // The picture's pixels are blue, green, red: Qt's BGR888 takes them as they are.
    QImage image(picture.width(), picture.height(), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int y = 0; y < picture.height(); ++y) {
        const auto row = picture.row(y);
        std::memcpy(image.scanLine(y), row.data(), row.size());
    }
    return image;
}

} // namespace

QImage ToQImage(const pcx::BmpPicture &picture)
{
    if (picture.IsEmpty())
        return {};
    return picture.bitCount() == 8 ? IndexedImage(picture) : TrueColorImage(picture);
}
