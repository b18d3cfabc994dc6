// Drawing of the notice and the banner. The notice is built straight into a palette image: every
// pixel is one wood shade with some outline and some fill coverage, so the palette is exact.
#include "pictures.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace draw {
namespace {

constexpr int kNoticeWidth = 150;
constexpr int kNoticeHeight = 50;
constexpr int kWoodShades = 10;
constexpr int kCoverageLevels = 5; // 0, 1/4, ..., 1
constexpr int kBoardSeamRow = 24;  // two rows of darker wood between the upper and the lower board
static_assert(kWoodShades * kCoverageLevels * kCoverageLevels <= 256);

constexpr QRgb kWoodDark = qRgb(0x4a, 0x26, 0x0e);
constexpr QRgb kWoodLight = qRgb(0xa8, 0x6a, 0x32);
constexpr QRgb kOutline = qRgb(0x1c, 0x0c, 0x02);
constexpr QRgb kLettering = qRgb(0xff, 0xe8, 0x20);

QRgb mix(QRgb a, QRgb b, double t)
{
    auto channel = [t](int from, int to) { return static_cast<int>(std::lround(from + (to - from) * t)); };
    return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)), channel(qBlue(a), qBlue(b)));
}

// A repeatable hash noise in [0, 1), so the drawing is the same on every run.
double noise(int x, int y)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xffffu) / 65536.0;
}

// Wood shade 0 (dark) to kWoodShades - 1 (light): wavy grain lines running along the boards.
int woodShade(int x, int y)
{
    const double wave = y + 2.2 * std::sin(x * 0.045 + y * 0.11) + 1.1 * std::sin(x * 0.17 + 1.3);
    const double grain = 0.5 + 0.5 * std::sin(wave * 1.9);
    const double ring = 0.5 + 0.5 * std::sin(wave * 0.55 + 0.8);
    double value = 0.18 + 0.42 * ring + 0.28 * grain * grain + 0.16 * (noise(x / 3, y) - 0.5);
    if (y == kBoardSeamRow || y == kBoardSeamRow + 1)
        value *= 0.45;
    const int shade = static_cast<int>(value * kWoodShades);
    return std::clamp(shade, 0, kWoodShades - 1);
}

int paletteIndex(int shade, int outline, int fill)
{
    return (shade * kCoverageLevels + outline) * kCoverageLevels + fill;
}

// Coverage of the three lines in [0, 255], drawn antialiased into an 8-bit grey image.
QImage letteringCoverage()
{
    const QStringList lines{QStringLiteral("Это стандартный PCX"), QStringLiteral("КОНВЕРТИРОВАТЬ"),
                            QStringLiteral("НЕ НАДО!!!")};
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setHintingPreference(QFont::PreferFullHinting);
    // The largest size at which the widest line, with its outline, fits the width.
    int pixelSize = 16;
    for (; pixelSize > 8; --pixelSize) {
        font.setPixelSize(pixelSize);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString &line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest + 4 <= kNoticeWidth && 3 * metrics.ascent() <= kNoticeHeight - 2)
            break;
    }
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);

    QImage coverage(kNoticeWidth, kNoticeHeight, QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter painter(&coverage);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const int lineHeight = kNoticeHeight / 3;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const int x = (kNoticeWidth - metrics.horizontalAdvance(lines[i])) / 2;
        // Capitals centred in their third of the picture.
        const int capHeight = metrics.capHeight();
        const int baseline = i * lineHeight + (lineHeight + capHeight) / 2;
        painter.drawText(x, baseline, lines[i]);
    }
    return coverage;
}

int level(double coverage)
{
    return std::clamp(static_cast<int>(std::lround(coverage * (kCoverageLevels - 1))), 0, kCoverageLevels - 1);
}

} // namespace

QImage notice()
{
    QImage image(kNoticeWidth, kNoticeHeight, QImage::Format_Indexed8);
    QList<QRgb> colours(256, qRgb(0, 0, 0));
    for (int shade = 0; shade < kWoodShades; ++shade) {
        const QRgb wood = mix(kWoodDark, kWoodLight, shade / double(kWoodShades - 1));
        for (int outline = 0; outline < kCoverageLevels; ++outline) {
            const QRgb dark = mix(wood, kOutline, outline / double(kCoverageLevels - 1));
            for (int fill = 0; fill < kCoverageLevels; ++fill)
                colours[paletteIndex(shade, outline, fill)] = mix(dark, kLettering, fill / double(kCoverageLevels - 1));
        }
    }
    image.setColorTable(colours);

    const QImage coverage = letteringCoverage();
    auto at = [&coverage](int x, int y) {
        return coverage.rect().contains(x, y) ? coverage.constScanLine(y)[x] / 255.0 : 0.0;
    };
    for (int y = 0; y < kNoticeHeight; ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < kNoticeWidth; ++x) {
            // The outline is the lettering grown by one pixel in every direction.
            double grown = 0.0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    grown = std::max(grown, at(x + dx, y + dy));
            row[x] = static_cast<uchar>(paletteIndex(woodShade(x, y), level(grown), level(at(x, y))));
        }
    }
    return image;
}

QImage banner()
{
    constexpr int width = 153, height = 26;
    constexpr QRgb left = qRgb(0x08, 0x10, 0x50);
    constexpr QRgb right = qRgb(0x00, 0x78, 0x80);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            QRgb colour = mix(left, right, x / double(width - 1));
            // A faint diagonal weave, and a lighter line along the top edge.
            if ((x + y) % 4 == 0 || (x - y + 64) % 8 == 0)
                colour = mix(colour, qRgb(0xff, 0xff, 0xff), 0.07);
            if (y == 0)
                colour = mix(colour, qRgb(0xff, 0xff, 0xff), 0.35);
            if (y == height - 1)
                colour = mix(colour, qRgb(0, 0, 0), 0.4);
            image.setPixel(x, y, colour);
        }
    }
    QPainter painter(&image);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setItalic(true);
    font.setPixelSize(17);
    painter.setFont(font);
    const QString name = QStringLiteral("Korvale");
    const QFontMetrics metrics(font);
    // The window hides the first five columns, so the name is centred on what shows.
    const int x = 5 + (width - 5 - metrics.horizontalAdvance(name)) / 2;
    const int baseline = (height + metrics.capHeight()) / 2;
    painter.setPen(QColor(0x00, 0x08, 0x20));
    painter.drawText(x + 1, baseline + 1, name);
    painter.setPen(QColor(0xe8, 0xf8, 0xff));
    painter.drawText(x, baseline, name);
    // Small diamonds either side of the name.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x7f, 0xe8, 0xe0));
    for (int side : {-1, 1}) {
        const int cx = side < 0 ? x - 12 : x + metrics.horizontalAdvance(name) + 10;
        for (int i = 0; i < 3; ++i) {
            const int dx = cx + side * i * 8;
            const int cy = height / 2;
            painter.drawPolygon(QPolygon({QPoint(dx, cy - 3), QPoint(dx + 3, cy), QPoint(dx, cy + 3), QPoint(dx - 3, cy)}));
        }
    }
    return image;
}

} // namespace draw
