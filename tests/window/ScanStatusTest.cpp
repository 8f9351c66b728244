// The status line's words for a scan, from the outcome of every poll.
#include "window/ScanStatus.h"
#include "platform/OpenHints.h"

#include <gtest/gtest.h>

namespace korvel::window {
namespace {

using enum PollOutcome;

TEST(ScanStatusTest, SaysWhatTheScanDoesAndWhyItFoundNothing) {
    const std::string dialout = " (join the dialout group, see Help)";
    const struct {
        const char* name;
        ScanProgress scan;
        std::string expected;
    } cases[] = {
        {"no scan", {}, ""},
        {"before the first poll", {3, {}, "", false}, "Looking for the logger on 3 ports"},
        {"before the only port's poll", {1, {}, "", false}, "Looking for the logger on 1 port"},
        {"polling the second port",
         {5, {Asked, Busy}, "/dev/ttyUSB1", false},
         "Polling port 2 of 5: /dev/ttyUSB1"},
        {"every port asked, none answered",
         {3, {Asked, Asked, Asked}, "/dev/ttyUSB2", true},
         "Polled 3 ports; no logger answered."},
        {"the only port without permission",
         {1, {AccessDenied}, "/dev/ttyUSB0", true},
         "Polled 1 port, no logger: no permission for 1" + dialout + "."},
        {"reasons counted, permission first",
         {6, {Gone, Busy, AccessDenied, Asked, AccessDenied, Failed}, "/dev/ttyS0", true},
         "Polled 6 ports, no logger: no permission for 2" + dialout +
             ", 1 in use by another program, 1 gone, 1 would not open."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ScanStatusText(c.scan), c.expected);
    }
}

TEST(ScanStatusTest, AFailedOpenCountsUnderTheReasonTheUserCanActOn) {
    using platform::SerialError;
    const std::pair<SerialError, PollOutcome> cases[] = {
        // Windows answers a port held by another program with "access denied".
        {SerialError::AccessDenied,
         platform::PortOpenHints().accessDeniedMeansBusy ? Busy : AccessDenied},
        {SerialError::Busy, Busy},
        {SerialError::NotFound, Gone},
        {SerialError::DeviceGone, Gone},
        {SerialError::NotATerminal, Failed},
        {SerialError::Other, Failed},
    };
    for (const auto& [error, outcome] : cases) {
        EXPECT_EQ(PollOutcomeOf(error), outcome) << static_cast<int>(error);
    }
}

TEST(ScanStatusTest, FailuresKeepTheOperatingSystemsWordsPerPort) {
    ScanProgress scan{3, {AccessDenied, Asked, Failed}, "/dev/ttyS0", true};
    EXPECT_EQ(ScanFailuresText(scan), "");
    scan.failures = {{"/dev/ttyUSB0", {13, "Permission denied"}},
                     {"/dev/ttyS0", {0, "Unable to create read thread"}},
                     {"/dev/ttyS1", {}}};
    EXPECT_EQ(ScanFailuresText(scan), "/dev/ttyUSB0: Permission denied (error 13)\n"
                                      "/dev/ttyS0: Unable to create read thread\n"
                                      "/dev/ttyS1: would not open");
}

} // namespace
} // namespace korvel::window
