// The one guard around every operation that a user action starts: an error is shown in the error box
// and never crosses Qt's event dispatch.
#pragma once

#include <functional>

class QString;

namespace pcx::ui {

// Runs the action; any exception it throws is shown with ShowErrorBox and swallowed there. False when
// the action ended in an error.
bool RunGuarded(const std::function<void()> &action);

// As RunGuarded, for when no box may be shown because the run is ending without its window: the
// message goes to standard error as "pcxconv: MESSAGE".
bool RunReported(const std::function<void()> &action);

// The modal error box: the application title as caption, the stop icon, one OK, the other windows
// disabled meanwhile. The message gets the full-stop rule.
void ShowErrorBox(const QString &message);

// The executable's name without its directory, cut at the first ".", lower case after the first
// character, which stays as it is ("pcxconv" stays "pcxconv", "PCXconv" gives "Pcxconv").
QString ApplicationTitle();

} // namespace pcx::ui
