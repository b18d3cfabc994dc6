// Unit2: the viewer TForm2, which holds the current picture and shows it at its natural size.
#pragma once

#include "engine/bmp_picture.h"
#include "ui_unit2.h"

#include <QPixmap>
#include <QWidget>

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

    void FormCreate();

protected:
    // FormClose: closing by the close box raises ToolButton6 without running its operation.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Ui::TForm2 ui;
    pcx::BmpPicture picture_;
    QPixmap pixmap_;
};

extern TForm2 *Form2;
