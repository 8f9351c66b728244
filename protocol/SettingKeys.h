#pragma once
// The fourteen settings by name: one row each, with the key path a settings
// file gives it and the names of its choices. The settings-file reader and
// writer, validation, the change lines and the window all go through this
// table, so a new setting is one row here and one member of LoggerSettings.

#include "protocol/LoggerSettings.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace korvel::protocol {

// In the order of the settings file.
enum class SettingKey {
    SerialNumber,
    TemperatureUnit,
    TimeZone,
    LogInterval,
    Start,
    StopMode,
    ProbeMode,
    CycleSwitch,
    CalibrationTemperature,
    CalibrationHumidity,
    TemporaryPdf,
    Password,
    TripInformation,
    Alarm,
};
inline constexpr std::size_t kSettingCount = 14;

// The names a file gives a choice, indexed by the choice's enum value.
inline constexpr std::array<std::string_view, 2> kUnitNames = {"C", "F"};
inline constexpr std::array<std::string_view, 3> kStartNames = {"now", "delayed", "timed"};
inline constexpr std::array<std::string_view, 3> kStopNames = {"button", "software",
                                                               "button_or_software"};
inline constexpr std::array<std::string_view, 2> kProbeNames = {"internal", "external"};
inline constexpr std::array<std::string_view, 2> kCycleNames = {"opened", "closed"};
inline constexpr std::array<std::string_view, 3> kAlarmNames = {"none", "single", "multiple"};
// An alarm level's mode, a choice inside the alarm setting.
inline constexpr std::array<std::string_view, 2> kAlarmModeNames = {"single", "cumulative"};

struct SettingRow {
    SettingKey key;
    std::string_view path;    // "calibration.temperature"
    std::string_view section; // the object the key sits in ("calibration"), or empty
    std::string_view name;    // the key inside it ("temperature")
    // The names of the choices; for Start its mode, for Alarm its type. Empty
    // for a setting that is not a choice.
    std::span<const std::string_view> choices;
    // A secret (the password): reports, change lines and traces say whether it
    // changed, never what it is.
    bool secret = false;
};

inline constexpr std::array<SettingRow, kSettingCount> kSettingTable = {{
    {SettingKey::SerialNumber, "serial_number", "", "serial_number", {}},
    {SettingKey::TemperatureUnit, "temperature_unit", "", "temperature_unit", kUnitNames},
    {SettingKey::TimeZone, "time_zone", "", "time_zone", {}},
    {SettingKey::LogInterval, "log_interval", "", "log_interval", {}},
    {SettingKey::Start, "start", "", "start", kStartNames},
    {SettingKey::StopMode, "stop_mode", "", "stop_mode", kStopNames},
    {SettingKey::ProbeMode, "probe_mode", "", "probe_mode", kProbeNames},
    {SettingKey::CycleSwitch, "cycle_switch", "", "cycle_switch", kCycleNames},
    {SettingKey::CalibrationTemperature,
     "calibration.temperature",
     "calibration",
     "temperature",
     {}},
    {SettingKey::CalibrationHumidity, "calibration.humidity", "calibration", "humidity", {}},
    {SettingKey::TemporaryPdf, "temporary_pdf", "", "temporary_pdf", {}},
    {SettingKey::Password, "password", "", "password", {}, true},
    {SettingKey::TripInformation, "trip_information", "", "trip_information", {}},
    {SettingKey::Alarm, "alarm", "", "alarm", kAlarmNames},
}};

// RowOf finds a row by its key's value.
static_assert(
    [] {
        for (std::size_t i = 0; i < kSettingTable.size(); ++i) {
            if (static_cast<std::size_t>(kSettingTable[i].key) != i) {
                return false;
            }
        }
        return true;
    }(),
    "the rows of kSettingTable follow the order of SettingKey");

constexpr const SettingRow& RowOf(SettingKey key) {
    return kSettingTable[static_cast<std::size_t>(key)];
}

constexpr std::string_view KeyPath(SettingKey key) {
    return RowOf(key).path;
}

constexpr bool IsSecret(SettingKey key) {
    return RowOf(key).secret;
}

// Whether a key path ("password", or one inside a secret setting) is a
// secret's value.
constexpr bool IsSecretPath(std::string_view path) {
    for (const SettingRow& row : kSettingTable) {
        if (row.secret && path.starts_with(row.path) &&
            (path.size() == row.path.size() || path[row.path.size()] == '.')) {
            return true;
        }
    }
    return false;
}

// The name of a choice's value, for the enums the table names.
template <typename T>
constexpr std::string_view ChoiceName(T value, std::span<const std::string_view> names) {
    return names[static_cast<std::size_t>(value)];
}

// The value a choice's name stands for; empty for a name not in `names`.
template <typename T>
constexpr std::optional<T> ChoiceNamed(std::string_view name,
                                       std::span<const std::string_view> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<T>(i);
        }
    }
    return std::nullopt;
}

// A set of settings: those a file gives, or those a window's controls show.
class SettingKeys {
public:
    SettingKeys() = default;
    static SettingKeys All() {
        SettingKeys keys;
        keys.bits_.set();
        return keys;
    }
    bool Has(SettingKey key) const { return bits_.test(static_cast<std::size_t>(key)); }
    void Add(SettingKey key) { bits_.set(static_cast<std::size_t>(key)); }
    bool Empty() const { return bits_.none(); }
    friend bool operator==(const SettingKeys&, const SettingKeys&) = default;

private:
    std::bitset<kSettingCount> bits_;
};

// Copies the one setting `key` names from `from` into `into`.
void CopySetting(SettingKey key, const LoggerSettings& from, LoggerSettings& into);

} // namespace korvel::protocol
