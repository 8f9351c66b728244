#pragma once
// The ranges the logger takes, checked on LoggerSettings before anything is
// encoded. Problems name the setting by its key path in settings files.

#include "protocol/LoggerSettings.h"
#include "protocol/SettingKeys.h"

#include <string>
#include <vector>

namespace korvel::protocol {

struct SettingsProblem {
    SettingKey setting; // the setting the problem is in
    std::string key;    // its key path, or one below it: "alarm.levels.temperature_high_2.limit"
    // the value and the allowed range: "300 is out of range: must be at most 99.99"
    std::string message;
    // Whether some logger could hold this value (it fits the bytes that carry
    // it). One that holds it accepts it, so without a logger to compare with
    // such a problem waits for the read; any other is wrong for every logger.
    bool loggerMayHold = true;

    // "<key>: <message>"
    std::string Text() const;
    friend bool operator==(const SettingsProblem&, const SettingsProblem&) = default;
};

// Every setting that the logger does not take, in the order of the settings
// file; empty when all are acceptable. Settings that the chosen modes leave
// unused are not checked (the start delay unless Delayed, the password while
// password startup is off, the alarm parts of other alarm kinds).
//
// The ranges: serial number 9 letters or digits; log interval hours 0-23,
// minutes 0-60, seconds a multiple of 10 up to 50; start delay 23:59; start time
// in the years 2000-2099 (value::kYearBase to value::kYearLast); time zone hours 0-14 with minutes
// 0 or 30; calibrations and single-alarm limits with an integer part of at most 255, a
// multiple-alarm limit at most 99 (packed BCD); alarm delays 23:59:59; password
// 6 letters or digits; trip information at most 100 bytes with no zero byte;
// with a multiple alarm, levels L1 and H1 on; with a single alarm, the low limit
// at most the high limit (AlarmLimitsCross).
//
// A value outside these, or an unnamed one, is accepted when it equals the same
// setting in `reported` (the settings read from the logger), so that what a
// logger reported can be saved back unchanged.
// The one rule of a single alarm's two limits, for the settings file and the
// window's save alike: a low limit above the high one would sound the alarm at
// every reading.
bool AlarmLimitsCross(const Decimal& low, const Decimal& high);

std::vector<SettingsProblem> ValidateSettings(const LoggerSettings& settings,
                                              const LoggerSettings* reported = nullptr);

} // namespace korvel::protocol
