#include "platform/ClockSync.h"

#include <cerrno>
#include <cstring>
#include <sys/timex.h>

namespace korvel::platform {

ClockDiscipline ReadClockDiscipline() {
    ClockDiscipline discipline;
    timex query{};
    query.modes = 0; // read only: needs no privilege
    const int state = ::adjtimex(&query);
    if (state == -1) {
        discipline.problem = std::strerror(errno);
        return discipline;
    }
    discipline.known = true;
    discipline.timeError = state == TIME_ERROR;
    discipline.unsyncFlag = (query.status & STA_UNSYNC) != 0;
    discipline.maxErrorMicros = query.maxerror;
    return discipline;
}

} // namespace korvel::platform
