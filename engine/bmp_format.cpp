// Encoding and decoding of the 54-byte BMP header.
#include "bmp_format.h"

namespace pcx::bmp {

HeaderBytes EncodeHeader(const Header &h)
{
    HeaderBytes b{};
    b[kOffMagic] = 'B';
    b[kOffMagic + 1] = 'M';
    Put32(&b[kOffFileSize], h.fileSize);
    Put32(&b[kOffReserved], h.reserved);
    Put32(&b[kOffPixelOffset], h.pixelOffset);
    Put32(&b[kOffInfoSize], h.infoSize);
    Put32(&b[kOffWidth], static_cast<std::uint32_t>(h.width));
    Put32(&b[kOffHeight], static_cast<std::uint32_t>(h.height));
    Put16(&b[kOffPlanes], h.planes);
    Put16(&b[kOffBitCount], h.bitCount);
    Put32(&b[kOffCompression], h.compression);
    Put32(&b[kOffImageSize], h.imageSize);
    Put32(&b[kOffXPelsPerMeter], static_cast<std::uint32_t>(h.xPelsPerMeter));
    Put32(&b[kOffYPelsPerMeter], static_cast<std::uint32_t>(h.yPelsPerMeter));
    Put32(&b[kOffColoursUsed], h.coloursUsed);
    Put32(&b[kOffColoursImportant], h.coloursImportant);
    return b;
}

Header DecodeHeader(std::span<const std::uint8_t, kHeaderSize> b)
{
    Header h;
    h.fileSize = Get32(&b[kOffFileSize]);
    h.reserved = Get32(&b[kOffReserved]);
    h.pixelOffset = Get32(&b[kOffPixelOffset]);
    h.infoSize = Get32(&b[kOffInfoSize]);
    h.width = static_cast<std::int32_t>(Get32(&b[kOffWidth]));
    h.height = static_cast<std::int32_t>(Get32(&b[kOffHeight]));
    h.planes = Get16(&b[kOffPlanes]);
    h.bitCount = Get16(&b[kOffBitCount]);
    h.compression = Get32(&b[kOffCompression]);
    h.imageSize = Get32(&b[kOffImageSize]);
    h.xPelsPerMeter = static_cast<std::int32_t>(Get32(&b[kOffXPelsPerMeter]));
    h.yPelsPerMeter = static_cast<std::int32_t>(Get32(&b[kOffYPelsPerMeter]));
    h.coloursUsed = Get32(&b[kOffColoursUsed]);
    h.coloursImportant = Get32(&b[kOffColoursImportant]);
    return h;
}

} // namespace pcx::bmp
