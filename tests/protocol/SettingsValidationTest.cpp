#include "protocol/SettingsValidation.h"

#include "protocol/SettingsText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace korvel::protocol {
namespace {

using Texts = std::vector<std::string>;

std::optional<LevelSetting>& levelOf(LoggerSettings& settings, Threshold threshold) {
    return settings.alarm.levels[Index(threshold)];
}

LoggerSettings base() {
    LoggerSettings settings;
    settings.serialNumber = "KV2024007";
    settings.timeZone = 330;
    settings.logInterval = {0, 15, 0};
    return settings;
}

LoggerSettings multipleAlarm() {
    LoggerSettings settings = base();
    settings.alarm.kind = AlarmChoice::Multiple;
    levelOf(settings, Threshold::L1) = AlarmLevel{{true, 9999}, AlarmMode::Single, {23, 59, 59}};
    levelOf(settings, Threshold::H1) = AlarmLevel{{false, 9999}, AlarmMode::Cumulative, {}};
    levelOf(settings, Threshold::H2) = AlarmLevel{{false, 3000}, AlarmMode::Single, {}};
    return settings;
}

using Change = std::function<void(LoggerSettings&)>;

struct ValidationCase {
    const char* name;
    LoggerSettings (*from)();
    Change change;
    Texts problems;
    Change reported = nullptr; // set: the logger reported the settings it makes
};

void PrintTo(const ValidationCase& c, std::ostream* os) {
    *os << c.name;
}

void nothing(LoggerSettings&) {}

const ValidationCase kCases[] = {
    {"BaseIsValid", base, nothing, {}},
    {"MultipleAlarmAtItsLimitsIsValid", multipleAlarm, nothing, {}},
    {"SerialOfEight",
     base,
     [](LoggerSettings& s) { s.serialNumber = "KV202400"; },
     {"serial_number: 'KV202400' is not 9 letters or digits"}},
    {"SerialWithOtherCharacters",
     base,
     [](LoggerSettings& s) { s.serialNumber = "KV-2024\x01\xE9"; },
     {"serial_number: 'KV-2024\\x01\\xE9' is not 9 letters or digits"}},
    {"UnnamedStopMode",
     base,
     [](LoggerSettings& s) { s.stopMode = Coded<StopMode>::Unnamed(5); },
     {"stop_mode: unknown code 5 (accepted only as the logger holds it)"}},
    {"ZoneOfFortyFiveMinutes",
     base,
     [](LoggerSettings& s) { s.timeZone = 345; },
     {"time_zone: UTC+05:45 is out of range (hours 00-14, minutes 00 or 30)"}},
    {"ZoneBeyondFourteenHours",
     base,
     [](LoggerSettings& s) { s.timeZone = -870; },
     {"time_zone: UTC-14:30 is out of range (hours 00-14, minutes 00 or 30)"}},
    {"EastmostAndWestmostZonesAreValid", base, [](LoggerSettings& s) { s.timeZone = -840; }, {}},
    {"ZoneMinusZero",
     base,
     [](LoggerSettings& s) {
         s.timeZone = TimeZoneSetting::Unnamed({1, 0, 0});
     },
     {"time_zone: unknown bytes 01 00 00 (accepted only as the logger holds them)"}},
    {"LogSecondsNotInTens",
     base,
     [](LoggerSettings& s) {
         s.logInterval = {0, 15, 15};
     },
     {"log_interval: 00:15:15 is out of range (hours 0-23, minutes 0-60, seconds 0, 10, 20, 30, "
      "40 or 50)"}},
    {"LogMinutesOf60AreValid",
     base,
     [](LoggerSettings& s) {
         s.logInterval = {23, 60, 50};
     },
     {}},
    {"LogMinutesOf61",
     base,
     [](LoggerSettings& s) {
         s.logInterval = {0, 61, 0};
     },
     {"log_interval: 00:61:00 is out of range (hours 0-23, minutes 0-60, seconds 0, 10, 20, 30, "
      "40 or 50)"}},
    {"DelayOf60Minutes",
     base,
     [](LoggerSettings& s) {
         s.start.mode = StartMode::Delayed;
         s.start.delay = {2, 60};
     },
     {"start.delay: 02:60 is out of range (hours 0-23, minutes 0-59)"}},
    {"DelayUnusedRightNow",
     base,
     [](LoggerSettings& s) {
         s.start.delay = {99, 99};
     },
     {}},
    {"StartIn2100",
     base,
     [](LoggerSettings& s) {
         s.start.mode = StartMode::Timing;
         s.start.at = {2100, 1, 1, 0, 0, 0};
     },
     {"start.at: 2100-01-01T00:00:00 is out of range (years 2000-2099, months 1-12, days 1-31, "
      "hours 0-23, minutes and seconds 0-59)"}},
    {"StartOnDay0",
     base,
     [](LoggerSettings& s) {
         s.start.mode = StartMode::Timing;
         s.start.at = {2099, 12, 0, 23, 59, 59};
     },
     {"start.at: 2099-12-00T23:59:59 is out of range (years 2000-2099, months 1-12, days 1-31, "
      "hours 0-23, minutes and seconds 0-59)"}},
    {"StartAtSecond75",
     base,
     [](LoggerSettings& s) {
         s.start.mode = StartMode::Timing;
         s.start.at = {2025, 6, 1, 12, 0, 75};
     },
     {"start.at: 2025-06-01T12:00:75 is out of range (years 2000-2099, months 1-12, days 1-31, "
      "hours 0-23, minutes and seconds 0-59)"}},
    {"CalibrationAbove255",
     base,
     [](LoggerSettings& s) {
         s.calibration.temperature = Decimal{false, 25600};
     },
     {"calibration.temperature: 256 is out of range: must be at most 255.99"}},
    {"CalibrationBelowMinus255",
     base,
     [](LoggerSettings& s) {
         s.calibration.humidity = Decimal{true, 30050};
     },
     {"calibration.humidity: -300.5 is out of range: must be at least -255.99"}},
    {"CalibrationHundredthsByte150",
     base,
     [](LoggerSettings& s) {
         s.calibration.temperature = DecimalSetting::Unnamed({0, 25, 150});
     },
     {"calibration.temperature: unknown bytes 00 19 96 (accepted only as the logger holds them)"}},
    {"PasswordOfFive",
     base,
     [](LoggerSettings& s) { s.password = "abc12"; },
     {"password: 'abc12' is not 6 letters or digits"}},
    {"TripOf101Bytes",
     base,
     [](LoggerSettings& s) { s.tripInformation = std::string(101, 'x'); },
     {"trip_information: 101 bytes is too long (at most 100)"}},
    {"TripWithAZeroByte",
     base,
     [](LoggerSettings& s) { s.tripInformation = std::string("ab\0cd", 5); },
     {"trip_information: a zero byte would end the text there"}},
    {"SingleAlarmHighOf300",
     base,
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         s.alarm.high = Decimal{false, 30000};
     },
     {"alarm.high: 300 is out of range: must be at most 255.99"}},
    {"LevelLimitOf300",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
     },
     {"alarm.levels.temperature_high_2.limit: 300 is out of range: must be at most 99.99"}},
    {"LevelDelayOf24Hours",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::L1) = AlarmLevel{{false, 100}, AlarmMode::Single, {24, 0, 0}};
     },
     {"alarm.levels.temperature_low_1.delay: 24:00:00 is out of range (hours 0-23, minutes and "
      "seconds 0-59)"}},
    {"MultipleAlarmWithoutL1",
     multipleAlarm,
     [](LoggerSettings& s) { levelOf(s, Threshold::L1).reset(); },
     {"alarm.levels.temperature_low_1: required with a multiple alarm"}},
    {"UnnamedLevel",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::HumidityL1) = LevelSetting::Unnamed({0, 1, 2, 9, 0, 0, 0});
     },
     {"alarm.levels.humidity_low_1: unknown bytes 00 01 02 09 00 00 00 (accepted only as the "
      "logger holds them)"}},
    {"LevelsUnusedWithSingleAlarm",
     multipleAlarm,
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
     },
     {}},
    {"EveryProblemInFileOrder",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H1).reset();
         s.password = "abc";
         s.serialNumber = "";
     },
     {"serial_number: '' is not 9 letters or digits", "password: 'abc' is not 6 letters or digits",
      "alarm.levels.temperature_high_1: required with a multiple alarm"}},

    // What the logger itself reported may be saved back, and only that.
    {"ReportedUnnamedStopMode",
     base,
     [](LoggerSettings& s) { s.stopMode = Coded<StopMode>::Unnamed(5); },
     {},
     [](LoggerSettings& s) { s.stopMode = Coded<StopMode>::Unnamed(5); }},
    {"OtherThanTheReportedStopMode",
     base,
     [](LoggerSettings& s) { s.stopMode = Coded<StopMode>::Unnamed(6); },
     {"stop_mode: unknown code 6 (accepted only as the logger holds it)"},
     [](LoggerSettings& s) { s.stopMode = Coded<StopMode>::Unnamed(5); }},
    {"ReportedSerialNumber",
     base,
     [](LoggerSettings& s) { s.serialNumber = "KV 2024-7"; },
     {},
     [](LoggerSettings& s) { s.serialNumber = "KV 2024-7"; }},
    {"SingleAlarmLowAboveHigh",
     base,
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         s.alarm.low = Decimal{false, 3000};
         s.alarm.high = Decimal{false, 2050};
     },
     {"alarm.low: 30 is above the high limit 20.5: the low limit must be at most the high one"}},
    {"SingleAlarmLowAboveHighHeldByTheLogger",
     base,
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         s.alarm.low = Decimal{false, 3000};
         s.alarm.high = Decimal{false, 2050};
     },
     {},
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         s.alarm.low = Decimal{false, 3000};
         s.alarm.high = Decimal{false, 2050};
     }},
    {"SingleAlarmLowAboveANewHigh",
     base,
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         s.alarm.low = Decimal{false, 3000};
         s.alarm.high = Decimal{false, 1000};
     },
     {"alarm.low: 30 is above the high limit 10: the low limit must be at most the high one"},
     [](LoggerSettings& s) {
         s.alarm.kind = AlarmChoice::Single;
         s.alarm.low = Decimal{false, 3000};
         s.alarm.high = Decimal{false, 2050};
     }},
    {"ReportedZone",
     base,
     [](LoggerSettings& s) { s.timeZone = 345; },
     {},
     [](LoggerSettings& s) { s.timeZone = 345; }},
    {"ReportedLevelLimit",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Cumulative, {}};
     },
     {},
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
     }},
    {"OtherThanTheReportedLevelLimit",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30100}, AlarmMode::Single, {}};
     },
     {"alarm.levels.temperature_high_2.limit: 301 is out of range: must be at most 99.99"},
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
     }},
    {"ReportedForAnotherLevel",
     multipleAlarm,
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H3) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
     },
     {"alarm.levels.temperature_high_3.limit: 300 is out of range: must be at most 99.99"},
     [](LoggerSettings& s) {
         levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
     }},
};

// The one rule of a single alarm's limits, which the window's save uses too.
TEST(AlarmLimits, LowAboveHighCross) {
    const struct {
        Decimal low;
        Decimal high;
        bool cross;
    } cases[] = {
        {{false, 2000}, {false, 3000}, false},
        {{false, 2500}, {false, 2500}, false}, // equal: one point, allowed
        {{false, 2501}, {false, 2500}, true},
        {{true, 1000}, {true, 500}, false}, // -10 below -5
        {{true, 500}, {true, 1000}, true},  // -5 above -10
        {{false, 100}, {true, 100}, true},  // 1 above -1
        {{true, 0}, {false, 0}, false},     // -0 is 0
        {{false, 0}, {true, 0}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AlarmLimitsCross(c.low, c.high), c.cross)
            << DecimalText(c.low) << " " << DecimalText(c.high);
    }
    // A multiple alarm's levels are not a pair of this rule.
    LoggerSettings settings = multipleAlarm();
    levelOf(settings, Threshold::L1) = AlarmLevel{{false, 5000}, AlarmMode::Single, {}};
    EXPECT_TRUE(ValidateSettings(settings).empty());
}

// Without a logger to compare with, a problem waits for one only when some
// logger could hold the value: it fits the bytes a read reply carries.
TEST(AlarmLimits, OnlyValuesSomeLoggerCouldHoldWait) {
    const struct {
        const char* name;
        Change change;
        bool loggerMayHold;
    } cases[] = {
        {"serial number of 9 odd bytes", [](LoggerSettings& s) { s.serialNumber = "KV-2024-7"; },
         true},
        {"serial number of 3", [](LoggerSettings& s) { s.serialNumber = "KV2"; }, false},
        {"calibration 300",
         [](LoggerSettings& s) {
             s.calibration.temperature = Decimal{false, 30000};
         },
         false},
        {"log interval 25 h",
         [](LoggerSettings& s) {
             s.logInterval = {25, 0, 0};
         },
         true},
        {"start in 2150",
         [](LoggerSettings& s) {
             s.start.mode = StartMode::Timing;
             s.start.at = {2150, 1, 1, 0, 0, 0};
         },
         true},
        {"start in 2300",
         [](LoggerSettings& s) {
             s.start.mode = StartMode::Timing;
             s.start.at = {2300, 1, 1, 0, 0, 0};
         },
         false},
        {"trip of 101 bytes", [](LoggerSettings& s) { s.tripInformation = std::string(101, 'x'); },
         false},
        {"level limit 150",
         [](LoggerSettings& s) {
             s.alarm = multipleAlarm().alarm;
             levelOf(s, Threshold::H2) = AlarmLevel{{false, 15000}, AlarmMode::Single, {}};
         },
         true},
        {"level limit 300",
         [](LoggerSettings& s) {
             s.alarm = multipleAlarm().alarm;
             levelOf(s, Threshold::H2) = AlarmLevel{{false, 30000}, AlarmMode::Single, {}};
         },
         false},
    };
    for (const auto& c : cases) {
        LoggerSettings settings = base();
        c.change(settings);
        const std::vector<SettingsProblem> problems = ValidateSettings(settings);
        ASSERT_EQ(problems.size(), 1u) << c.name;
        EXPECT_EQ(problems.front().loggerMayHold, c.loggerMayHold) << c.name;
    }
}

class ValidateSettingsTest : public testing::TestWithParam<ValidationCase> {};

TEST_P(ValidateSettingsTest, NamesEachRefusedSetting) {
    const ValidationCase& c = GetParam();
    LoggerSettings settings = c.from();
    c.change(settings);
    std::optional<LoggerSettings> reported;
    if (c.reported) {
        reported = c.from();
        c.reported(*reported);
    }

    Texts texts;
    for (const SettingsProblem& problem :
         ValidateSettings(settings, reported ? &*reported : nullptr)) {
        texts.push_back(problem.Text());
    }
    EXPECT_EQ(texts, c.problems);
}

INSTANTIATE_TEST_SUITE_P(Settings, ValidateSettingsTest, testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvel::protocol
