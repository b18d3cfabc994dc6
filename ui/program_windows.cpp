// Building the three windows and taking them down in the reverse order.
#include "program_windows.h"

#include "guard.h"
#include "unit1.h"
#include "unit2.h"
#include "unit3.h"

ProgramWindows::ProgramWindows()
{
    form1_ = std::make_unique<TForm1>();
    Form1 = form1_.get();
    form2_ = std::make_unique<TForm2>();
    Form2 = form2_.get();
    pcx::ui::RunGuarded([] { Form2->FormCreate(); });
    form3_ = std::make_unique<TForm3>();
    Form3 = form3_.get();
}

ProgramWindows::~ProgramWindows()
{
    Form3 = nullptr;
    form3_.reset();
    Form2 = nullptr;
    form2_.reset();
    Form1 = nullptr;
    form1_.reset();
}
