#include "protocol/SettingKeys.h"

namespace korvel::protocol {

void CopySetting(SettingKey key, const LoggerSettings& from, LoggerSettings& into) {
    switch (key) {
    case SettingKey::SerialNumber:
        into.serialNumber = from.serialNumber;
        return;
    case SettingKey::TemperatureUnit:
        into.temperatureUnit = from.temperatureUnit;
        return;
    case SettingKey::TimeZone:
        into.timeZone = from.timeZone;
        return;
    case SettingKey::LogInterval:
        into.logInterval = from.logInterval;
        return;
    case SettingKey::Start:
        into.start = from.start;
        return;
    case SettingKey::StopMode:
        into.stopMode = from.stopMode;
        return;
    case SettingKey::ProbeMode:
        into.probeMode = from.probeMode;
        return;
    case SettingKey::CycleSwitch:
        into.cycleSwitch = from.cycleSwitch;
        return;
    case SettingKey::CalibrationTemperature:
        into.calibration.temperature = from.calibration.temperature;
        return;
    case SettingKey::CalibrationHumidity:
        into.calibration.humidity = from.calibration.humidity;
        return;
    case SettingKey::TemporaryPdf:
        into.temporaryPdf = from.temporaryPdf;
        return;
    case SettingKey::Password:
        into.password = from.password;
        return;
    case SettingKey::TripInformation:
        into.tripInformation = from.tripInformation;
        return;
    case SettingKey::Alarm:
        into.alarm = from.alarm;
        return;
    }
}

} // namespace korvel::protocol
