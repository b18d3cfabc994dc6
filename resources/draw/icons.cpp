// Pixel-by-pixel drawings of the 16-pixel pictures and the window icon.
#include "icons.h"

#include "pixelart.h"

#include <QPainter>

#include <cmath>
#include <cstdlib>

namespace draw {
namespace {

constexpr int kSmall = 16;

// A 3.5-inch diskette small enough to stack: label on top, metal shutter below.
QImage smallDiskette()
{
    return fromGrid({
        "kkkkkkkkkkk",
        "knWWWWWWWnk",
        "knWdddddWnk",
        "knWWWWWWWnk",
        "knWdddddWnk",
        "knWWWWWWWnk",
        "knnnnnnnnnk",
        "knnsssssnnk",
        "knnskkssnnk",
        "knnskkssnnk",
        "kkkkkkkkkkk",
    });
}

QImage save()
{
    return fromGrid({
        "................",
        ".kkkkkkkkkkkkkk.",
        ".knWWWWWWWWWWnk.",
        ".knWddddddddWnk.",
        ".knWWWWWWWWWWnk.",
        ".knWddddddddWnk.",
        ".knWWWWWWWWWWnk.",
        ".knnnnnnnnnnnnk.",
        ".knnnnnnnnnnnnk.",
        ".knnssssssssnnk.",
        ".knnskkssssnnnk.",
        ".knnskkssssnnnk.",
        ".knnskkssssnnnk.",
        ".knnssssssssnnk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    });
}

QImage saveAll()
{
    QImage image = transparentImage(kSmall, kSmall);
    const QImage disk = smallDiskette();
    paste(image, disk, {5, 0});
    paste(image, disk, {2, 2});
    paste(image, disk, {0, 5});
    return image;
}

// 1-pixel outline around every opaque pixel of a glyph, so it stands out on any ground.
QImage outlined(const QImage &glyph, QRgb outline)
{
    QImage result = transparentImage(glyph.width() + 2, glyph.height() + 2);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int gx = x - 1 + dx, gy = y - 1 + dy;
                    near = glyph.rect().contains(gx, gy) && qAlpha(glyph.pixel(gx, gy)) != 0;
                }
            if (near)
                result.setPixel(x, y, outline);
        }
    }
    paste(result, glyph, {1, 1});
    return result;
}

QImage autoSave()
{
    QImage image = saveAll();
    const QImage letterA = fromGrid({
        "..RRR..",
        "..RRR..",
        ".RR.RR.",
        ".RR.RR.",
        "RR...RR",
        "RRRRRRR",
        "RRRRRRR",
        "RR...RR",
        "RR...RR",
    });
    paste(image, outlined(letterA, paletteColour('W')), {7, 5});
    return image;
}

// A raised Windows button face: light top-left edges, dark bottom-right edges.
QImage unused()
{
    QImage image = transparentImage(kSmall, kSmall);
    const int first = 1, last = 14;
    for (int y = first; y <= last; ++y) {
        for (int x = first; x <= last; ++x) {
            char letter = 's';
            if (x == last || y == last)
                letter = 'k';
            else if (x == first || y == first)
                letter = 'W';
            else if (x == last - 1 || y == last - 1)
                letter = 'd';
            else if (x == first + 1 || y == first + 1)
                letter = 'l';
            image.setPixel(x, y, paletteColour(letter));
        }
    }
    for (int i = 4; i <= 10; ++i) { // a 2-pixel-thick X inside the face
        for (int t = 0; t <= 1; ++t) {
            image.setPixel(i + t, i, paletteColour('k'));
            image.setPixel(14 - i - t, i, paletteColour('k'));
        }
    }
    return image;
}

QImage view()
{
    QImage image = transparentImage(kSmall, kSmall);
    paste(image,
          fromGrid({
              ".kkkkkkkk...",
              ".kWWWWWWkk..",
              ".kWWWWWWkWk.",
              ".kWddddWkkkk",
              ".kWWWWWWWWWk",
              ".kWddddddWWk",
              ".kWWWWWWWWWk",
              ".kWddddddWWk",
              ".kWWWWWWWWWk",
              ".kWddddddWWk",
              ".kWWWWWWWWWk",
              ".kWddddddWWk",
              ".kWWWWWWWWWk",
              ".kWWWWWWWWWk",
              ".kkkkkkkkkkk",
          }),
          {0, 0});
    paste(image,
          fromGrid({
              "..kkkk.....",
              ".kCWWCk....",
              "kCWCCCCk...",
              "kCWCCCCk...",
              "kCCCCCCk...",
              "kCCCCCCk...",
              ".kCCCCkk...",
              "..kkkkkrk..",
              "......krrk.",
              ".......krrk",
          }),
          {5, 6});
    return image;
}

QImage help()
{
    return fromGrid({
        "................",
        "..kkkkkkkkkkk...",
        "..knBBBBBBBBkk..",
        "..knBBYYYYBBkWk.",
        "..knBYYBBYYBkWk.",
        "..knBBBBBYYBkWk.",
        "..knBBBBYYBBkWk.",
        "..knBBBYYBBBkWk.",
        "..knBBBYYBBBkWk.",
        "..knBBBBBBBBkWk.",
        "..knBBBYYBBBkWk.",
        "..knBBBYYBBBkWk.",
        "..knBBBBBBBBkWk.",
        "..kkkkkkkkkkkWk.",
        "...kWWWWWWWWWWk.",
        "....kkkkkkkkkkk.",
    });
}

QImage info()
{
    return fromGrid({
        "................",
        "................",
        "................",
        "kk........kk....",
        "kk.......k......",
        "kk.......k......",
        "kk.kkk..kkk..kk.",
        "kk.k..k..k..k..k",
        "kk.k..k..k..k..k",
        "kk.k..k..k..k..k",
        "kk.k..k..k..k..k",
        "kk.k..k..k..k..k",
        "kk.k..k..k...kk.",
        "................",
        "................",
        "................",
    });
}

QImage wasteBin()
{
    return fromGrid({
        "................",
        "......kkkk......",
        ".kkkkkkkkkkkkkk.",
        ".kWWllllllllsdk.",
        ".kkkkkkkkkkkkkk.",
        "..kWsdsdsdsddk..",
        "..kWsdsdsdsddk..",
        "..kWsdsdsdsddk..",
        "..kWsdsdsdsddk..",
        "..kWsdsdsdsddk..",
        "..kWsdsdsdsddk..",
        "...kWdsdsdsdk...",
        "...kWdsdsdsdk...",
        "...kWdsdsdsdk...",
        "...kkkkkkkkkk...",
        "................",
    });
}

QImage exitCross()
{
    QImage image = transparentImage(kSmall, kSmall);
    for (int y = 0; y < kSmall; ++y) {
        for (int x = 0; x < kSmall; ++x) {
            const int band = std::min(std::abs(x - y), std::abs(x + y - (kSmall - 1)));
            if (band <= 1 && x >= 1 && x <= 14 && y >= 1 && y <= 14)
                image.setPixel(x, y, paletteColour('R'));
            else if (band == 2 && x >= 1 && x <= 14 && y >= 1 && y <= 14)
                image.setPixel(x, y, paletteColour('r'));
        }
    }
    return image;
}

QImage folderClosed()
{
    return fromGrid({
        "................",
        "................",
        "..kkkkk.........",
        ".kyyyyyk........",
        "kyYYYYYYkkkkkkk.",
        "kyyyyyyyyyyyyyk.",
        "kyYYYYYYYYYYYok.",
        "kyYYYYYYYYYYYok.",
        "kyYYYYYYYYYYYok.",
        "kyYYYYYYYYYYYok.",
        "kyYYYYYYYYYYYok.",
        "kyYYYYYYYYYYYok.",
        "kyYYYYYYYYYYYok.",
        "kooooooooooooook",
        "kkkkkkkkkkkkkkk.",
        "................",
    });
}

QImage folderOpen()
{
    return fromGrid({
        "................",
        "................",
        ".kkkk...........",
        "kyyyyk..........",
        "kyYYYykkkkkk....",
        "kyYYYYYYYYYk....",
        "kyYYkkkkkkkkkkkk",
        "kyYkyyyyyyyyyyk.",
        "kyYkyYYYYYYYYYk.",
        "kykyYYYYYYYYYk..",
        "kykyYYYYYYYYYk..",
        "kkyYYYYYYYYYk...",
        "kkyYYYYYYYYYk...",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
    });
}

QImage folderCurrent()
{
    return fromGrid({
        "....kkkkkkk.....",
        "....kWWWWWkk....",
        ".kkkkWddWWWk....",
        "kyyykWWWWWWk....",
        "kyYYkWdddWWkk...",
        "kyYYkWWWWWWk....",
        "kyYYkkkkkkkkkkkk",
        "kyYkWWWWWWWWWWk.",
        "kyYkWyyyyyyyyyk.",
        "kykWyyyyyyyyyk..",
        "kykWyyyyyyyyyk..",
        "kkWyyyyyyyyyk...",
        "kkWyyyyyyyyyk...",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
    });
}

QImage drive()
{
    return fromGrid({
        "................",
        "................",
        "................",
        "................",
        "....kkkkkkkkkkkk",
        "...kWWWWWWWWWWsk",
        "..kllllllllllssk",
        ".kkkkkkkkkkkkksk",
        ".kWsssssssssksdk",
        ".kWsssssssGskdk.",
        ".kddddddddddkk..",
        ".kkkkkkkkkkkk...",
        "................",
        "................",
        "................",
        "................",
    });
}

// A LOD archive: a banded chest, the game's archives being where its pictures are kept.
QImage archive()
{
    return fromGrid({
        "................",
        "................",
        "...kkkkkkkkkk...",
        "..kRRrrrrrrrrk..",
        ".kRrrrrrrrrrrrk.",
        ".kYYYYYkkYYYYYk.",
        ".kRrrrkYYkrrrrk.",
        ".kRrrrkYkkrrrrk.",
        ".kYrrrrkkrrrrYk.",
        ".kYrrrrrrrrrrYk.",
        ".kYrrrrrrrrrrYk.",
        ".kYrrrrrrrrrrYk.",
        ".kYYYYYYYYYYYYk.",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    });
}

QImage openFolderGlyph()
{
    return fromGrid({
        "................",
        "........ggg.....",
        ".......g...g....",
        "...........g..g.",
        "............ggg.",
        "...........gggg.",
        ".kkkk...........",
        "kyYYyk..........",
        "kYYYYYkkkkkk....",
        "kYYkkkkkkkkkkkk.",
        "kYkyyyyyyyyyyk..",
        "kYkyYYYYYYYYok..",
        "kkyYYYYYYYYok...",
        "kkyYYYYYYYYok...",
        "kkkkkkkkkkkk....",
        "................",
    });
}

} // namespace

std::vector<NamedImage> smallPictures()
{
    return {
        {"toolbar/save.png", save()},
        {"toolbar/save-all.png", saveAll()},
        {"toolbar/unused.png", unused()},
        {"toolbar/view.png", view()},
        {"toolbar/autosave.png", autoSave()},
        {"toolbar/help.png", help()},
        {"toolbar/info.png", info()},
        {"toolbar/delete-settings.png", wasteBin()},
        {"toolbar/exit.png", exitCross()},
        {"glyphs/open-folder.png", openFolderGlyph()},
        {"browser/folder-open.png", folderOpen()},
        {"browser/folder-current.png", folderCurrent()},
        {"browser/folder-closed.png", folderClosed()},
        {"browser/drive.png", drive()},
        {"browser/archive.png", archive()},
    };
}

QImage windowIcon(int size)
{
    QImage image = transparentImage(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double u = size / 32.0;
    auto px = [u](double v) { return static_cast<int>(std::lround(v * u)); };
    auto rect = [&](double x, double y, double w, double h) { return QRect(px(x), px(y), px(w), px(h)); };

    // Olive frame, then a landscape: sky, sun, two hills.
    painter.fillRect(rect(1, 1, 23, 19), paletteColour('k'));
    painter.fillRect(rect(2, 2, 21, 17), paletteColour('o'));
    painter.fillRect(rect(4, 4, 17, 13), paletteColour('k'));
    const QRect sky = rect(5, 5, 15, 11);
    painter.fillRect(sky, paletteColour('C'));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(paletteColour('Y')));
    painter.drawEllipse(rect(13, 6, 6, 6));
    painter.setClipRect(sky);
    painter.setBrush(QColor(paletteColour('g')));
    painter.drawEllipse(rect(1, 11, 14, 12));
    painter.setBrush(QColor(paletteColour('G')));
    painter.drawEllipse(rect(9, 13, 16, 10));
    painter.setClipping(false);

    // Conversion arrow: a red quarter circle from under the picture round to its right side, head up;
    // drawn twice, black and wider first, so it keeps an outline over the frame.
    const QRectF circle(-2 * u, -2 * u, 30 * u, 30 * u); // centre (13, 13), radius 15
    const QPolygonF head({QPointF(28 * u, 6 * u), QPointF(32 * u, 14 * u), QPointF(24 * u, 14 * u)});
    const QPolygonF headOutline({QPointF(28 * u, 4 * u), QPointF(33 * u, 15 * u), QPointF(23 * u, 15 * u)});
    for (const bool outline : {true, false}) {
        const QColor colour(paletteColour(outline ? 'k' : 'R'));
        QPen pen(colour);
        pen.setWidthF((outline ? 6.0 : 3.5) * u);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(circle, 270 * 16, 92 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(outline ? headOutline : head);
    }
    return image;
}

} // namespace draw
