// The word of COM ports coming and going, as the watch uses it.
#include "platform/TtyMonitor.h"

#include <chrono>

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

using namespace std::chrono_literals;

// Where the configuration manager can notify, the monitor opens without a
// window and stays quiet while no port comes or goes; where it cannot, it
// says why, and the watch lists the ports instead.
TEST(TtyMonitorWin32, OpensWithoutAWindowOrSaysWhy) {
    auto opened = OpenTtyMonitor();
    if (!opened) {
        EXPECT_NE(opened.failure().message.find("no word of ports coming and going ("),
                  std::string::npos)
            << opened.failure().message;
        GTEST_SKIP() << opened.failure().message;
    }
    const auto monitor = std::move(opened).take();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(monitor->Wait(100ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
}

} // namespace
} // namespace korvel::platform
