// The small pictures: toolbar buttons, the open-folder glyph, the browser pictures, the window icon.
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace draw {

struct NamedImage {
    QString path; // relative to the resources folder
    QImage image;
};

// The nine toolbar images in button order, then the glyph and the five browser pictures.
std::vector<NamedImage> smallPictures();

// The window icon, a framed picture with a conversion arrow, at 32 or 48 pixels.
QImage windowIcon(int size);

} // namespace draw
