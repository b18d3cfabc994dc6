// The QImage view of the current picture: right way up, red and blue in place, the same pixels as
// Qt's own reader finds in the saved file.
#include "bmp_fixture.h"

#include "engine/bmp_picture.h"
#include "ui/picture_image.h"

#include <QImageReader>
#include <QString>

#include <gtest/gtest.h>

namespace pcx::test {
namespace {

BmpPicture Loaded(const TempDir &dir, const TestImage &image)
{
    WriteFile(dir.file("in.bmp"), BmpFile(image));
    BmpPicture picture;
    picture.Load(dir.file("in.bmp"));
    return picture;
}

TEST(PictureImage, EmptyPictureGivesNullImage)
{
    EXPECT_TRUE(ToQImage(BmpPicture()).isNull());
}

class FImage : public testing::TestWithParam<int> {};

TEST_P(FImage, RedFOnBlueTheRightWayUp)
{
    const TempDir dir;
    const QImage image = ToQImage(Loaded(dir, FShape(GetParam())));
    ASSERT_EQ(image.size(), QSize(5, 7));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.pixel(x, y), FShapeIsSet(x, y) ? red : blue) << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(Depths, FImage, testing::Values(8, 24));

TEST(PictureImage, IndexedPixelsTakeTheirColourFromTheTable)
{
    const TempDir dir;
    const TestImage source = PatternImage(16, 16, 8);
    const QImage image = ToQImage(Loaded(dir, source));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const auto *entry = &source.table[4 * source.rows[16 * y + x]];
            EXPECT_EQ(image.pixel(x, y), qRgb(entry[2], entry[1], entry[0])) << x << ", " << y;
        }
}

// Qt's BMP reader, independent of ours, must see the same picture in the saved file.
class AgreesWithQtReader : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(AgreesWithQtReader, OnTheSavedFile)
{
    const auto [width, bits] = GetParam();
    const TempDir dir;
    const BmpPicture picture = Loaded(dir, PatternImage(width, 3, bits));
    picture.Save(dir.file("out.bmp"));
    QImageReader reader(QString::fromStdString(dir.file("out.bmp")), "bmp");
    const QImage fromQt = reader.read();
    ASSERT_FALSE(fromQt.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(ToQImage(picture).convertToFormat(QImage::Format_RGB32),
              fromQt.convertToFormat(QImage::Format_RGB32));
}

INSTANTIATE_TEST_SUITE_P(Widths, AgreesWithQtReader,
                         testing::Combine(testing::Range(1, 9), testing::Values(8, 24)));

} // namespace
} // namespace pcx::test
