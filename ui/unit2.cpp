// Unit2: the viewer window.
#include "unit2.h"

#include "guard.h"
#include "look.h"
#include "picture_image.h"
#include "settings/settings_key.h"
#include "sprite_frames.h"
#include "unit1.h"

#include <QCloseEvent>
#include <QFile>

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
    // uic keeps only the size of the form; its design position is set here.
    move(722, 650);
    pcx::ui::UseDialogFrame(this, width(), height());
    setAttribute(Qt::WA_QuitOnClose, false);
    timer_.setInterval(kFrameMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &TForm2::ShowNextFrame);
    // FormCreate runs from the program's start, inside its guard, once the window exists.
}

void TForm2::FormCreate()
{
    const pcx::SettingsKey key;
    (void)key.tryOpen(); // the outcome is not looked at: the reads fail on a key that cannot be opened
    const int left = key.readInteger(pcx::Setting::VLeft);
    const int top = key.readInteger(pcx::Setting::VTop);
    move(left, top);
}

void TForm2::LoadPicture(const QString &fileName)
{
    pcx::BmpPicture loaded;
    loaded.Load(QFile::encodeName(fileName).toStdString());
    ShowPicture(std::move(loaded));
}

void TForm2::ShowPicture(pcx::BmpPicture picture)
{
    picture_ = std::move(picture);
    // The image is only the way to the pixmap, which takes over its pixels.
    pixmap_ = QPixmap::fromImage(ToQImage(picture_));
    ui.Image1->setPixmap(pixmap_);
}

void TForm2::PlayFrames(std::shared_ptr<const SpriteFrames> frames)
{
    StopFrames();
    frames_ = std::move(frames);
    ResumeFrames();
}

void TForm2::StopFrames()
{
    timer_.stop();
    frames_.reset();
    frame_ = 0;
}

void TForm2::ResumeFrames()
{
    if (frames_ && frames_->count() > 1 && isVisible())
        timer_.start();
}

void TForm2::ShowNextFrame()
{
    if (!frames_)
        return;
    const std::size_t next = (frame_ + 1) % frames_->count();
    // A frame that cannot be shown ends the playing, with its message (and no more ticks meanwhile).
    timer_.stop();
    if (!pcx::ui::RunGuarded([&] { ShowPicture(frames_->Picture(next)); })) {
        StopFrames();
        return;
    }
    frame_ = next;
    ResumeFrames();
}

void TForm2::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ResumeFrames();
}

void TForm2::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    timer_.stop();
}

void TForm2::closeEvent(QCloseEvent *event)
{
    if (Form1)
        Form1->ViewerClosed();
    event->accept();
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    ui.Panel1->setGeometry(rect());
    const int bevel = BevelPanel::kBevelWidth;
    ui.Image1->setGeometry(bevel, bevel, std::max(0, width() - 2 * bevel),
                           std::max(0, height() - 2 * bevel));
}
