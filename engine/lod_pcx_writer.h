// The way back: a picture in memory written as a LOD PCX (header, rows, and for 8-bit the 768-byte
// RGB palette at the end).
#pragma once

#include "raster.h"

namespace pcx {

class ByteSink;

void WriteLodPcx(const RasterPicture &picture, ByteSink &sink);

} // namespace pcx
