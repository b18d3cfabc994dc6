// pcxconv: the program's start. The main window is created first (its creation loads the settings),
// then the viewer and the About window; only the main window is shown.
#include "look.h"
#include "program_windows.h"
#include "unit1.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts with a toolkit message when there is no display; say plainly what to do instead.
bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char **argv)
{
    if (!HasDisplay()) {
        std::fprintf(stderr, "pcxconv: no display (DISPLAY is not set); to run it without one, "
                             "start it under Xvfb: xvfb-run -a %s\n",
                     argv[0]);
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    pcx::ui::ApplyClassicLook(app);

    const ProgramWindows windows;
    Form1->show();
    return app.exec();
}
