// A panel framed by a raised outer and a sunken inner bevel, one pixel each, as the windows' panels
// are drawn.
#pragma once

#include <QFrame>

class BevelPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kBevelWidth = 2; // outer + inner

    explicit BevelPanel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
