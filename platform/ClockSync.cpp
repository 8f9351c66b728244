#include "platform/ClockSync.h"

namespace korvel::platform {

namespace {
// The kernel's NTP_PHASE_LIMIT: past this, the clock counts as unsynchronised.
constexpr long kMaxErrorLimitMicros = 16'000'000;
} // namespace

ClockSync JudgeClockSync(const ClockDiscipline& discipline) {
    if (!discipline.known) {
        return ClockSync::Unknown;
    }
    if (discipline.unsyncFlag || discipline.timeError ||
        discipline.maxErrorMicros >= kMaxErrorLimitMicros) {
        return ClockSync::Unsynchronised;
    }
    return ClockSync::Synchronised;
}

const char* ClockSyncName(ClockSync sync) {
    switch (sync) {
    case ClockSync::Synchronised:
        return "synchronised";
    case ClockSync::Unsynchronised:
        return "unsynchronised";
    default:
        return "unknown";
    }
}

} // namespace korvel::platform
