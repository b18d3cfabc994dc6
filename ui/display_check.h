// Whether the window can have a display, found before Qt looks for one: Qt aborts with its own
// messages when it cannot connect, and a wrong command line must still be a usage error then.
#pragma once

#include <QApplication>
#include <QString>

#include <memory>

namespace pcx::ui {

// Empty when a display is to be had, or when Qt is told where to look by options or a platform of
// its own; otherwise the one line that says why not (no DISPLAY; an X server that does not answer).
[[nodiscard]] QString DisplayProblem(int argc, char **argv);

// For a DisplayProblem: checks the command line all the same, on Qt's display-less platform, since
// only Qt knows its own options; returns exit status 2 for a usage error, else 1 once the problem
// is printed.
[[nodiscard]] int RefuseWithoutDisplay(int &argc, char **argv, const QString &problem);

// The application, or, when Qt cannot start on the display after all, exit status 1 with the
// program's own message instead of Qt's abort.
[[nodiscard]] std::unique_ptr<QApplication> StartApplication(int &argc, char **argv);

} // namespace pcx::ui
