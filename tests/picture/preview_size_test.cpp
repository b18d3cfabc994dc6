// The preview-box size: pictures that fit keep their size, larger ones get 200 on the longer side,
// with halves rounded to the even neighbour.
#include "engine/preview_size.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace pcx {
namespace {

struct PreviewCase {
    int width, height, expectedWidth, expectedHeight;
};

void PrintTo(const PreviewCase &c, std::ostream *os)
{
    *os << c.width << "x" << c.height;
}

class PreviewSizeTable : public testing::TestWithParam<PreviewCase> {};

TEST_P(PreviewSizeTable, Matches)
{
    const PreviewCase &c = GetParam();
    EXPECT_EQ(PreviewSize(c.width, c.height), (PictureSize{c.expectedWidth, c.expectedHeight}))
        << c.width << " x " << c.height;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PreviewSizeTable,
    testing::Values(PreviewCase{100, 50, 100, 50}, PreviewCase{196, 206, 196, 206},
                    PreviewCase{197, 100, 200, 102},  // 101.52 rounds up
                    PreviewCase{100, 207, 97, 200},   // 96.6
                    PreviewCase{197, 206, 191, 200},  // only the width is over its limit
                    PreviewCase{196, 207, 189, 200},
                    PreviewCase{206, 196, 200, 190},  // the box's own size still scales
                    PreviewCase{400, 400, 200, 200}, PreviewCase{300, 150, 200, 100},
                    PreviewCase{400, 5, 200, 2},      // 2.5 goes to the even 2
                    PreviewCase{400, 3, 200, 2},      // 1.5 goes to the even 2
                    PreviewCase{400, 7, 200, 4},      // 3.5 goes to the even 4
                    PreviewCase{224, 42, 200, 37},    // just below 37.5 in double precision
                    PreviewCase{240, 3, 200, 2},      // exactly 2.5
                    PreviewCase{800, 600, 200, 150},
                    // clamped, not overflowed
                    PreviewCase{197, std::numeric_limits<int>::min(), 200,
                                std::numeric_limits<int>::min()}));

} // namespace
} // namespace pcx
