#include "protocol/ReadReply.h"

#include "protocol/TimeZone.h"

#include <algorithm>

namespace korvel::protocol {

namespace {

// The start-time year list begins at 2018.
constexpr int kFirstListedYear = 18;
constexpr int kLogSecondsStep = 10;
constexpr std::uint8_t kPasswordEnabled = 1;

std::string textAt(const Block& block, std::size_t at, std::size_t width) {
    return std::string(block.begin() + at, block.begin() + at + width);
}

DecimalTriple tripleAt(const Block& block, std::size_t at) {
    return {block[at], block[at + 1], block[at + 2]};
}

// A byte that stands for the first `count` indices of a list directly (0 -> 0, 1 -> 1).
std::optional<int> listedIndex(std::uint8_t byte, int count) {
    if (byte < count) {
        return byte;
    }
    return std::nullopt;
}

std::optional<int> stopModeIndex(std::uint8_t byte) {
    switch (byte) {
    case value::kStopByButton:
        return 0;
    case value::kStopBySoftware:
        return 1;
    case value::kStopByButtonOrSoftware:
        return 2;
    default:
        return std::nullopt;
    }
}

void decodeStart(const Block& block, ReadReply& reply) {
    const std::uint8_t mode = block[offset::kStartMode];
    if (mode == value::kStartRightNow) {
        reply.startMode = 0;
    } else if (mode == value::kStartDelayed) {
        reply.startMode = 1;
        reply.startDelay =
            StartDelayReading{block[offset::kStartHour], block[offset::kStartMinute]};
    } else if (mode == value::kStartTiming) {
        reply.startMode = 2;
        reply.startTime = std::array<int, 6>{
            block[offset::kStartYear] - kFirstListedYear,
            block[offset::kStartMonth] - 1,
            block[offset::kStartDay] - 1,
            block[offset::kStartHour],
            block[offset::kStartMinute],
            block[offset::kStartSecond],
        };
    }
}

std::optional<TemperatureUnit> unitOf(std::uint8_t byte) {
    switch (byte) {
    case 0:
        return TemperatureUnit::Celsius;
    case 1:
        return TemperatureUnit::Fahrenheit;
    default:
        return std::nullopt;
    }
}

std::string tripInfoOf(const Block& block) {
    const auto begin = block.begin() + offset::kTripInfo;
    const auto end = std::find(begin, begin + width::kTripInfo, 0);
    return std::string(begin, end);
}

ThresholdReading thresholdAt(const Block& block, std::size_t at) {
    ThresholdReading row;
    row.present = true;
    row.limit = tripleAt(block, at);
    row.modeIndex = block[at + level::kMode] == 0 ? 0 : 1;
    row.delay = {block[at + level::kDelayHours], block[at + level::kDelayMinutes],
                 block[at + level::kDelaySeconds]};
    return row;
}

bool isSwitchedOff(const Block& block, Threshold threshold) {
    return block[ThresholdOffset(threshold)] == level::kDisabled;
}

AlarmReading alarmOf(const Block& block) {
    AlarmReading alarm;
    if (block[offset::kAlarmSwitch] == value::kAlarmOff) {
        return alarm;
    }
    const Threshold optional[] = {Threshold::L2, Threshold::H2, Threshold::H3,
                                  Threshold::HumidityL1, Threshold::HumidityH1};
    const bool allOptionalOff = std::all_of(std::begin(optional), std::end(optional),
                                            [&](Threshold t) { return isSwitchedOff(block, t); });
    if (allOptionalOff) {
        alarm.kind = AlarmChoice::Single;
        alarm.singleL1 = tripleAt(block, offset::kTemperatureL1);
        alarm.singleH1 = tripleAt(block, offset::kTemperatureH1);
        return alarm;
    }
    alarm.kind = AlarmChoice::Multiple;
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        if (!IsOptional(threshold) || !isSwitchedOff(block, threshold)) {
            alarm.rows[i] = thresholdAt(block, ThresholdOffset(threshold));
        }
    }
    return alarm;
}

} // namespace

ReadReply DecodeReadReply(const Block& block) {
    ReadReply reply;
    reply.serialNumber = textAt(block, offset::kSerialNumber, width::kSerialNumber);
    reply.logIntervalH = block[offset::kLogIntervalH];
    reply.logIntervalM = block[offset::kLogIntervalM];
    reply.logIntervalS = block[offset::kLogIntervalS] / kLogSecondsStep;
    reply.stopMode = stopModeIndex(block[offset::kStopMode]);
    decodeStart(block, reply);
    reply.probeMode = listedIndex(block[offset::kProbeMode], 2);
    reply.unit = unitOf(block[offset::kTemperatureUnit]);
    reply.timeZone = TimeZoneText({block[offset::kTimeZoneSign], block[offset::kTimeZoneHours],
                                   block[offset::kTimeZoneMinutes]});
    reply.cycleSwitch = listedIndex(block[offset::kCycleSwitch], 2);
    reply.calibrationTemperature = tripleAt(block, offset::kCalibrationTemperature);
    reply.calibrationHumidity = tripleAt(block, offset::kCalibrationHumidity);
    reply.temporaryPdfStartup = listedIndex(block[offset::kTemporaryPdfStartup], 2);
    reply.passwordStartup = listedIndex(block[offset::kPasswordStartup], 2);
    if (block[offset::kPasswordStartup] == kPasswordEnabled) {
        reply.password = textAt(block, offset::kPassword, width::kPassword);
    }
    reply.tripInfo = tripInfoOf(block);
    reply.alarm = alarmOf(block);
    return reply;
}

} // namespace korvel::protocol
