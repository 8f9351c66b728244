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

// A write is bounded even when the caller set no write time-outs: by what the
// line speed needs for it, plus the margin.
TEST(WithWriteBoundTest, BoundsAWriteByTheLineSpeedUnlessTheCallerSetALimit) {
    EXPECT_EQ(WithWriteBound({200, 0, 0, 2, 50}, 9600), (Timeouts{200, 0, 0, 2, 50}));
    const Timeouts bounded = WithWriteBound({200, 0, 0, 0, 0}, 9600);
    EXPECT_EQ(bounded.readInterval, 200u);
    const auto limit = WriteTimeLimit(bounded, 210);
    ASSERT_TRUE(limit);
    // 210 bytes of 10 bits at 9600 baud take 219 ms on the line.
    EXPECT_GE(*limit, milliseconds(219 + kWriteMarginMs));
    EXPECT_LE(*limit, milliseconds(2 * 219 + kWriteMarginMs));
    EXPECT_EQ(WithWriteBound({0, 0, 0, 0, 0}, 0).writeTotalConstant, kWriteMarginMs);
}

struct SliceCase {
    const char* name;
    ReadPlan plan;
    Timeouts slice; // the read fields; the write fields are WithWriteBound's
};

// A slice ends 1 ms after a byte or after at most kReadSlice, never after
// 0 ms (which would be without limit); a complete plan gets one short look.
TEST(SliceTimeoutsTest, EverySliceEndsOnItsOwnWithinTheSlice) {
    const SliceCase cases[] = {
        {"NoLimitYet", {false, std::nullopt}, {1, 0, 50, 0, 0}},
        {"LongWaitIsCutToTheSlice", {false, milliseconds(180)}, {1, 0, 50, 0, 0}},
        {"ShortWaitIsKept", {false, milliseconds(7)}, {1, 0, 7, 0, 0}},
        {"ZeroWaitStillWaitsAMillisecond", {false, milliseconds(0)}, {1, 0, 1, 0, 0}},
        {"CompleteLooksOnce", {true, std::nullopt}, {1, 0, 1, 0, 0}},
    };
    const Timeouts caller{200, 0, 0, 0, 0};
    for (const SliceCase& c : cases) {
        Timeouts expected = WithWriteBound(caller, 9600);
        expected.readInterval = c.slice.readInterval;
        expected.readTotalMultiplier = c.slice.readTotalMultiplier;
        expected.readTotalConstant = c.slice.readTotalConstant;
        EXPECT_EQ(SliceTimeouts(caller, 9600, c.plan), expected) << c.name;
    }
    static_assert(kReadSlice.count() == 50 && kReadSlice.count() < 0x80000000LL);
}

} // namespace
} // namespace korvel::platform
