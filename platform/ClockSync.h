#pragma once
// Whether the computer's clock is kept synchronised (NTP and the like), as the
// kernel tells it: a save writes this clock into every logger, so a clock
// that drifts freely puts a wrong time into a whole batch.

#include <string>

namespace korvel::platform {

// The kernel's clock discipline as read, without judgement.
struct ClockDiscipline {
    bool known = false;      // the system could be asked
    bool unsyncFlag = false; // the kernel marks the clock unsynchronised
    bool timeError = false;  // the query answered "clock error"
    long maxErrorMicros = 0; // the kernel's bound on the clock's error
    std::string problem;     // !known: why not
};

// Reads the discipline: adjtimex on Linux; unknown where there is no such query.
ClockDiscipline ReadClockDiscipline();

enum class ClockSync { Synchronised, Unsynchronised, Unknown };

// Synchronised only when the kernel neither flags the clock nor bounds its
// error beyond the 16 s after which NTP itself gives up on it.
ClockSync JudgeClockSync(const ClockDiscipline& discipline);

// "synchronised", "unsynchronised", "unknown": the words of reports and records.
const char* ClockSyncName(ClockSync sync);

} // namespace korvel::platform
