#pragma once
// The logger's settings as plain values: what the parameter block means, with no
// list index, control text or byte offset in it. SettingsCodec.h turns a read
// reply into settings and settings into a save command; SettingsValidation.h
// checks their ranges.
//
// A logger may report bytes that name no value (a stop-mode byte of 0x05, a
// calibration whose hundredths byte is 150). Such a setting holds the reported
// bytes instead of a value (Coded), so that a save writes them back unchanged.

#include "protocol/Decimal.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterBlock.h"
#include "protocol/TimeZone.h"

#include <array>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace korvel::protocol {

// What makes a setting's value implicitly: anything that converts to it, but a
// number only of the value's own type, so that no byte becomes a bool or an
// offset by accident.
template <typename U, typename T>
concept ValueOf = std::convertible_to<U, T> &&
    (!std::is_arithmetic_v<std::remove_cvref_t<U>> || std::same_as<std::remove_cvref_t<U>, T>);

// A setting as the logger holds it: a value that the model names, or the bytes
// the logger reported when they name none. Made from a value implicitly
// (`settings.stopMode = StopMode::Software`); only the decoder makes the unnamed
// form. Default: the value T{}.
template <typename T, typename Bytes = std::uint8_t> class Coded {
public:
    Coded() = default;
    template <ValueOf<T> U>
    Coded(U&& value) : state_(std::in_place_index<0>, std::forward<U>(value)) {}

    static Coded Unnamed(const Bytes& bytes) {
        Coded coded;
        coded.state_.template emplace<1>(bytes);
        return coded;
    }

    bool named() const { return state_.index() == 0; }
    // The value; null when the bytes name none.
    const T* get() const { return std::get_if<0>(&state_); }
    // Precondition: named().
    const T& value() const { return std::get<0>(state_); }
    // The reported bytes; null for a named value.
    const Bytes* unnamed() const { return std::get_if<1>(&state_); }

    friend bool operator==(const Coded&, const Coded&) = default;

private:
    std::variant<T, Bytes> state_;
};

// The choices, each in the order of the window's list.
enum class TemperatureUnit { Celsius, Fahrenheit };
enum class StartMode { RightNow, Delayed, Timing };
enum class StopMode { Button, Software, ButtonOrSoftware };
enum class ProbeMode { Internal, External };
enum class CycleSwitch { Opened, Closed };
enum class AlarmMode { Single, Cumulative };
// The alarm kind is AlarmChoice (ParameterBlock.h): None, Single, Multiple.

// A calendar time of the logger's clock, as the frame counts it: any byte is
// kept, ranges are SettingsValidation's.
struct DateTime {
    int year = 2000;
    std::uint8_t month = 1;
    std::uint8_t day = 1;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// The log interval and a level's alarm delay.
struct Duration {
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    std::uint8_t seconds = 0;
    friend bool operator==(const Duration&, const Duration&) = default;
};

struct StartDelay {
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    friend bool operator==(const StartDelay&, const StartDelay&) = default;
};

struct Start {
    Coded<StartMode> mode;
    StartDelay delay; // used by Delayed only
    DateTime at;      // used by Timing only
    friend bool operator==(const Start&, const Start&) = default;
};

// Unnamed: the sign, integer and hundredths bytes as reported.
using DecimalSetting = Coded<Decimal, DecimalTriple>;
// Minutes east of UTC: UTC+05:30 is 330, UTC-03:30 is -210. Unnamed: the three
// bytes of a zone no offset writes back the same (UTC-00:00, minutes of 60 or more).
using TimeZoneSetting = Coded<int, TimeZoneBytes>;
// Empty: password startup off; otherwise the password. Unnamed: a startup byte
// other than 0 and 1.
using PasswordSetting = Coded<std::optional<std::string>>;

struct AlarmLevel {
    Decimal limit;
    AlarmMode mode = AlarmMode::Single;
    Duration delay;
    friend bool operator==(const AlarmLevel&, const AlarmLevel&) = default;
};
using LevelBytes = std::array<std::uint8_t, width::kAlarmLevel>;
// Unnamed: the seven bytes of a level block that reads as no limit, mode and delay.
using LevelSetting = Coded<AlarmLevel, LevelBytes>;

struct Alarm {
    AlarmChoice kind = AlarmChoice::None;
    // Single alarm: the lower (L1) and upper (H1) temperature limits.
    DecimalSetting low;
    DecimalSetting high;
    // Multiple alarm, indexed by Index(Threshold); empty is switched off. L1 and H1
    // are always on.
    std::array<std::optional<LevelSetting>, kThresholdCount> levels;
    friend bool operator==(const Alarm&, const Alarm&) = default;
};

struct Calibration {
    DecimalSetting temperature;
    DecimalSetting humidity;
    friend bool operator==(const Calibration&, const Calibration&) = default;
};

// Limits and calibrations are in the unit the temperature unit names; nothing
// converts them when it changes.
struct LoggerSettings {
    std::string serialNumber; // as stored, one character a byte (Latin-1)
    Coded<TemperatureUnit> temperatureUnit;
    TimeZoneSetting timeZone;
    Duration logInterval;
    Start start;
    Coded<StopMode> stopMode;
    Coded<ProbeMode> probeMode;
    Coded<CycleSwitch> cycleSwitch;
    Calibration calibration;
    Coded<bool> temporaryPdf;
    PasswordSetting password; // as stored, one character a byte (Latin-1)
    // As stored, one character a byte (Latin-1); line breaks are CR LF.
    std::string tripInformation;
    Alarm alarm;
    friend bool operator==(const LoggerSettings&, const LoggerSettings&) = default;
};

} // namespace korvel::protocol
