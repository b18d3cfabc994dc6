// The two larger pictures: the not-a-LOD-PCX notice and the About window's banner.
#pragma once

#include <QImage>

namespace draw {

// 150 x 50, 8-bit indexed: yellow outlined lettering on brown wood.
QImage notice();

// 153 x 26, 24-bit: a dark-blue to teal band with the author's name.
QImage banner();

} // namespace draw
