// The program's look: the classic style and colours, its fonts, and its window frames.
#pragma once

#include <QFont>

class QApplication;
class QWidget;

namespace pcx::ui {

// The Windows style of Qt with the classic grey palette.
void ApplyClassicLook(QApplication &app);

// "MS Sans Serif", 11 pixels: the windows' own font.
[[nodiscard]] QFont WindowFont();
// "Arial" at a pixel height: the font every control that sets its own uses.
[[nodiscard]] QFont ArialFont(int pixels, bool bold = false);

// A single, fixed border with system menu and minimise box, no maximise box.
void UseSingleFrame(QWidget *window, int clientWidth, int clientHeight);
// A fixed dialog frame with a close box only.
void UseDialogFrame(QWidget *window, int clientWidth, int clientHeight);
// Sets a fixed client size so that the outer size (frame included) is outerWidth × outerHeight, as
// far as the window system has told us its frame.
void SetOuterSize(QWidget *window, int outerWidth, int outerHeight);

} // namespace pcx::ui
