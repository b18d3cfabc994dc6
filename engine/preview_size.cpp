// The preview-box sizing rule.
#include "preview_size.h"

#include <cmath>
#include <limits>

namespace pcx {

namespace {

constexpr int kMaxUnscaledWidth = 196;
constexpr int kMaxUnscaledHeight = 206;
constexpr double kScaledSide = 200.0;

// Halves go to the even neighbour whatever the floating-point rounding mode is. x - floor(x) is
// exact for every value that reaches here.
int RoundHalfEven(double x)
{
    double whole = std::floor(x);
    const double fraction = x - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    // A negative side (which no converted picture has) scaled by a longer positive one can leave
    // the int range; clamp rather than overflow.
    constexpr double kLow = std::numeric_limits<int>::min();
    constexpr double kHigh = std::numeric_limits<int>::max();
    return static_cast<int>(whole < kLow ? kLow : whole > kHigh ? kHigh : whole);
}

} // namespace

PictureSize PreviewSize(int width, int height)
{
    if (width <= kMaxUnscaledWidth && height <= kMaxUnscaledHeight)
        return {width, height};
    const int longer = width > height ? width : height;
    const double scale = longer / kScaledSide;
    return {RoundHalfEven(width / scale), RoundHalfEven(height / scale)};
}

} // namespace pcx
