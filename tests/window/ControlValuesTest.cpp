
#include "window/ControlValues.h"

#include "protocol/SettingsCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>

namespace korvel::window {
namespace {

using namespace korvel::protocol;

using ReadReply = ControlValues;

// The window's read path.
ControlValues DecodeReadReply(const Block& block) {
    return ControlValuesOf(DecodeSettings(block));
}

void put(Block& block, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + at);
}

void switchOff(Block& block, Threshold threshold) {
    std::fill_n(block.begin() + ThresholdOffset(threshold), width::kAlarmLevel, level::kDisabled);
}

// A reply with every listed byte set to a value other than a fresh window's.
Block typicalReply() {
    Block block{};
    put(block, offset::kSerialNumber, {'K', 'V', '2', '0', '2', '4', '0', '0', '7'});
    put(block, offset::kLogIntervalH, {1, 60, 30});
    put(block, offset::kStopMode, {value::kStopBySoftware, value::kStartTiming});
    put(block, offset::kStartYear, {24, 12, 31, 23, 59, 58});
    put(block, offset::kProbeMode, {1, 0, 1, 1, 5, 30, 1});
    put(block, offset::kCalibrationTemperature, {1, 2, 5, 0, 3, 40, 1, 1});
    put(block, offset::kPassword, {'a', 'b', 'c', '1', '2', '3'});
    return block;
}

TEST(DecodeReadReply, MapsEveryListedByteToItsControl) {
    const ReadReply reply = DecodeReadReply(typicalReply());
    EXPECT_EQ(reply.serialNumber, "KV2024007");
    EXPECT_EQ(reply.logIntervalH, 1);
    EXPECT_EQ(reply.logIntervalM, 60);
    EXPECT_EQ(reply.logIntervalS, 3);
    EXPECT_EQ(reply.stopMode, 1);
    EXPECT_EQ(reply.startMode, 2);
    EXPECT_FALSE(reply.startDelay);
    EXPECT_EQ(reply.startTime, (std::array<int, 6>{6, 11, 30, 23, 59, 58}));
    EXPECT_EQ(reply.probeMode, 1);
    EXPECT_EQ(reply.unit, TemperatureUnit::Fahrenheit);
    EXPECT_EQ(reply.timeZone, "UTC-05:30");
    EXPECT_EQ(reply.cycleSwitch, 1);
    EXPECT_EQ(reply.calibrationTemperature, (DecimalTriple{1, 2, 5}));
    EXPECT_EQ(DecimalTripleToText(reply.calibrationTemperature, ','), "-2,05");
    EXPECT_EQ(reply.calibrationHumidity, (DecimalTriple{0, 3, 40}));
    EXPECT_EQ(reply.temporaryPdfStartup, 1);
    EXPECT_EQ(reply.passwordStartup, 1);
    EXPECT_EQ(reply.password, "abc123");
    EXPECT_EQ(reply.tripInfo, "");
    EXPECT_EQ(reply.alarm.kind, AlarmChoice::None);
}

TEST(DecodeReadReply, LogSecondsAreRoundedDownToTheirTenSecondItem) {
    Block block{};
    block[offset::kLogIntervalS] = 59;
    EXPECT_EQ(DecodeReadReply(block).logIntervalS, 5);
}

struct UnlistedCase {
    const char* name;
    std::size_t at;
    std::uint8_t byte;
    std::function<bool(const ReadReply&)> leftAsItWas;
};

void PrintTo(const UnlistedCase& c, std::ostream* os) {
    *os << c.name;
}

const UnlistedCase kUnlistedCases[] = {
    {"StopModeTwo", offset::kStopMode, 0x02, [](const ReadReply& r) { return !r.stopMode; }},
    {"StopModeZero", offset::kStopMode, 0x00, [](const ReadReply& r) { return !r.stopMode; }},
    {"StartModeThree", offset::kStartMode, 3,
     [](const ReadReply& r) { return !r.startMode && !r.startDelay && !r.startTime; }},
    {"ProbeModeTwo", offset::kProbeMode, 2, [](const ReadReply& r) { return !r.probeMode; }},
    {"UnitTwo", offset::kTemperatureUnit, 2, [](const ReadReply& r) { return !r.unit; }},
    {"CycleSwitchFF", offset::kCycleSwitch, 0xFF,
     [](const ReadReply& r) { return !r.cycleSwitch; }},
    {"TemporaryPdfTwo", offset::kTemporaryPdfStartup, 2,
     [](const ReadReply& r) { return !r.temporaryPdfStartup; }},
    {"PasswordStartupTwo", offset::kPasswordStartup, 2,
     [](const ReadReply& r) { return !r.passwordStartup && !r.password; }},
};

class UnlistedByteTest : public testing::TestWithParam<UnlistedCase> {};

TEST_P(UnlistedByteTest, LeavesTheControlAsItWas) {
    const UnlistedCase& c = GetParam();
    Block block = typicalReply();
    block[c.at] = c.byte;
    EXPECT_TRUE(c.leftAsItWas(DecodeReadReply(block)));
}

INSTANTIATE_TEST_SUITE_P(Bytes, UnlistedByteTest, testing::ValuesIn(kUnlistedCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DecodeReadReply, StartModeDecidesWhichStartBytesAreRead) {
    Block block = typicalReply();
    block[offset::kStartMode] = value::kStartRightNow;
    ReadReply reply = DecodeReadReply(block);
    EXPECT_EQ(reply.startMode, 0);
    EXPECT_FALSE(reply.startDelay);
    EXPECT_FALSE(reply.startTime);

    block[offset::kStartMode] = value::kStartDelayed;
    reply = DecodeReadReply(block);
    EXPECT_EQ(reply.startMode, 1);
    ASSERT_TRUE(reply.startDelay);
    EXPECT_EQ(reply.startDelay->hours, 23);
    EXPECT_EQ(reply.startDelay->minutes, 59);
    EXPECT_FALSE(reply.startTime);
}

TEST(DecodeReadReply, StartYearsOutsideTheListGiveIndicesWithoutAnItem) {
    Block block = typicalReply();
    put(block, offset::kStartYear, {17, 0, 0});
    ReadReply reply = DecodeReadReply(block);
    ASSERT_TRUE(reply.startTime);
    EXPECT_EQ((*reply.startTime)[0], -1);
    EXPECT_EQ((*reply.startTime)[1], -1); // month 0
    EXPECT_EQ((*reply.startTime)[2], -1); // day 0

    block[offset::kStartYear] = 28;
    reply = DecodeReadReply(block);
    EXPECT_EQ((*reply.startTime)[0], 10); // one past "2027"
}

TEST(DecodeReadReply, PasswordIsTakenOnlyWhenStartupIsEnabled) {
    Block block = typicalReply();
    block[offset::kPasswordStartup] = 0;
    const ReadReply reply = DecodeReadReply(block);
    EXPECT_EQ(reply.passwordStartup, 0);
    EXPECT_FALSE(reply.password);
}

TEST(DecodeReadReply, TimeZoneTextIsBuiltEvenWhenNoItemMatches) {
    const struct {
        std::array<std::uint8_t, 3> bytes;
        const char* text;
    } cases[] = {
        {{0, 5, 45}, "UTC+05:45"},
        {{1, 5, 30}, "UTC-05:30"},
        {{1, 0, 30}, "UTC-00:30"},
        {{7, 14, 0}, "UTC-14:00"}, // any non-zero sign byte is west of UTC
    };
    for (const auto& c : cases) {
        Block block{};
        std::copy(c.bytes.begin(), c.bytes.end(), block.begin() + offset::kTimeZoneSign);
        EXPECT_EQ(DecodeReadReply(block).timeZone, c.text);
    }
}

TEST(DecodeReadReply, TripInfoEndsAtTheFirstZeroOrAfterItsHundredBytes) {
    Block block{};
    std::fill_n(block.begin() + offset::kTripInfo, width::kTripInfo, 'x');
    block[offset::kAlarmSwitch] = 'y'; // the byte after the field must not be taken
    EXPECT_EQ(DecodeReadReply(block).tripInfo, std::string(100, 'x'));

    block[offset::kTripInfo] = 0;
    block[offset::kCalibrationTemperature] = 1;
    EXPECT_EQ(DecodeReadReply(block).tripInfo, "");

    put(block, offset::kTripInfo, {'a', '\r', '\n', 0xE9, 0, 'z'});
    EXPECT_EQ(DecodeReadReply(block).tripInfo, "a\r\n\xE9");
}

Block alarmReply(std::uint8_t alarmSwitch) {
    Block block{};
    block[offset::kAlarmSwitch] = alarmSwitch;
    put(block, offset::kTemperatureL1, {1, 10, 25, 0, 0, 0, 0});
    put(block, offset::kTemperatureH1, {0, 30, 50, 0, 0, 0, 0});
    for (Threshold t : {Threshold::L2, Threshold::H2, Threshold::H3, Threshold::HumidityL1,
                        Threshold::HumidityH1}) {
        switchOff(block, t);
    }
    return block;
}

TEST(DecodeReadReply, AlarmSwitchZeroMeansNoAlarmWhateverTheLevelsHold) {
    Block block = alarmReply(0);
    block[offset::kHumidityL1] = 0;
    EXPECT_EQ(DecodeReadReply(block).alarm.kind, AlarmChoice::None);
}

TEST(DecodeReadReply, AllOptionalLevelsOffMeansSingleAlarm) {
    for (std::uint8_t alarmSwitch : {1, 0x80}) {
        const AlarmReading alarm = DecodeReadReply(alarmReply(alarmSwitch)).alarm;
        EXPECT_EQ(alarm.kind, AlarmChoice::Single);
        EXPECT_EQ(alarm.singleL1, (DecimalTriple{1, 10, 25}));
        EXPECT_EQ(alarm.singleH1, (DecimalTriple{0, 30, 50}));
    }
}

TEST(DecodeReadReply, AnyOptionalLevelOnMeansMultipleAlarmWithEveryRow) {
    Block block = alarmReply(1);
    put(block, offset::kHumidityL1, {0x00, 45, 5, 7, 1, 2, 3});
    put(block, offset::kTemperatureL1 + level::kMode, {0, 23, 59, 59});
    const AlarmReading alarm = DecodeReadReply(block).alarm;

    ASSERT_EQ(alarm.kind, AlarmChoice::Multiple);
    const ThresholdReading& humidityL1 = alarm.rows[Index(Threshold::HumidityL1)];
    EXPECT_TRUE(humidityL1.present);
    EXPECT_EQ(humidityL1.limit, (DecimalTriple{0, 45, 5}));
    EXPECT_EQ(humidityL1.modeIndex, 1); // any non-zero mode byte is "Cumulative"
    EXPECT_EQ(humidityL1.delay, (std::array<int, 3>{1, 2, 3}));

    const ThresholdReading& l1 = alarm.rows[Index(Threshold::L1)];
    EXPECT_TRUE(l1.present);
    EXPECT_EQ(l1.limit, (DecimalTriple{1, 10, 25}));
    EXPECT_EQ(l1.modeIndex, 0);
    EXPECT_EQ(l1.delay, (std::array<int, 3>{23, 59, 59}));
    EXPECT_TRUE(alarm.rows[Index(Threshold::H1)].present);
    EXPECT_EQ(alarm.rows[Index(Threshold::H1)].limit, (DecimalTriple{0, 30, 50}));

    for (Threshold t : {Threshold::L2, Threshold::H2, Threshold::H3, Threshold::HumidityH1}) {
        EXPECT_FALSE(alarm.rows[Index(t)].present) << ThresholdName(t);
    }
}

TEST(DecodeReadReply, MandatoryLevelsAreShownEvenWhenMarkedOff) {
    Block block = alarmReply(1);
    block[offset::kTemperatureH2] = 0;
    switchOff(block, Threshold::L1);
    const AlarmReading alarm = DecodeReadReply(block).alarm;
    ASSERT_EQ(alarm.kind, AlarmChoice::Multiple);
    EXPECT_TRUE(alarm.rows[Index(Threshold::L1)].present);
    EXPECT_EQ(alarm.rows[Index(Threshold::L1)].limit, (DecimalTriple{0xFF, 0xFF, 0xFF}));
}

} // namespace
} // namespace korvel::window
