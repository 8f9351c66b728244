#pragma once
// What a read reply's settings put into the parameter window: list indices, texts
// and decimal triples, one member per control. The window maps these onto its
// widgets and makes no decision of its own; the item orders are Catalogue.h's.
//
// Indices are positions in the window's lists and may lie outside a list's
// items (a start year of 2017 gives -1): the list then shows no selection.
// An empty optional means the setting holds bytes the list does not offer, and
// the control keeps what it showed before.

#include "protocol/LoggerSettings.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterBlock.h"

#include <array>
#include <optional>
#include <string>

namespace korvel::window {

// One row of the multiple-alarm panel.
struct ThresholdReading {
    bool present = false; // an optional level is off when its byte +0 is 0xFF
    protocol::DecimalTriple limit;
    int modeIndex = 0;             // 0 "Single", 1 "Cumulative"
    std::array<int, 3> delay = {}; // hours, minutes, seconds list indices
};

struct AlarmReading {
    protocol::AlarmChoice kind = protocol::AlarmChoice::None;
    // Single alarm only: the two limits of the single-alarm panel.
    protocol::DecimalTriple singleL1;
    protocol::DecimalTriple singleH1;
    // Multiple alarm only, indexed by Index(Threshold); L1 and H1 are always present.
    std::array<ThresholdReading, protocol::kThresholdCount> rows = {};
};

struct StartDelayReading {
    int hours = 0;
    int minutes = 0;
};

struct ControlValues {
    std::string serialNumber; // the 9 bytes, one character each (Latin-1)
    int logIntervalH = 0;
    int logIntervalM = 0;
    int logIntervalS = 0; // index of the seconds list: seconds / 10
    std::optional<int> stopMode;
    std::optional<int> startMode;
    // Set with start mode 1 ("Delayed") only.
    std::optional<StartDelayReading> startDelay;
    // Set with start mode 2 ("Timing") only: year, month, day, hour, minute, second indices.
    std::optional<std::array<int, 6>> startTime;
    std::optional<int> probeMode;
    std::optional<protocol::TemperatureUnit> unit;
    std::string timeZone; // e.g. "UTC-05:30"; may match no item of the list
    std::optional<int> cycleSwitch;
    protocol::DecimalTriple calibrationTemperature;
    protocol::DecimalTriple calibrationHumidity;
    std::optional<int> temporaryPdfStartup;
    std::optional<int> passwordStartup;
    // The 6 password characters (Latin-1), set exactly when password startup is 1.
    std::optional<std::string> password;
    // Bytes up to the first zero or 100 bytes, one character each; line breaks stay CR LF.
    std::string tripInfo;
    AlarmReading alarm;
};

// The controls' values for `settings` as DecodeSettings reads a reply (plain
// level bytes). Never fails.
ControlValues ControlValuesOf(const protocol::LoggerSettings& settings);

} // namespace korvel::window
