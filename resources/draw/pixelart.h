// Small pixel-art toolkit: pictures written as rows of palette letters, and pasting one over another.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRgb>

#include <initializer_list>
#include <string_view>

namespace draw {

// The letters of a grid, mostly the sixteen colours of a 1990s desktop:
//   .  transparent     k black      W white     s silver      d dark grey
//   r  maroon          R red        g green     G lime        o olive
//   Y  yellow          n navy       B blue      t teal        C aqua
//   p  purple          M magenta    l light grey (3-D highlight)   y pale yellow
QRgb paletteColour(char letter);

// Every row must be as long as the first; an unknown letter is a programming error and aborts.
QImage fromGrid(std::initializer_list<std::string_view> rows);

// Draws src over dst with its top-left corner at `at`; transparent pixels of src leave dst alone.
void paste(QImage &dst, const QImage &src, QPoint at);

QImage transparentImage(int width, int height);

} // namespace draw
