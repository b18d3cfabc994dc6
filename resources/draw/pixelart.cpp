// Pixel-art grids and pasting, used by every small picture of the generator.
#include "pixelart.h"

#include <QPainter>

#include <cstdio>
#include <cstdlib>

namespace draw {

QRgb paletteColour(char letter)
{
    switch (letter) {
    case '.': return qRgba(0, 0, 0, 0);
    case 'k': return qRgb(0x00, 0x00, 0x00);
    case 'W': return qRgb(0xff, 0xff, 0xff);
    case 's': return qRgb(0xc0, 0xc0, 0xc0);
    case 'd': return qRgb(0x80, 0x80, 0x80);
    case 'r': return qRgb(0x80, 0x00, 0x00);
    case 'R': return qRgb(0xff, 0x00, 0x00);
    case 'g': return qRgb(0x00, 0x80, 0x00);
    case 'G': return qRgb(0x00, 0xff, 0x00);
    case 'o': return qRgb(0x80, 0x80, 0x00);
    case 'Y': return qRgb(0xff, 0xff, 0x00);
    case 'n': return qRgb(0x00, 0x00, 0x80);
    case 'B': return qRgb(0x00, 0x00, 0xff);
    case 't': return qRgb(0x00, 0x80, 0x80);
    case 'C': return qRgb(0x00, 0xff, 0xff);
    case 'p': return qRgb(0x80, 0x00, 0x80);
    case 'M': return qRgb(0xff, 0x00, 0xff);
    case 'l': return qRgb(0xdf, 0xdf, 0xdf);
    case 'y': return qRgb(0xff, 0xff, 0xa0);
    default:
        std::fprintf(stderr, "draw_resources: unknown palette letter '%c'\n", letter);
        std::abort();
    }
}

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage fromGrid(std::initializer_list<std::string_view> rows)
{
    const int height = static_cast<int>(rows.size());
    const int width = height > 0 ? static_cast<int>(rows.begin()->size()) : 0;
    QImage image = transparentImage(width, height);
    int y = 0;
    for (std::string_view row : rows) {
        if (static_cast<int>(row.size()) != width) {
            std::fprintf(stderr, "draw_resources: grid row %d is %zu wide, not %d\n", y, row.size(), width);
            std::abort();
        }
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, paletteColour(row[static_cast<size_t>(x)]));
        ++y;
    }
    return image;
}

void paste(QImage &dst, const QImage &src, QPoint at)
{
    QPainter painter(&dst);
    painter.drawImage(at, src);
}

} // namespace draw
