#include "platform/ClockSync.h"

namespace korvel::platform {

// Windows keeps its time service's state to itself short of w32tm's private
// interfaces, so the state is reported as unknown rather than guessed.
ClockDiscipline ReadClockDiscipline() {
    ClockDiscipline discipline;
    discipline.problem = "no clock-discipline query on Windows";
    return discipline;
}

} // namespace korvel::platform
