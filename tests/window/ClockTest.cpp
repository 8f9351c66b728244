// The System Time clock: the arithmetic on its own, then the ticks of the
// window's timer with an injected clock and zone.
#include "WindowFixture.h"

#include "window/Clock.h"

#include <QSignalSpy>
#include <QTimeZone>

namespace korvel::window {
namespace {

using testing_support::WindowTest;

constexpr int kUtc = 24;      // "UTC+00:00"
constexpr int kPlus0530 = 35; // "UTC+05:30"
constexpr int kMinus1200 = 0; // "UTC-12:00"
constexpr int kPlus1400 = 52; // "UTC+14:00"

QDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

TEST(AddMinutesTest, AddsOnTheDayScale) {
    EXPECT_DOUBLE_EQ(AddMinutes(1.5, 720), 2.0);
    EXPECT_DOUBLE_EQ(AddMinutes(1.5, -2160), 0.0);
    EXPECT_DOUBLE_EQ(AddMinutes(46000.25, 0), 46000.25);
    // A 64-bit count of minutes, far beyond an int.
    EXPECT_DOUBLE_EQ(AddMinutes(0.0, 1440LL * 3'000'000'000LL), 3'000'000'000.0);
}

TEST(AddMinutesTest, DayCountsRoundTripToTheMillisecond) {
    // 30 December 1899 is day zero; 1 January 1900 is day 2.
    EXPECT_DOUBLE_EQ(DateTimeToDays(QDate(1900, 1, 1), QTime(18, 0)), 2.75);
    for (const QDateTime& t : {At(2026, 3, 7, 14, 25, 36, 999), At(2099, 12, 31, 23, 59, 59, 1),
                               At(2018, 1, 1, 0, 0, 0)}) {
        const QDateTime back = DaysToDateTime(DateTimeToDays(t.date(), t.time()));
        EXPECT_EQ(back.date(), t.date()) << t.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(back.time(), t.time()) << t.toString(Qt::ISODateWithMs).toStdString();
    }
}

struct ZoneCase {
    const char* name;
    QDateTime local;
    int bias; // UTC = local + bias
    int zoneIndex;
    QDateTime shown;
};

void PrintTo(const ZoneCase& c, std::ostream* os) {
    *os << c.name;
}

const ZoneCase kZoneCases[] = {
    {"utc_shows_utc", At(2026, 3, 7, 14, 25, 36), -60, kUtc, At(2026, 3, 7, 13, 25, 36)},
    {"plus_0530", At(2026, 3, 7, 14, 25, 36), 0, kPlus0530, At(2026, 3, 7, 19, 55, 36)},
    {"minus_1200", At(2026, 3, 7, 14, 25, 36), 0, kMinus1200, At(2026, 3, 7, 2, 25, 36)},
    {"forward_over_midnight_and_year", At(2026, 12, 31, 22, 10, 5), 0, kPlus0530,
     At(2027, 1, 1, 3, 40, 5)},
    {"back_over_midnight_and_month", At(2026, 3, 1, 5, 0, 0), 0, kMinus1200,
     At(2026, 2, 28, 17, 0, 0)},
    {"west_bias_into_leap_day", At(2028, 2, 28, 20, 0, 0), 300, kPlus1400,
     At(2028, 2, 29, 15, 0, 0)},
    {"keeps_the_second_near_its_end", At(2026, 3, 7, 14, 25, 36, 999), -330, kPlus0530,
     At(2026, 3, 7, 14, 25, 36, 999)},
    {"no_zone_selected_counts_as_utc", At(2026, 3, 7, 14, 25, 36), 0, -1,
     At(2026, 3, 7, 14, 25, 36)},
};

class ZoneClockTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneClockTest, ShowsTheLocalClockInThePickedZone) {
    const ZoneCase& c = GetParam();
    const QDateTime shown = ZoneClock(c.local, c.bias, c.zoneIndex);
    EXPECT_EQ(shown.date(), c.shown.date());
    EXPECT_EQ(shown.time(), c.shown.time());
}

INSTANTIATE_TEST_SUITE_P(Cases, ZoneClockTest, ::testing::ValuesIn(kZoneCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ClockIndicesTest, AreTheValuesMinusTheFirstItem) {
    EXPECT_EQ(ClockIndicesOf(At(2026, 3, 7, 14, 25, 36)), (ClockIndices{8, 2, 6, 14, 25, 36}));
    EXPECT_EQ(ClockIndicesOf(At(2018, 1, 1, 0, 0, 0)), (ClockIndices{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ClockIndicesOf(At(2017, 12, 31, 23, 59, 59)).year, -1);
    EXPECT_EQ(ClockIndicesOf(At(2100, 1, 1, 0, 0, 0)).year, 82); // one past "2099"
}

// The bias is the zone's standard one, also in summer: during daylight-saving
// time the clock is off true UTC by the daylight difference, as documented.
TEST(StandardBiasTest, LeavesDaylightSavingOut) {
    struct Case {
        const char* zone;
        QDateTime at;
        int bias;
    };
    const Case cases[] = {
        {"Europe/Berlin", At(2026, 1, 15, 12, 0, 0), -60},
        {"Europe/Berlin", At(2026, 7, 15, 12, 0, 0), -60},
        {"America/New_York", At(2026, 7, 15, 12, 0, 0), 300},
        {"Asia/Kolkata", At(2026, 7, 15, 12, 0, 0), -330},
        {"UTC", At(2026, 7, 15, 12, 0, 0), 0},
    };
    for (const Case& c : cases) {
        if (!QTimeZone::isTimeZoneIdAvailable(c.zone)) {
            // Windows without ICU knows the zones its registry names; Wine's lacks some.
            GTEST_SKIP() << c.zone << " is unknown to this system";
        }
        const QTimeZone zone(c.zone);
        ASSERT_TRUE(zone.isValid()) << c.zone;
        EXPECT_EQ(StandardBiasMinutes(zone, c.at), c.bias) << c.zone;
    }

    // Noon in Berlin in July (CEST, true UTC 10:00) shows 11:00 with "UTC+00:00".
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime summerNoon = At(2026, 7, 15, 12, 0, 0);
    const QDateTime shown = ZoneClock(summerNoon, StandardBiasMinutes(berlin, summerNoon), kUtc);
    EXPECT_EQ(shown.time(), QTime(11, 0));
}

class ClockWindowTest : public WindowTest {
protected:
    std::vector<int> systemTime() const {
        std::vector<int> indices;
        for (const QComboBox* list :
             {window->cbbSystemTimeY, window->cbbSystemTimeM, window->cbbSystemTimeD,
              window->cbbSystemTimeH, window->cbbSystemTimeN, window->cbbSystemTimeS}) {
            indices.push_back(list->currentIndex());
        }
        return indices;
    }
};

TEST_F(ClockWindowTest, TheTimerTicksTheZoneTimeIntoTheSystemTimeLists) {
    clock.bias = -60;
    TParamter& w = show(At(2026, 3, 7, 14, 25, 36));
    // A coarse timer may fire 5 % late and skip a second of the display.
    EXPECT_EQ(w.tmrSysTime->timerType(), Qt::PreciseTimer);
    // Until the first tick the lists hold the local clock, without any zone.
    EXPECT_EQ(systemTime(), (std::vector<int>{8, 2, 6, 14, 25, 36}));
    const QSignalSpy ticks(w.tmrSysTime, &QTimer::timeout);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ticks.isEmpty(); }, 3000));
    EXPECT_EQ(systemTime(), (std::vector<int>{8, 2, 6, 13, 25, 36}));

    // A zone picked in the window counts from the next tick on.
    w.cbbTimeZone->setCurrentIndex(kPlus0530);
    w.tmrSysTimeTimer();
    EXPECT_EQ(systemTime(), (std::vector<int>{8, 2, 6, 18, 55, 36}));
    EXPECT_EQ(w.cbbSystemTimeN->currentText(), "55");
}

TEST_F(ClockWindowTest, APickInAClockListLastsUntilTheNextTick) {
    TParamter& w = show(At(2026, 3, 7, 14, 25, 36));
    w.tmrSysTimeTimer();
    w.cbbSystemTimeS->setCurrentIndex(5);
    w.cbbSystemTimeY->setCurrentIndex(0);
    w.tmrSysTimeTimer();
    EXPECT_EQ(systemTime(), (std::vector<int>{8, 2, 6, 14, 25, 36}));
}

TEST_F(ClockWindowTest, AYearOutsideTheListLeavesTheYearListEmptyUntilItIsBack) {
    TParamter& w = show(At(2017, 12, 31, 23, 59, 58));
    w.tmrSysTimeTimer();
    EXPECT_EQ(systemTime(), (std::vector<int>{-1, 11, 30, 23, 59, 58}));
    EXPECT_EQ(w.cbbSystemTimeY->currentText(), "");

    clock.now = At(2018, 1, 1, 0, 0, 1);
    w.tmrSysTimeTimer();
    EXPECT_EQ(systemTime(), (std::vector<int>{0, 0, 0, 0, 0, 1}));

    // Shifted past the last year the list offers.
    clock.now = At(2099, 12, 31, 23, 30, 0);
    w.cbbTimeZone->setCurrentIndex(kPlus0530);
    w.tmrSysTimeTimer();
    EXPECT_EQ(systemTime(), (std::vector<int>{-1, 0, 0, 5, 0, 0}));
}

} // namespace
} // namespace korvel::window
