// The current picture as a QImage, for the preview box and the viewer to draw.
#pragma once

#include <QImage>

namespace pcx {
class BmpPicture;
}

// An 8-bit picture becomes Format_Indexed8 with its colour table, a 24-bit one Format_BGR888; the
// top row comes first. An empty picture gives a null QImage.
[[nodiscard]] QImage ToQImage(const pcx::BmpPicture &picture);
