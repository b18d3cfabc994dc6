// The fuzz targets as plain functions, shared by the libFuzzer programs and the replay of stored
// inputs, so that every input once found keeps being checked in every build. Each returns
// normally for any input the program handles soundly and aborts with a message when it finds a fault.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pcx::fuzz {

// The first byte picks the colour table's place (bit 0 clear: a ".pcx" palette at the end, set: a
// table at offset 54), the size of the windows the rows are read in (bits 1 to 4) and the output
// (bit 5 clear: a BMP, set: a top-down encoder); the rest is the source. Converts it in memory and
// checks the outcome and the output against the shared oracle, the bytes a failed conversion leaves
// included.
void ConvertSource(const std::uint8_t *data, std::size_t size);

// The input is a BMP file. When it loads, it is saved and loaded again: the same picture must come
// back.
void RoundTripPicture(const std::uint8_t *data, std::size_t size);

// The input is a BMP or PNG file as bmp2lodpcx reads it. When it is read, the picture is written as
// a LOD PCX, converted back to a BMP by the conversion core and read again: the same picture must
// come back.
void ReadBackPicture(const std::uint8_t *data, std::size_t size);

// The input is a sprite file. When it is read, every frame is decoded alone and on its canvas, and
// the sheet is laid out: sizes as declared, the canvas the rectangle and background, nothing thrown.
void ReadSpriteFrames(const std::uint8_t *data, std::size_t size);

} // namespace pcx::fuzz
