// Unit2: the viewer TForm2, which holds the current picture and shows it at its natural size; for a
// sprite it plays the frames in turn.
#pragma once

#include "engine/bmp_picture.h"
#include "ui_unit2.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <memory>

class SpriteFrames;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    // The current picture: empty until the first successful preview.
    [[nodiscard]] const pcx::BmpPicture &picture() const { return picture_; }
    // The picture as drawn, shared by Image1 and the preview box.
    [[nodiscard]] const QPixmap &pixmap() const { return pixmap_; }
    // Loads the file as the current picture and shows it in Image1; a failed load changes nothing.
    void LoadPicture(const QString &fileName);
    // Makes the picture the current one and shows it in Image1.
    void ShowPicture(pcx::BmpPicture picture);

    // Plays the frames in turn, about ten a second, from the second on (the first being the current
    // picture), as long as the viewer shows; each frame shown becomes the current picture.
    void PlayFrames(std::shared_ptr<const SpriteFrames> frames);
    // Stops playing and forgets the frames; the frame shown stays the current picture.
    void StopFrames();
    // The frame shown, while frames are being played.
    [[nodiscard]] std::size_t frameShown() const { return frame_; }
    [[nodiscard]] bool isPlaying() const { return timer_.isActive(); }

    void FormCreate();

protected:
    // FormClose: closing by the close box raises ToolButton6 without running its operation.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    static constexpr int kFrameMilliseconds = 100;

    void ShowNextFrame();
    void ResumeFrames();

    Ui::TForm2 ui;
    pcx::BmpPicture picture_;
    QPixmap pixmap_;
    std::shared_ptr<const SpriteFrames> frames_;
    std::size_t frame_ = 0;
    QTimer timer_;
};

extern TForm2 *Form2;
