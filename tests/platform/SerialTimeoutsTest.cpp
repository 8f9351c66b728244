#include "platform/SerialTimeouts.h"

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

using std::chrono::milliseconds;
constexpr std::uint32_t kMax = kMaxTimeout;

struct PlanCase {
    const char* name;
    Timeouts timeouts;
    ReadProgress progress;
    bool complete;
    std::optional<milliseconds> wait;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

class PlanReadTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanReadTest, DecidesWhetherTheReadEndsAndHowLongItMayWait) {
    const PlanCase& c = GetParam();
    const ReadPlan plan = PlanRead(c.timeouts, c.progress);
    EXPECT_EQ(plan.complete, c.complete);
    EXPECT_EQ(plan.wait, c.wait);
}

// {interval, read multiplier, read constant, write multiplier, write constant}
// {capacity, count, since start, since last byte}
INSTANTIATE_TEST_SUITE_P(
    Cases, PlanReadTest,
    ::testing::Values(PlanCase{"IntervalWaitsWithoutLimitForTheFirstByte",
                               {200, 0, 0, 0, 0},
                               {2048, 0, milliseconds(5000), {}},
                               false,
                               std::nullopt},
                      PlanCase{"IntervalCountsFromTheLastByte",
                               {200, 0, 0, 0, 0},
                               {2048, 10, milliseconds(900), milliseconds(150)},
                               false,
                               milliseconds(50)},
                      PlanCase{"IntervalElapsedEndsTheRead",
                               {200, 0, 0, 0, 0},
                               {2048, 10, milliseconds(900), milliseconds(200)},
                               true,
                               std::nullopt},
                      PlanCase{"FullBufferEndsTheRead",
                               {200, 0, 0, 0, 0},
                               {2048, 2048, milliseconds(1), milliseconds(0)},
                               true,
                               std::nullopt},
                      PlanCase{"NoTimeoutsWaitForAFullBuffer",
                               {0, 0, 0, 0, 0},
                               {2048, 100, milliseconds(9000), milliseconds(9000)},
                               false,
                               std::nullopt},
                      PlanCase{"TotalTimeoutIsMultiplierTimesSizePlusConstant",
                               {0, 1, 100, 0, 0},
                               {10, 0, milliseconds(50), {}},
                               false,
                               milliseconds(60)},
                      PlanCase{"TotalTimeoutExpiredEndsEvenWithNoBytes",
                               {0, 0, 100, 0, 0},
                               {2048, 0, milliseconds(100), {}},
                               true,
                               std::nullopt},
                      PlanCase{"EarlierOfTotalAndInterval",
                               {200, 0, 1000, 0, 0},
                               {2048, 1, milliseconds(950), milliseconds(10)},
                               false,
                               milliseconds(50)},
                      PlanCase{"MaxIntervalAloneReturnsAtOnce",
                               {kMax, 0, 0, 0, 0},
                               {2048, 0, milliseconds(0), {}},
                               true,
                               std::nullopt},
                      PlanCase{"WaitForFirstByteUpToConstant",
                               {kMax, kMax, 300, 0, 0},
                               {2048, 0, milliseconds(100), {}},
                               false,
                               milliseconds(200)},
                      PlanCase{"WaitForFirstByteEndsOnAnyByte",
                               {kMax, kMax, 300, 0, 0},
                               {2048, 1, milliseconds(100), milliseconds(0)},
                               true,
                               std::nullopt},
                      PlanCase{"LargeMultiplierDoesNotOverflow",
                               {0, kMax, 0, 0, 0},
                               {2048, 0, milliseconds(0), {}},
                               false,
                               milliseconds(std::int64_t{kMax} * 2048)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WriteTimeLimitTest, NoneWithoutWriteTimeoutsElseMultiplierTimesSizePlusConstant) {
    EXPECT_EQ(WriteTimeLimit({200, 0, 0, 0, 0}, 210), std::nullopt);
    EXPECT_EQ(WriteTimeLimit({0, 0, 0, 2, 50}, 210), milliseconds(470));
}

} // namespace
} // namespace korvel::platform
