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

// One port's poll, and for a port that would not open what the OS said.
struct PollResult {
    PollOutcome outcome = PollOutcome::Asked;
    platform::SystemError system;
};

// A port that would not open, with the operating system's own account of why.
struct PortFailure {
    std::string port;
    platform::SystemError system; // code 0 and an empty text where the OS said nothing
};

struct ScanProgress {
    std::size_t portCount = 0;      // ports in the scan's list
    std::vector<PollOutcome> polls; // one per port polled so far, in list order
    std::string lastPolled;         // name of the port polled last
    bool ended = false;             // the last port's poll got no valid reply within one interval
    std::vector<PortFailure> failures = {}; // the polls other than Asked, in list order
};

// UTF-8, in the user's language: before the first poll, the ports to come; while polling, which
// port of how many; once ended, how many were polled and why those that could not be opened were
// passed over. Empty for a scan over no ports.
std::string ScanStatusText(const ScanProgress& scan);

// UTF-8, one line a port that would not open: "/dev/ttyUSB0: Permission denied
// (error 13)". Empty when every poll asked. The status line's tool tip shows it.
std::string ScanFailuresText(const ScanProgress& scan);

} // namespace korvel::window
