// The fuzz targets as plain functions, shared by the libFuzzer programs and the corpus replay, so that
// every input once found keeps being checked in an ordinary build. Each returns normally for any input
// the program handles soundly and aborts with a message when it finds a fault.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pcx::fuzz {

// The first byte chooses the source's extension (even: x.pcx, odd: x.def); the rest is the file.
// Reads its header, classifies it and converts it, then checks the BMP against the source.
void ConvertSource(const std::uint8_t *data, std::size_t size);

// The input is a BMP file. When it loads, it is saved and loaded again: the same picture must come
// back.
void RoundTripPicture(const std::uint8_t *data, std::size_t size);

} // namespace pcx::fuzz
