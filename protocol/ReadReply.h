#pragma once
// What a read reply puts into the parameter window: list indices, texts and
// decimal triples, one member per control. The window maps these onto its
// widgets and makes no byte decision of its own.
//
// Indices are positions in the window's lists and may lie outside a list's
// items (a start year byte of 17 gives -1): the list then shows no selection.
// An empty optional means the byte held a value the list does not offer, and the
// control keeps what it showed before.

#include "protocol/LoggerSettings.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterBlock.h"

#include <array>
#include <optional>
#include <string>

namespace korvel::protocol {

// One row of the multiple-alarm panel.
struct ThresholdReading {
    bool present = false; // an optional level is off when its byte +0 is 0xFF
    DecimalTriple limit;
    int modeIndex = 0;             // 0 "Single", 1 "Cumulative"
    std::array<int, 3> delay = {}; // hours, minutes, seconds list indices
};

struct AlarmReading {
    AlarmChoice kind = AlarmChoice::None;
    // Single alarm only: the two limits of the single-alarm panel.
    DecimalTriple singleL1;
    DecimalTriple singleH1;
    // Multiple alarm only, indexed by Index(Threshold); L1 and H1 are always present.
    std::array<ThresholdReading, kThresholdCount> rows = {};
};

struct StartDelayReading {
    int hours = 0;
    int minutes = 0;
};

struct ReadReply {
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
    std::optional<TemperatureUnit> unit;
    std::string timeZone; // e.g. "UTC-05:30"; may match no item of the list
    std::optional<int> cycleSwitch;
    DecimalTriple calibrationTemperature;
    DecimalTriple calibrationHumidity;
    std::optional<int> temporaryPdfStartup;
    std::optional<int> passwordStartup;
    // The 6 password characters (Latin-1), set exactly when password startup is 1.
    std::optional<std::string> password;
    // Bytes up to the first zero or 100 bytes, one character each; line breaks stay CR LF.
    std::string tripInfo;
    AlarmReading alarm;
};

// Decodes the parameter block of a read reply. Reads every byte as a plain
// unsigned number; never fails (any byte pattern yields a ReadReply). The envelope
// and the command code are the caller's to check.
ReadReply DecodeReadReply(const Block& block);

} // namespace korvel::protocol
