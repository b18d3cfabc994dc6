// Checks that the pictures linked in through pcxconv_resources are all there, at their sizes, and
// that the two BMP pictures have the bit depth the window relies on.
#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

namespace {

constexpr qsizetype kBmpBitCountOffset = 28;    // BITMAPINFOHEADER.biBitCount, 16 bits
constexpr qsizetype kBmpCompressionOffset = 30; // BITMAPINFOHEADER.biCompression, 32 bits
constexpr qsizetype kBmpHeadersSize = 54;

struct BmpHeader {
    quint16 bitCount = 0;
    quint32 compression = 0;
};

BmpHeader readBmpHeader(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(kBmpHeadersSize);
    if (bytes.size() != kBmpHeadersSize || !bytes.startsWith("BM"))
        return {};
    return {qFromLittleEndian<quint16>(bytes.constData() + kBmpBitCountOffset),
            qFromLittleEndian<quint32>(bytes.constData() + kBmpCompressionOffset)};
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void loadsWithSize_data();
    void loadsWithSize();
    void pngPicturesHaveTransparentBackground_data();
    void pngPicturesHaveTransparentBackground();
    void noticeIsEightBitIndexed();
    void bannerIsTwentyFourBit();
};

namespace {

// Rows of the PNG pictures: path and size.
void addPngRows()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    const QSize small(16, 16);
    for (const char *name : {"save", "save-all", "unused", "view", "autosave", "help", "info", "delete-settings", "exit"})
        QTest::newRow(name) << QStringLiteral(":/toolbar/%1.png").arg(QLatin1String(name)) << small;
    QTest::newRow("glyph") << QStringLiteral(":/glyphs/open-folder.png") << small;
    for (const char *name : {"folder-open", "folder-current", "folder-closed", "drive", "archive"})
        QTest::newRow(name) << QStringLiteral(":/browser/%1.png").arg(QLatin1String(name)) << small;
    QTest::newRow("window icon") << QStringLiteral(":/icons/pcxconv-32.png") << QSize(32, 32);
}

} // namespace

void TestResources::loadsWithSize_data()
{
    addPngRows();
    QTest::newRow("notice") << QStringLiteral(":/pictures/notice.bmp") << QSize(150, 50);
    QTest::newRow("banner") << QStringLiteral(":/pictures/banner.bmp") << QSize(153, 26);
}

void TestResources::loadsWithSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
}

void TestResources::pngPicturesHaveTransparentBackground_data()
{
    addPngRows();
}

// A toolbar picture with an opaque background would show a box on the button face.
void TestResources::pngPicturesHaveTransparentBackground()
{
    QFETCH(QString, path);
    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(image.hasAlphaChannel());
    int transparent = 0, opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            (qAlpha(image.pixel(x, y)) == 0 ? transparent : opaque) += 1;
    QVERIFY2(transparent > 0, "no transparent pixel");
    QVERIFY2(opaque > 0, "nothing drawn");
}

void TestResources::noticeIsEightBitIndexed()
{
    const QString path = QStringLiteral(":/pictures/notice.bmp");
    const BmpHeader header = readBmpHeader(path);
    QCOMPARE(header.bitCount, quint16(8));
    QCOMPARE(header.compression, quint32(0));
    const QImage image(path);
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QVERIFY(image.colorCount() > 2);
}

void TestResources::bannerIsTwentyFourBit()
{
    const BmpHeader header = readBmpHeader(QStringLiteral(":/pictures/banner.bmp"));
    QCOMPARE(header.bitCount, quint16(24));
    QCOMPARE(header.compression, quint32(0));
}

QTEST_GUILESS_MAIN(TestResources)
#include "test_resources.moc"
