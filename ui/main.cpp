// pcxconv: the program's start. The main window is created first (its creation loads the settings),
// then the viewer and the About window; only the main window is shown. A FILE or DIR argument is
// opened last, as a click would open it.
#include "command_line.h"
#include "display_check.h"
#include "guard.h"
#include "look.h"
#include "program_windows.h"
#include "unit1.h"

#include <QApplication>
#include <QDir>

int main(int argc, char **argv)
{
    if (const std::optional<int> status = pcx::ui::AnswerHelpOrVersion(argc, argv))
        return *status;
    if (const QString problem = pcx::ui::DisplayProblem(argc, argv); !problem.isEmpty())
        return pcx::ui::RefuseWithoutDisplay(argc, argv, problem);
    const std::unique_ptr<QApplication> app = pcx::ui::StartApplication(argc, argv);
    // Resolved now: the settings' directory becomes the working directory.
    const std::optional<QString> path = pcx::ui::PathArgument(app->arguments(), QDir::currentPath());
    if (!path)
        return 2;
    pcx::ui::ApplyClassicLook(*app);

    const ProgramWindows windows;
    Form1->show();
    // After the settings, so the argument wins over the saved directory.
    if (!path->isEmpty())
        pcx::ui::RunGuarded([&path] { Form1->OpenPath(*path); });
    return Form1->SessionEnded() ? 0 : app->exec();
}
