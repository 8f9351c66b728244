// The live clock of the six System Time lists: every tick shows the computer's
// clock in the zone picked in cbbTimeZone, which is the time a save writes.
#include "window/ParamterFrm.h"

#include "window/Clock.h"

namespace korvel::window {

void TParamter::tmrSysTimeTimer() {
    const QDateTime shown =
        ZoneClock(services.clock.localNow(), services.clock.standardBiasMinutes(),
                  cbbTimeZone->currentIndex());
    const ClockIndices at = ClockIndicesOf(shown);
    SelectListIndex(cbbSystemTimeY, at.year);
    SelectListIndex(cbbSystemTimeM, at.month);
    SelectListIndex(cbbSystemTimeD, at.day);
    SelectListIndex(cbbSystemTimeH, at.hour);
    SelectListIndex(cbbSystemTimeN, at.minute);
    SelectListIndex(cbbSystemTimeS, at.second);
}

} // namespace korvel::window
