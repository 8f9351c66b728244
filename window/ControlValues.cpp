#include "window/ControlValues.h"

#include "protocol/SettingsCodec.h"
#include "protocol/TimeZone.h"
#include "window/Catalogue.h"

namespace korvel::window {
namespace {

using protocol::Coded;
using protocol::DecimalTriple;

template <typename T, std::size_t N>
std::optional<int> indexOf(const std::array<catalogue::Item<T>, N>& items, const Coded<T>& choice) {
    if (const T* value = choice.get()) {
        return catalogue::IndexOf(items, *value);
    }
    return std::nullopt;
}

// The triple as the reply carried it: a named value keeps its sign, so "-0.00"
// reads back as typed; unnamed bytes are shown as they are.
DecimalTriple tripleOf(const protocol::Decimal& number) {
    return {static_cast<std::uint8_t>(number.negative ? protocol::value::kMinus
                                                      : protocol::value::kPlus),
            static_cast<std::uint8_t>(number.integerPart()),
            static_cast<std::uint8_t>(number.fractionPart())};
}

DecimalTriple tripleOf(const protocol::DecimalSetting& setting) {
    if (const DecimalTriple* reported = setting.unnamed()) {
        return *reported;
    }
    return tripleOf(setting.value());
}

std::array<int, 6> dateTimeIndices(const protocol::DateTime& time) {
    return {time.year - kFirstListYear,
            time.month - 1,
            time.day - 1,
            time.hour,
            time.minute,
            time.second};
}

// A level's row. Unnamed bytes are shown as plain numbers, the mode byte 0 as
// "Single" and any other as "Cumulative".
ThresholdReading rowOf(const protocol::LevelSetting& setting) {
    ThresholdReading row;
    row.present = true;
    if (const protocol::LevelBytes* bytes = setting.unnamed()) {
        namespace level = protocol::level;
        row.limit = {(*bytes)[level::kSign], (*bytes)[level::kInteger],
                     (*bytes)[level::kHundredths]};
        row.modeIndex = (*bytes)[level::kMode] == protocol::value::kAlarmModeSingle ? 0 : 1;
        row.delay = {(*bytes)[level::kDelayHours], (*bytes)[level::kDelayMinutes],
                     (*bytes)[level::kDelaySeconds]};
        return row;
    }
    const protocol::AlarmLevel& alarmLevel = setting.value();
    row.limit = tripleOf(alarmLevel.limit);
    row.modeIndex = catalogue::IndexOf(catalogue::kAlarmModes, alarmLevel.mode);
    row.delay = {alarmLevel.delay.hours, alarmLevel.delay.minutes, alarmLevel.delay.seconds};
    return row;
}

AlarmReading alarmOf(const protocol::Alarm& alarm) {
    AlarmReading reading;
    reading.kind = alarm.kind;
    if (alarm.kind == protocol::AlarmChoice::Single) {
        reading.singleL1 = tripleOf(alarm.low);
        reading.singleH1 = tripleOf(alarm.high);
    } else if (alarm.kind == protocol::AlarmChoice::Multiple) {
        for (std::size_t i = 0; i < protocol::kThresholdCount; ++i) {
            if (alarm.levels[i]) {
                reading.rows[i] = rowOf(*alarm.levels[i]);
            }
        }
    }
    return reading;
}

} // namespace

ControlValues ControlValuesOf(const protocol::LoggerSettings& settings) {
    ControlValues values;
    values.serialNumber = settings.serialNumber;
    values.logIntervalH = settings.logInterval.hours;
    values.logIntervalM = settings.logInterval.minutes;
    values.logIntervalS = settings.logInterval.seconds / kLogSecondsStep;
    values.stopMode = indexOf(catalogue::kStopModes, settings.stopMode);
    values.startMode = indexOf(catalogue::kStartModes, settings.start.mode);
    if (settings.start.mode == protocol::StartMode::Delayed) {
        values.startDelay =
            StartDelayReading{settings.start.delay.hours, settings.start.delay.minutes};
    } else if (settings.start.mode == protocol::StartMode::Timing) {
        values.startTime = dateTimeIndices(settings.start.at);
    }
    values.probeMode = indexOf(catalogue::kProbeModes, settings.probeMode);
    if (const protocol::TemperatureUnit* unit = settings.temperatureUnit.get()) {
        values.unit = *unit;
    }
    const protocol::TimeZoneSetting& zone = settings.timeZone;
    values.timeZone = protocol::TimeZoneText(zone.named() ? protocol::TimeZoneBytesOf(zone.value())
                                                          : *zone.unnamed());
    values.cycleSwitch = indexOf(catalogue::kCycleSwitches, settings.cycleSwitch);
    values.calibrationTemperature = tripleOf(settings.calibration.temperature);
    values.calibrationHumidity = tripleOf(settings.calibration.humidity);
    values.temporaryPdfStartup = indexOf(catalogue::kStartups, settings.temporaryPdf);
    if (const std::optional<std::string>* password = settings.password.get()) {
        values.passwordStartup = catalogue::IndexOf(catalogue::kStartups, password->has_value());
        values.password = *password;
    }
    values.tripInfo = settings.tripInformation;
    values.alarm = alarmOf(settings.alarm);
    return values;
}

} // namespace korvel::window
