// The clock's state judged from the kernel's discipline, and the name each
// state carries into reports and records.
#include "platform/ClockSync.h"

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

TEST(ClockSync, JudgedFromTheKernelsDiscipline) {
    const struct {
        const char* name;
        ClockDiscipline discipline;
        ClockSync sync;
    } cases[] = {
        {"disciplined", {true, false, false, 250'000, ""}, ClockSync::Synchronised},
        {"flagged unsynchronised", {true, true, false, 250'000, ""}, ClockSync::Unsynchronised},
        {"clock error", {true, false, true, 250'000, ""}, ClockSync::Unsynchronised},
        // No flag, but an error bound NTP itself would give up at.
        {"error bound at 16 s", {true, false, false, 16'000'000, ""}, ClockSync::Unsynchronised},
        {"error bound just under", {true, false, false, 15'999'999, ""}, ClockSync::Synchronised},
        {"not asked", {false, false, false, 0, "no query"}, ClockSync::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeClockSync(c.discipline), c.sync) << c.name;
    }
    EXPECT_STREQ(ClockSyncName(ClockSync::Unsynchronised), "unsynchronised");
}

} // namespace
} // namespace korvel::platform
