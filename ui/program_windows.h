// The program's three windows, built in the program's order: Form1 (its creation loads the settings),
// then Form2 (its creation reads the viewer's position), then Form3; and the run's ends besides the
// exit button: a termination signal, or exit() called by Qt when the display's connection breaks.
// The start of the program, the window tests and the benchmarks all build them here.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

namespace pcx::ui {
class TerminationSignals;
}
class TForm1;
class TForm2;
class TForm3;

class ProgramWindows {
public:
    // Needs the QApplication. Shows none of the windows; Form1, Form2 and Form3 point at them until
    // this object goes.
    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows &) = delete;
    ProgramWindows &operator=(const ProgramWindows &) = delete;

private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<pcx::ui::TerminationSignals> signals_;
};

// A control of a window by the name its .ui file gives it, for the tests and benchmarks that drive
// the windows from outside (each window keeps its Ui to itself).
template <typename T>
[[nodiscard]] T *Control(const QWidget *window, const char *name)
{
    T *control = window->findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("%s has no control %s of that kind", qPrintable(window->objectName()), name);
    return control;
}
