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

class SpritesTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void init()
    {
        begin(true, QStringLiteral("sprites"));
        pcx::test::WriteFile(Native(file("cre.def")), pcx::test::MakeSprite(sprite_).bytes);
        pcx::test::Bytes damaged = pcx::test::MakeSprite(sprite_).bytes;
        damaged.resize(damaged.size() - 5);
        pcx::test::WriteFile(Native(file("zz.def")), damaged);
        enter();
        ChooseFilter(2);
    }

    void previewedAndPlayed();
    void batchWritesEveryFrame();

private:
    static QImage Shown() { return Form2->pixmap().toImage(); }
    // The frame as the window draws it.
    [[nodiscard]] QImage FrameImage(std::size_t frame) const
    {
        return QImage::fromData(FrameBmp(sprite_, frame), "BMP").convertToFormat(Shown().format());
    }

    // A canvas wider than the preview box; the first group plays three frames, the second shares one.
    const pcx::test::SpriteDesign sprite_{
        0x42, 250, 20, pcx::test::SpritePalette(),
        {PatternFrame(0, 250, 20, 3, 2, 30, 10, 1), PatternFrame(1, 250, 20, -4, 0, 60, 20, 2),
         PatternFrame(2, 250, 20, 200, 15, 60, 9, 3)},
        {{0, {}, {0, 1, 2}}, {3, {}, {1}}}};
};

void SpritesTest::previewedAndPlayed()
{
    Click(Control<QToolButton>(Form1, "ToolButton8")); // automatic save
    QVERIFY(ClickFile(QStringLiteral("cre.def")));
    // The record holds the header: kind, canvas width and height; the canvas is the picture.
    QCOMPARE(Panels(), (QStringList{file("cre.def"), "250", "20", "66"}));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->size(), QSize(200, 16));
    QCOMPARE(Control<QLabel>(Form1, "Image1")->pixmap().toImage(), FrameImage(0));
    QCOMPARE(FileBytes(file("cre.bmp")), FrameBmp(sprite_, 0));
    QCOMPARE(Form2->frameGeometry().size(), QSize(260, 50));

    // The viewer plays the first group's frames, round again; saving writes the frame shown.
    for (const std::size_t frame : {1, 2, 0}) {
        QTRY_COMPARE(Form2->frameShown(), frame);
        QCOMPARE(Shown(), FrameImage(frame));
    }
    QTRY_COMPARE(Form2->frameShown(), std::size_t{1});
    Click(Control<QToolButton>(Form1, "ToolButton1"));
    QCOMPARE(FileBytes(file("cre.bmp")), FrameBmp(sprite_, Form2->frameShown()));

    // Hidden, the viewer stops; shown again, it plays on.
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(!Form2->isPlaying());
    Click(Control<QToolButton>(Form1, "ToolButton6"));
    QVERIFY(Form2->isPlaying());
    QVERIFY(boxes_->boxes().isEmpty());

    // Another file selected stops it; a damaged sprite says so, and the picture shown stays.
    const QImage shown = Shown();
    QVERIFY(ClickFile(QStringLiteral("zz.def")));
    QVERIFY(!Form2->isPlaying());
    QCOMPARE(boxes_->boxes().size(), 1);
    QVERIFY(boxes_->texts().first().startsWith(file("zz.def") + QStringLiteral(": damaged sprite: ")));
    QVERIFY(Control<QLabel>(Form1, "Image2")->isHidden());
    QCOMPARE(Shown(), shown);
}

void SpritesTest::batchWritesEveryFrame()
{
    const QByteArray picture = WriteLod(file("a.pcx"), pcx::test::Pattern(3, 2, 1));
    ChooseFilter(3);
    boxes_->queue(QStringLiteral("&Yes"));
    Click(Control<QToolButton>(Form1, "ToolButton3"));

    QCOMPARE(FileBytes(file("a.bmp")), picture);
    for (const auto &[name, frame] : {std::pair{"00-000", 0}, {"00-001", 1}, {"00-002", 2}, {"03-000", 1}})
        QCOMPARE(FileBytes(file("cre/%1.bmp").arg(name)), FrameBmp(sprite_, frame));
    QCOMPARE(QDir(file("cre")).entryList(QDir::Files).size(), 4);
    // The damaged sprite ends the batch with its name and reason, and leaves nothing.
    QCOMPARE(boxes_->boxes().size(), 2);
    QVERIFY(boxes_->texts().at(1).startsWith(QStringLiteral("zz.def: damaged sprite: ")));
    QVERIFY(!QFile::exists(file("zz")));
}

QTEST_MAIN(SpritesTest)
#include "tst_sprites.moc"
