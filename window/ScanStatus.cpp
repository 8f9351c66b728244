#include "window/ScanStatus.h"

#include <algorithm>

namespace korvel::window {
namespace {

std::string Ports(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " port" : " ports");
}

std::size_t CountOf(const std::vector<PollOutcome>& polls, PollOutcome outcome) {
    return static_cast<std::size_t>(std::count(polls.begin(), polls.end(), outcome));
}

// Why ports were passed over, the one the user can mend first.
std::string Reasons(const std::vector<PollOutcome>& polls) {
    std::string text;
    const auto add = [&text](std::size_t count, const std::string& prefix,
                             const std::string& suffix) {
        if (count == 0) {
            return;
        }
        text += (text.empty() ? "" : ", ") + prefix + std::to_string(count) + suffix;
    };
    add(CountOf(polls, PollOutcome::AccessDenied), "no permission for ",
        " (join the dialout group, see Help)");
    add(CountOf(polls, PollOutcome::Busy), "", " in use by another program");
    add(CountOf(polls, PollOutcome::Gone), "", " gone");
    add(CountOf(polls, PollOutcome::Failed), "", " would not open");
    return text;
}

} // namespace

PollOutcome PollOutcomeOf(platform::SerialError error) {
    switch (error) {
    case platform::SerialError::AccessDenied:
        return PollOutcome::AccessDenied;
    case platform::SerialError::Busy:
        return PollOutcome::Busy;
    case platform::SerialError::NotFound:
    case platform::SerialError::DeviceGone:
        return PollOutcome::Gone;
    default:
        return PollOutcome::Failed;
    }
}

std::string ScanStatusText(const ScanProgress& scan) {
    if (scan.portCount == 0) {
        return {};
    }
    if (!scan.ended) {
        if (scan.polls.empty()) {
            return "Looking for the logger on " + Ports(scan.portCount);
        }
        return "Polling port " + std::to_string(scan.polls.size()) + " of " +
               std::to_string(scan.portCount) + ": " + scan.lastPolled;
    }
    const std::string reasons = Reasons(scan.polls);
    if (reasons.empty()) {
        return "Polled " + Ports(scan.polls.size()) + "; no logger answered.";
    }
    return "Polled " + Ports(scan.polls.size()) + ", no logger: " + reasons + ".";
}

std::string ScanFailuresText(const ScanProgress& scan) {
    std::string text;
    for (const PortFailure& failure : scan.failures) {
        text += (text.empty() ? "" : "\n") + failure.port + ": ";
        const platform::SystemError& system = failure.system;
        text += system.text.empty() ? "would not open" : system.text;
        if (system.code != 0) {
            text += " (error " + std::to_string(system.code) + ")";
        }
    }
    return text;
}

} // namespace korvel::window
