#pragma once
// The one line under the parameter window that tells the user what a scan for
// the logger is doing and, when it finds nothing, why: a silent scan over ports
// the user may not open looks exactly like a scan over ports with no logger.
// Pure values and text; the window records each poll and shows the result.

#include "platform/SerialDevice.h"

#include <cstddef>
#include <string>
#include <vector>

namespace korvel::window {

// How one port's poll in a scan went.
enum class PollOutcome {
    Asked,        // opened and sent the read command; no valid reply followed
    AccessDenied, // the user has no permission to open it
    Busy,         // another program holds it
    Gone,         // listed, but not there any more
    Failed,       // could not be opened for another reason
};

// What an open that failed with `error` means for the poll.
PollOutcome PollOutcomeOf(platform::SerialError error);

struct ScanProgress {
    std::size_t portCount = 0;      // ports in the scan's list
    std::vector<PollOutcome> polls; // one per port polled so far, in list order
    std::string lastPolled;         // name of the port polled last
    bool ended = false;             // the last port's poll got no valid reply within one interval
};

// UTF-8, in the user's language: before the first poll, the ports to come; while polling, which
// port of how many; once ended, how many were polled and why those that could not be opened were
// passed over. Empty for a scan over no ports.
std::string ScanStatusText(const ScanProgress& scan);

} // namespace korvel::window
