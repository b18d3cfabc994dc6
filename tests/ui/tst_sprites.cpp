// Sprites in the window: the first frame previewed on its canvas, the viewer playing the first
// group's frames, saving the frame shown, the batch writing every frame, damaged sprites refused.
#include "window_fixture.h"

#include "ui/unit1.h"
#include "ui/unit2.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace uitest;
using pcx::test::PatternFrame;

namespace {
const QString kYes = QStringLiteral("&Yes");
} // namespace

class SpritesTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareApplication(); }
    void init()
    {
        begin();
        dir_ = session_->makeDir(QStringLiteral("sprites"));
        pcx::test::WriteFile(Native(file("cre.def")), pcx::test::MakeSprite(sprite_).bytes);
    }
    void cleanup() { end(); }

    void previewShowsFirstFrame();
    void viewerPlaysFirstGroup();
    void batchWritesEveryFrame();
    void damagedSprite();

private:
    [[nodiscard]] QString file(const QString &name) const { return QDir(dir_).filePath(name); }
    // Lists the directory with the file type chosen.
    void enter(int filterEntry)
    {
        Control<DirectoryListBox>(Form1, "DirectoryListBox1")->setDirectory(dir_);
        ChooseFilter(filterEntry);
    }
    [[nodiscard]] pcx::test::Bytes damagedSprite(std::size_t size) const
    {
        pcx::test::Bytes bytes = pcx::test::MakeSprite(sprite_).bytes;
        bytes.resize(size);
        return bytes;
    }
    static QImage Shown() { return Form2->pixmap().toImage(); }
    // The frame as the window draws it.
    [[nodiscard]] QImage FrameImage(std::size_t frame) const
    {
        return QImage::fromData(FrameBmp(sprite_, frame), "BMP").convertToFormat(Shown().format());
    }

    // A canvas wider than the preview box; the first group plays three frames, the second shares one.
    const pcx::test::SpriteSpec sprite_{
        0x42, 250, 20, pcx::test::SpritePalette(),
        {PatternFrame(0, 250, 20, 3, 2, 30, 10, 1), PatternFrame(1, 250, 20, -4, 0, 60, 20, 2),
         PatternFrame(2, 250, 20, 200, 15, 60, 9, 3)},
        {{0, {}, {0, 1, 2}}, {3, {}, {1}}}};
    QString dir_;
};

void SpritesTest::previewShowsFirstFrame()
{
    enter(2);
    Click(Control<QToolButton>(Form1, "ToolButton8")); // automatic save
    QVERIFY(ClickFile(QStringLiteral("cre.def")));
    // The record holds the header: kind, canvas width and height.
    QCOMPARE(Panels(), (QStringList{file("cre.def"), "250", "20", "66"}));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), QSize(200, 16));
    QVERIFY(Control<QLabel>(Form1, "Image2")->isHidden());
    QCOMPARE(Control<QLabel>(Form1, "Image1")->pixmap().toImage(), FrameImage(0));
    QCOMPARE(FileBytes(file("cre.bmp")), FrameBmp(sprite_, 0));
    QVERIFY(Form2->isVisible());
    QCOMPARE(Form2->frameGeometry().size(), QSize(260, 50));
    QVERIFY(boxes_->boxes().isEmpty());
}

void SpritesTest::viewerPlaysFirstGroup()
{
    pcx::test::WriteFile(Native(file("other.def")), {'n', 'o', 'n', 'e'});
    enter(2);
    QVERIFY(ClickFile(QStringLiteral("cre.def")));
    QCOMPARE(Shown(), FrameImage(0));
    QTRY_COMPARE(Form2->frameShown(), std::size_t{1});
    QCOMPARE(Shown(), FrameImage(1));
    QTRY_COMPARE(Form2->frameShown(), std::size_t{2});
    QCOMPARE(Shown(), FrameImage(2));
    // The save button writes the frame shown.
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(file("cre.bmp")), FrameBmp(sprite_, Form2->frameShown()));
    // Only the first group's frames, round again.
    QTRY_COMPARE(Form2->frameShown(), std::size_t{0});

    // Hidden, the viewer stops; shown again, it plays on.
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(!Form2->isPlaying());
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(Form2->isPlaying());
    // Another file selected stops it, even one that is no picture.
    QVERIFY(ClickFile(QStringLiteral("other.def")));
    QVERIFY(!Control<QLabel>(Form1, "Image2")->isHidden());
    QVERIFY(!Form2->isPlaying());
}

void SpritesTest::batchWritesEveryFrame()
{
    const QByteArray picture = WriteLod(file("a.pcx"), pcx::test::Pattern(3, 2, 1));
    pcx::test::WriteFile(Native(file("zz.def")), damagedSprite(pcx::test::MakeSprite(sprite_).bytes.size() - 5));
    enter(3);
    boxes_->queue(kYes);
    Click(Control<QToolButton>(Form1, "ToolButton3"));

    QCOMPARE(FileBytes(file("a.bmp")), picture);
    for (const auto &[name, frame] : {std::pair{"00-000", 0}, {"00-001", 1}, {"00-002", 2}, {"03-000", 1}})
        QCOMPARE(FileBytes(file("cre/%1.bmp").arg(name)), FrameBmp(sprite_, frame));
    QCOMPARE(QDir(file("cre")).count(), 2u + 4u);
    // The damaged sprite ends the batch with its name and reason, and leaves nothing.
    QCOMPARE(boxes_->boxes().size(), 2);
    const QString error = boxes_->boxes().at(1).text;
    QVERIFY2(error.startsWith(QStringLiteral("zz.def: damaged sprite: ")), qPrintable(error));
    QVERIFY(!QFile::exists(file("zz")));
}

void SpritesTest::damagedSprite()
{
    pcx::test::WriteFile(Native(file("bad.def")), damagedSprite(900));
    enter(2);
    QVERIFY(ClickFile(QStringLiteral("cre.def")));
    const QImage shown = Shown();
    QVERIFY(ClickFile(QStringLiteral("bad.def")));

    QCOMPARE(boxes_->boxes().size(), 1);
    const QString error = boxes_->boxes().first().text;
    QVERIFY2(error.startsWith(file("bad.def") + QStringLiteral(": damaged sprite: ")), qPrintable(error));
    // The error is the notice enough; the previous picture stays.
    QVERIFY(Control<QLabel>(Form1, "Image2")->isHidden());
    QCOMPARE(Shown(), shown);
}

QTEST_MAIN(SpritesTest)
#include "tst_sprites.moc"
