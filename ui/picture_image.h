// The current picture as a QImage, for the preview box and the viewer to draw.
#pragma once

#include <QImage>

namespace pcx {
class BmpPicture;
}

// Either depth becomes Format_RGB32, the top row first, 8-bit pixels looked up in the picture's
// colour table. An empty picture gives a null QImage.
[[nodiscard]] QImage ToQImage(const pcx::BmpPicture &picture);
