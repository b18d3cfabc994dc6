// Unit2: the viewer window.
#include "unit2.h"

#include "look.h"
#include "picture_image.h"
#include "settings_key.h"
#include "unit1.h"

#include <QCloseEvent>
#include <QFile>

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
    pcx::ui::UseDialogFrame(this, width(), height());
    setAttribute(Qt::WA_QuitOnClose, false);
    // FormCreate runs from the program's start, inside its guard, once the window exists.
}

void TForm2::FormCreate()
{
    const pcx::SettingsKey key;
    (void)key.tryOpen(); // the outcome is not looked at; the reads report a missing key
    move(key.readInteger(QStringLiteral("VLeft")), key.readInteger(QStringLiteral("VTop")));
}

void TForm2::LoadPicture(const QString &fileName)
{
    pcx::BmpPicture loaded;
    loaded.Load(QFile::encodeName(fileName).toStdString());
    picture_ = std::move(loaded);
    image_ = ToQImage(picture_);
    ui.Image1->setPixmap(QPixmap::fromImage(image_));
}

void TForm2::closeEvent(QCloseEvent *event)
{
    // Setting the button from code runs no click operation.
    if (Form1)
        Form1->ui.ToolButton6->setChecked(false);
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
