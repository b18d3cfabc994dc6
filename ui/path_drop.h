// Files and directories dropped on a window: the first local one of a drop is opened.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace pcx::ui {

// Makes the window and its text fields take drops of local files and directories (a text field
// would otherwise paste the dropped file's URL); other drops on the fields stay theirs. `open` runs
// with the first local path of a drop, inside the guard and once the drop has ended, so that an
// error box never holds up the program the drag came from.
void AcceptPathDrops(QWidget *window, std::function<void(const QString &)> open);

} // namespace pcx::ui
