#pragma once
// The ways a user or the system asks a saving command to stop: Ctrl-C,
// SIGTERM, a closed terminal (SIGHUP; on Windows the console's close, logoff
// or shutdown). Once caught they are counted instead of fatal, so a save in
// flight can finish and be recorded: the first asks to take nothing new, the
// second to cut what is in flight short, a third ends the program at once.
// A write to a closed pipe then fails instead of killing the program.

namespace korvel::platform {

// From now on the stop signals are counted, and broken pipes are errors.
void CatchStopSignals();
// How many stop signals have arrived since.
int StopSignalCount();
// Whether one of them said the terminal or session has gone (SIGHUP; the
// console's close, logoff or shutdown): the user will not see the outcome.
bool SessionEnded();

// Marks a save in flight, from its frame to its recorded outcome. On Windows a
// logoff or shutdown then waits for it as long as the system allows, and
// Windows shows why meanwhile (ShutdownBlockReasonCreate); a console program
// hears of those only through a hidden window, which CatchStopSignals makes.
// Nothing elsewhere. Any thread; nests.
class SaveInFlight {
public:
    SaveInFlight();
    // Out of line and not trivial: Windows' ends the shutdown block.
    ~SaveInFlight(); // NOLINT(performance-trivially-destructible)
    SaveInFlight(const SaveInFlight&) = delete;
    SaveInFlight& operator=(const SaveInFlight&) = delete;
};

} // namespace korvel::platform
