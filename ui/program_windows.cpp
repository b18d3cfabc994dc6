// Building the three windows and taking them down in the reverse order.
#include "program_windows.h"

#include "guard.h"
#include "termination_signals.h"
#include "unit1.h"
#include "unit2.h"
#include "unit3.h"

#include <QAbstractEventDispatcher>

#include <cstdlib>

namespace {

void EndWithoutDisplay()
{
    if (Form1)
        Form1->EndWithoutDisplay();
}

} // namespace

ProgramWindows::ProgramWindows()
{
    form1_ = std::make_unique<TForm1>();
    Form1 = form1_.get();
    form2_ = std::make_unique<TForm2>();
    Form2 = form2_.get();
    pcx::ui::RunGuarded([] { Form2->FormCreate(); });
    form3_ = std::make_unique<TForm3>();
    Form3 = form3_.get();

    signals_ = std::make_unique<pcx::ui::TerminationSignals>([] { Form1->EndSession(); });
    // What the exit saves is noted while the windows can still be read: when exit() comes, the
    // display may be gone.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     Form1, [] { Form1->NoteExitValues(); });
    static const bool registered = std::atexit(EndWithoutDisplay) == 0;
    (void)registered;
}

ProgramWindows::~ProgramWindows()
{
    signals_.reset();
    Form3 = nullptr;
    form3_.reset();
    Form2 = nullptr;
    form2_.reset();
    Form1 = nullptr;
    form1_.reset();
}
