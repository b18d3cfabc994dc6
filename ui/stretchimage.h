// An image box that draws its picture stretched to its bounds with plain pixel sampling, as a
// stretched image control does, rather than smoothing a new copy each time its size changes.
#pragma once

#include <QLabel>

class StretchImage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
};
