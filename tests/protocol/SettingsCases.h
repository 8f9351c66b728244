#pragma once
// Settings cases shared by the codec's tests and the window's save tests: each
// names settings and whether a frame carries them back unchanged.

#include "protocol/SettingsCodec.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>

namespace korvel::protocol::testing_cases {

inline const DateTime kClock{2024, 3, 9, 14, 5, 7};

// A previous frame in which every kept byte is recognisable.
inline Block patterned() {
    Block block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return block;
}

// "offset 23: 01 != 02" for every byte that differs; empty when none does.
inline std::string differences(const Block& actual, const Block& expected) {
    std::string text;
    char line[48];
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            std::snprintf(line, sizeof line, "offset %zu: %02X != %02X\n", i, actual[i],
                          expected[i]);
            text += line;
        }
    }
    return text;
}

inline void put(Block& block, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + at);
}

inline LevelSetting level(Decimal limit, AlarmMode mode = AlarmMode::Single, Duration delay = {}) {
    return AlarmLevel{limit, mode, delay};
}

inline std::optional<LevelSetting>& levelOf(LoggerSettings& settings, Threshold threshold) {
    return settings.alarm.levels[Index(threshold)];
}

inline LoggerSettings base() {
    LoggerSettings settings;
    settings.serialNumber = "KV2024007";
    settings.timeZone = 60;
    settings.logInterval = {0, 15, 0};
    return settings;
}

inline LoggerSettings multipleAlarm() {
    LoggerSettings settings = base();
    settings.alarm.kind = AlarmChoice::Multiple;
    levelOf(settings, Threshold::L1) = level({false, 200}, AlarmMode::Single, {0, 10, 5});
    levelOf(settings, Threshold::H1) = level({false, 2550}, AlarmMode::Cumulative, {1, 0, 0});
    levelOf(settings, Threshold::HumidityL1) = level({false, 3000});
    return settings;
}

struct FrameCase {
    const char* name;
    std::function<LoggerSettings()> settings;
    bool readsBack; // false where the frame cannot carry the settings
};

inline void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

inline std::function<LoggerSettings()> with(LoggerSettings (*from)(),
                                            std::function<void(LoggerSettings&)> change) {
    return [from, change] {
        LoggerSettings settings = from();
        change(settings);
        return settings;
    };
}

inline const FrameCase kFrameCases[] = {
    {"Base", base, true},
    {"RightNowWithStaleDelayAndTime",
     with(base,
          [](LoggerSettings& s) {
              s.start.delay = {5, 30};
              s.start.at = {2025, 6, 7, 8, 9, 10};
          }),
     true},
    {"Delayed",
     with(base,
          [](LoggerSettings& s) {
              s.start.mode = StartMode::Delayed;
              s.start.delay = {2, 15};
              s.start.at = {2025, 6, 7, 8, 9, 10};
          }),
     true},
    {"TimingLastListedYear",
     with(base,
          [](LoggerSettings& s) {
              s.start.mode = StartMode::Timing;
              s.start.delay = {5, 30};
              s.start.at = {2027, 12, 31, 23, 59, 59};
          }),
     true},
    {"TimingFirstListedYear",
     with(base,
          [](LoggerSettings& s) {
              s.start.mode = StartMode::Timing;
              s.start.at = {2018, 1, 1, 0, 0, 0};
          }),
     true},
    {"SecondChoices",
     with(base,
          [](LoggerSettings& s) {
              s.stopMode = StopMode::Software;
              s.probeMode = ProbeMode::External;
              s.temperatureUnit = TemperatureUnit::Fahrenheit;
              s.cycleSwitch = CycleSwitch::Closed;
              s.temporaryPdf = true;
          }),
     true},
    {"StopByButtonOrSoftware",
     with(base, [](LoggerSettings& s) { s.stopMode = StopMode::ButtonOrSoftware; }), true},
    {"WestmostZone", with(base, [](LoggerSettings& s) { s.timeZone = -720; }), true},
    {"EastmostZone", with(base, [](LoggerSettings& s) { s.timeZone = 840; }), true},
    {"HalfHourBeforeUtc", with(base, [](LoggerSettings& s) { s.timeZone = -30; }), true},
    {"LongestLogInterval",
     with(base,
          [](LoggerSettings& s) {
              s.logInterval = {23, 60, 50};
          }),
     true},
    {"LargestCalibrations",
     with(base,
          [](LoggerSettings& s) {
              s.calibration.temperature = Decimal{true, 25599};
              s.calibration.humidity = Decimal{false, 25599};
          }),
     true},
    // Written with sign 0, as the window writes "-0".
    {"NegativeZeroCalibrations",
     with(base,
          [](LoggerSettings& s) {
              s.calibration.temperature = Decimal{true, 0};
              s.calibration.humidity = Decimal{true, 0};
          }),
     false},
    {"PasswordOn", with(base, [](LoggerSettings& s) { s.password = "abc123"; }), true},
    {"TripWithLineBreaksAndLatin1",
     with(base, [](LoggerSettings& s) { s.tripInformation = "Line one\r\nLine two\r\n\xE9t\xE9"; }),
     true},
    {"TripOf100Bytes",
     with(base, [](LoggerSettings& s) { s.tripInformation = std::string(100, 'x'); }), true},
    {"SingleAlarm",
     with(base,
          [](LoggerSettings& s) {
              s.alarm.kind = AlarmChoice::Single;
              s.alarm.low = Decimal{true, 1000};
              s.alarm.high = Decimal{false, 3005};
          }),
     true},
    {"SingleAlarmLargest",
     with(base,
          [](LoggerSettings& s) {
              s.alarm.kind = AlarmChoice::Single;
              s.alarm.low = Decimal{true, 25599};
              s.alarm.high = Decimal{false, 25599};
          }),
     true},
    {"SingleAlarmNegativeZero",
     with(base,
          [](LoggerSettings& s) {
              s.alarm.kind = AlarmChoice::Single;
              s.alarm.low = Decimal{true, 0};
          }),
     false},
    {"MultipleAlarmSomeLevels", multipleAlarm, true},
    {"MultipleAlarmEveryLevelLargest",
     with(multipleAlarm,
          [](LoggerSettings& s) {
              for (auto& l : s.alarm.levels) {
                  l = level({true, 9999}, AlarmMode::Cumulative, {23, 59, 59});
              }
              levelOf(s, Threshold::H3) = level({false, 9999}, AlarmMode::Single);
          }),
     true},
    {"MultipleAlarmNegativeZeroLevel",
     with(multipleAlarm,
          [](LoggerSettings& s) {
              levelOf(s, Threshold::L1) = level({true, 0});
          }),
     false},
    // Every optional level off reads back as a single alarm.
    {"MultipleAlarmRequiredLevelsOnly",
     with(multipleAlarm, [](LoggerSettings& s) { levelOf(s, Threshold::HumidityL1).reset(); }),
     false},
    {"NoAlarmWithStaleLimits",
     with(multipleAlarm,
          [](LoggerSettings& s) {
              s.alarm.kind = AlarmChoice::None;
              s.alarm.low = Decimal{false, 100};
          }),
     true},
};

} // namespace korvel::protocol::testing_cases
