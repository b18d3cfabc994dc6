// Writing the BMP file of the image that the current-file record describes, in passes: the header,
// the colour table (8-bit only) and the rows. Each pass takes its numbers and the source name from
// the record when it starts, opens what it needs and closes it again.
#pragma once

#include "conversion.h"
#include "current_file.h"

#include <string>

namespace pcx {

// An 8-bit BMP: header, colour table, rows; progress 0, 10, 45, 100.
void ConvertIndexed(CurrentFileRecord &record, const std::string &outputName);
// A 24-bit BMP: header, rows; progress 0, 45, 100.
void ConvertTrueColor(CurrentFileRecord &record, const std::string &outputName);

// Creates (or replaces) the output and writes the 54-byte header for k bytes per pixel.
void WriteBmpHeader(const CurrentFileRecord &record, const std::string &outputName, int k);
// Writes the 1,024-byte colour table at offset 54 of the existing output: from the last 768 bytes of
// a ".pcx"/".PCX" source, otherwise copied from offset 54 of the source.
void WriteBmpPalette(const std::string &sourceName, const std::string &outputName);
// Writes the rows, the source's last row first, at the pixel offset of the existing output.
void WriteBmpPixels(const CurrentFileRecord &record, const std::string &sourceName,
                    const std::string &outputName, int k);

} // namespace pcx
