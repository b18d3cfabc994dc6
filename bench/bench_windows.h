// The program's three windows for a benchmark, built as the program builds them, with the settings
// file and the temporary file in throw-away directories so that the user's own are never touched.
#pragma once

#include "ui/program_windows.h"

#include <QString>
#include <QTemporaryDir>

// XDG_CONFIG_HOME and XDG_RUNTIME_DIR pointed at fresh directories for the object's lifetime, so
// the windows start as on a first run (default settings). Made before the QApplication.
class TemporaryUserDirectories {
public:
    TemporaryUserDirectories();

private:
    QTemporaryDir config_;
    QTemporaryDir runtime_;
};

class BenchWindows {
public:
    // Needs the QApplication and the TemporaryUserDirectories.
    BenchWindows();
    BenchWindows(const BenchWindows &) = delete;
    BenchWindows &operator=(const BenchWindows &) = delete;

    // Shows the main window and waits until the window system has exposed it.
    void showMain();
    // Lists the directory (a relative name means the working directory at the start) in the main
    // window; false, with the reason on stderr, when it cannot.
    bool open(const QString &directory);

private:
    QString startDirectory_; // the windows move the working directory to the listed one
    ProgramWindows windows_;
};

// Seconds of CPU (user + system) used by the whole process so far.
[[nodiscard]] double ProcessCpuSeconds();
