// Writing the BMP file of the image that the current-file record describes, in passes: the header,
// the colour table (8-bit only) and the rows. Each pass takes its numbers and the source name from
// the record when it starts, opens what it needs and closes it again.
#pragma once

#include "conversion.h"
#include "current_file.h"

#include <string>
#include <utility>

namespace pcx {

// Where the passes write: the name their messages give, and the path each pass opens, which is the
// name itself unless the file is being put in place (see PlacedFile::ReopenPath).
struct PassOutput {
    PassOutput(std::string outputName) : name(outputName), path(std::move(outputName)) {}
    PassOutput(const char *outputName) : PassOutput(std::string(outputName)) {}
    PassOutput(std::string outputName, std::string openedAs) : name(std::move(outputName)), path(std::move(openedAs)) {}
    std::string name;
    std::string path;
};

// An 8-bit BMP: header, colour table, rows; progress 0, 10, 45, 100.
void ConvertIndexed(CurrentFileRecord &record, const PassOutput &output);
// A 24-bit BMP: header, rows; progress 0, 45, 100.
void ConvertTrueColor(CurrentFileRecord &record, const PassOutput &output);

// Creates (or replaces) the output and writes the 54-byte header for k bytes per pixel; a picture
// too large for a BMP is refused before the output is touched.
void WriteBmpHeader(const CurrentFileRecord &record, const PassOutput &output, int k);
// Writes the 1,024-byte colour table at offset 54 of the existing output: from the last 768 bytes of
// a ".pcx" source (which must hold the record's rows before them), otherwise copied from offset 54
// of the source.
void WriteBmpPalette(const CurrentFileRecord &record, const std::string &sourceName, const PassOutput &output);
// Writes the rows, the source's last row first, at the pixel offset of the existing output.
void WriteBmpPixels(const CurrentFileRecord &record, const std::string &sourceName, const PassOutput &output,
                    int k);

} // namespace pcx
