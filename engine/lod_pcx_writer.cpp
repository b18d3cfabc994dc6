// The LOD PCX writer.
#include "lod_pcx_writer.h"

#include "bmp_format.h"
#include "byte_io.h"
#include "conversion.h"

namespace pcx {

void WriteLodPcx(const RasterPicture &picture, ByteSink &sink)
{
    CheckLodPcxSize(picture.width, picture.height, picture.k);
    std::array<std::uint8_t, kSourceHeaderSize> header{};
    bmp::Put32(&header[0], static_cast<std::uint32_t>(picture.pixels.size()));
    bmp::Put32(&header[4], static_cast<std::uint32_t>(picture.width));
    bmp::Put32(&header[8], static_cast<std::uint32_t>(picture.height));
    sink.Expect(header.size() + picture.pixels.size() +
                (picture.k == kIndexedBytesPerPixel ? picture.palette.size() : 0));
    sink.Write(header);
    sink.Write(picture.pixels);
    if (picture.k == kIndexedBytesPerPixel)
        sink.Write(picture.palette);
}

} // namespace pcx
