// Drawing of the stretched image box.
#include "stretchimage.h"

#include <QPainter>

void StretchImage::paintEvent(QPaintEvent *)
{
    const QPixmap picture = pixmap();
    if (picture.isNull())
        return;
    QPainter(this).drawPixmap(rect(), picture);
}
