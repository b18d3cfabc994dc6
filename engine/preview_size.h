// The size of the preview box for a picture: unchanged when it fits, else scaled so that the longer
// side becomes 200 pixels.
#pragma once

namespace pcx {

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize &, const PictureSize &) = default;
};

// A picture of at most 196 x 206 keeps its size; a larger one is divided by (longer side / 200) in
// double precision, each side rounded to the nearest integer, halves to the even neighbour.
[[nodiscard]] PictureSize PreviewSize(int width, int height);

} // namespace pcx
