// SIGINT, SIGTERM and SIGHUP end a run in order: the files in hand stop at their next write and
// leave nothing behind, no new file starts, and the signal is raised again at the end.
#pragma once

namespace pcx::cli {

// Catches the signals for the rest of the run.
void CatchStopSignals();
// The signal that asked the run to stop, or 0.
[[nodiscard]] int StopSignal();
// Ends the process by the signal it was asked to stop with, as if it had not been caught.
[[noreturn]] void StopAsAsked();

} // namespace pcx::cli
