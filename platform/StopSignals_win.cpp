#include "platform/StopSignals.h"

#include <atomic>

#include <windows.h>

namespace korvel::platform {

namespace {

std::atomic<int> requests{0};
std::atomic<bool> closed{false};

// Windows ends the program when the handler of a close, logoff or shutdown
// returns; it waits about five seconds for it. That time is given to the
// saves in flight.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI countRequest(DWORD event) {
    const int count = requests.fetch_add(1) + 1;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // A third request is left to the default handler, which ends the program.
        return count >= 3 ? FALSE : TRUE;
    default:
        closed = true;
        ::Sleep(kCloseGraceMs);
        return FALSE;
    }
}

} // namespace

void CatchStopSignals() {
    // Windows has no SIGPIPE: a write to a closed pipe already fails.
    ::SetConsoleCtrlHandler(countRequest, TRUE);
}

int StopSignalCount() {
    return requests.load();
}

bool SessionEnded() {
    return closed.load();
}

} // namespace korvel::platform
