#include "protocol/SettingsValidation.h"

#include "protocol/SettingsText.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>

namespace korvel::protocol {

namespace {

constexpr std::size_t kSerialNumberLength = width::kSerialNumber;
constexpr std::size_t kPasswordLength = width::kPassword;
constexpr std::size_t kTripInformationMax = width::kTripInfo;
constexpr std::uint32_t kPlainIntegerMax = kPlainByteMax;
constexpr std::uint32_t kLevelIntegerMax = kPackedBcdMax;
constexpr int kZoneHoursMax = 14;
constexpr int kZoneStepMinutes = 30;
constexpr int kMinutesPerHour = 60;
constexpr int kFirstYear = value::kYearBase;
constexpr int kLastYear = value::kYearLast;
// The last year a logger's year byte can hold.
constexpr int kLastHeldYear = value::kYearBase + 255;
constexpr int kLastMonth = 12;
constexpr int kLastDay = 31; // in every month, as the window's lists offer
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59; // also the last second
constexpr int kLogMinutesMax = 60;
constexpr int kLogSecondsStep = 10;
constexpr int kLogSecondsMax = 50;

bool isLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isLettersAndDigits(std::string_view text, std::size_t length) {
    if (text.size() != length) {
        return false;
    }
    for (char c : text) {
        if (!isLetterOrDigit(c)) {
            return false;
        }
    }
    return true;
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += i == 0 ? "" : " ";
        text += pair;
    }
    return text;
}

// The text in quotes, bytes that are not printable ASCII as \xNN.
std::string quoted(std::string_view text) {
    std::string shown = "'";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    shown += '\'';
    return shown;
}

std::string zoneText(int minutesEastOfUtc) {
    const int magnitude = std::abs(minutesEastOfUtc);
    std::string text = minutesEastOfUtc < 0 ? "UTC-" : "UTC+";
    text += TwoDigits(static_cast<unsigned>(magnitude / kMinutesPerHour));
    text += ":";
    text += TwoDigits(static_cast<unsigned>(magnitude % kMinutesPerHour));
    return text;
}

std::string joinKey(std::string_view parent, std::string_view child) {
    std::string key(parent);
    key += '.';
    key.append(child);
    return key;
}

// A level's key path below the alarm's: "levels.temperature_low_1".
std::string levelPart(Threshold threshold) {
    return joinKey("levels", ThresholdKey(threshold));
}

std::vector<std::uint8_t> bytesOf(const DecimalTriple& triple) {
    return {triple.sign, triple.integer, triple.hundredths};
}
std::vector<std::uint8_t> bytesOf(const TimeZoneBytes& zone) {
    return {zone.sign, zone.hours, zone.minutes};
}
std::vector<std::uint8_t> bytesOf(const LevelBytes& level) {
    return {level.begin(), level.end()};
}

std::string unknownCode(std::uint8_t code) {
    return "unknown code " + std::to_string(code) + " (accepted only as the logger holds it)";
}

std::string unknownBytes(const std::vector<std::uint8_t>& bytes) {
    return "unknown bytes " + hexBytes(bytes.data(), bytes.size()) +
           " (accepted only as the logger holds them)";
}

// Names the limit itself, as the largest number with two decimals below the next integer.
std::string outOfRange(const Decimal& number, std::uint32_t integerMax) {
    const std::string bound = number.negative ? "at least -" : "at most ";
    return DecimalText(number) + " is out of range: must be " + bound + std::to_string(integerMax) +
           ".99";
}

// A limit's integer part is one byte in a reply, so no logger holds more.
bool fitsAByte(const Decimal& number) {
    return number.integerPart() <= kPlainByteMax;
}

long long signedHundredths(const Decimal& number) {
    const auto size = static_cast<long long>(number.hundredths);
    return number.negative ? -size : size;
}

// Collects the problems, knowing the settings read from the logger, if any.
class Checker {
public:
    explicit Checker(const LoggerSettings* reported) : reported_(reported) {}

    // True when the logger reported exactly `value` for the setting `of` picks.
    template <typename T, typename Of> bool held(const T& value, Of of) const {
        return reported_ != nullptr && std::invoke(of, *reported_) == value;
    }

    const LoggerSettings* reported() const { return reported_; }

    // A problem with the setting as a whole.
    void add(SettingKey setting, std::string message, bool loggerMayHold = true) {
        problems_.push_back(
            {setting, std::string(KeyPath(setting)), std::move(message), loggerMayHold});
    }
    // A problem with a part of the setting: `part` is the key path below it.
    void add(SettingKey setting, std::string_view part, std::string message,
             bool loggerMayHold = true) {
        problems_.push_back(
            {setting, joinKey(KeyPath(setting), part), std::move(message), loggerMayHold});
    }

    // A choice, where every named value is acceptable.
    template <typename T, typename Of, typename... Part>
    void choice(SettingKey key, const Coded<T>& setting, Of of, Part... part) {
        if (!setting.named() && !held(setting, of)) {
            add(key, part..., unknownCode(*setting.unnamed()));
        }
    }

    template <typename Of, typename... Part>
    void decimal(SettingKey key, const DecimalSetting& setting, std::uint32_t integerMax, Of of,
                 Part... part) {
        if (held(setting, of)) {
            return;
        }
        if (!setting.named()) {
            add(key, part..., unknownBytes(bytesOf(*setting.unnamed())));
        } else if (setting.value().integerPart() > integerMax) {
            add(key, part..., outOfRange(setting.value(), integerMax), fitsAByte(setting.value()));
        }
    }

    std::vector<SettingsProblem> take() { return std::move(problems_); }

private:
    const LoggerSettings* reported_;
    std::vector<SettingsProblem> problems_;
};

void checkTimeZone(Checker& check, const TimeZoneSetting& zone) {
    if (check.held(zone, &LoggerSettings::timeZone)) {
        return;
    }
    if (!zone.named()) {
        check.add(SettingKey::TimeZone, unknownBytes(bytesOf(*zone.unnamed())));
        return;
    }
    const int minutes = zone.value();
    if (std::abs(minutes) > kZoneHoursMax * kMinutesPerHour || minutes % kZoneStepMinutes != 0) {
        check.add(SettingKey::TimeZone,
                  zoneText(minutes) + " is out of range (hours 00-14, minutes 00 or 30)");
    }
}

void checkLogInterval(Checker& check, const Duration& interval) {
    const bool fits = interval.hours <= kLastHour && interval.minutes <= kLogMinutesMax &&
                      interval.seconds % kLogSecondsStep == 0 && interval.seconds <= kLogSecondsMax;
    if (!fits && !check.held(interval, &LoggerSettings::logInterval)) {
        check.add(SettingKey::LogInterval,
                  DurationText(interval) + " is out of range (hours 0-23, minutes 0-60, seconds 0, "
                                           "10, 20, 30, 40 or 50)");
    }
}

bool isClockTime(std::uint8_t hours, std::uint8_t minutes, std::uint8_t seconds = 0) {
    return hours <= kLastHour && minutes <= kLastMinute && seconds <= kLastMinute;
}

void checkStart(Checker& check, const Start& start) {
    check.choice(
        SettingKey::Start, start.mode, [](const LoggerSettings& s) { return s.start.mode; },
        "mode");
    if (start.mode == StartMode::Delayed) {
        const StartDelay& delay = start.delay;
        if (!isClockTime(delay.hours, delay.minutes) &&
            !check.held(delay, [](const LoggerSettings& s) { return s.start.delay; })) {
            check.add(SettingKey::Start, "delay",
                      StartDelayText(delay) + " is out of range (hours 0-23, minutes 0-59)");
        }
    }
    if (start.mode == StartMode::Timing) {
        const DateTime& at = start.at;
        const bool fits = at.year >= kFirstYear && at.year <= kLastYear && at.month >= 1 &&
                          at.month <= kLastMonth && at.day >= 1 && at.day <= kLastDay &&
                          isClockTime(at.hour, at.minute, at.second);
        if (!fits && !check.held(at, [](const LoggerSettings& s) { return s.start.at; })) {
            check.add(SettingKey::Start, "at",
                      DateTimeText(at) + " is out of range (years " + std::to_string(kFirstYear) +
                          "-" + std::to_string(kLastYear) +
                          ", months 1-12, days 1-31, hours 0-23, minutes and seconds 0-59)",
                      at.year >= kFirstYear && at.year <= kLastHeldYear);
        }
    }
}

void checkPassword(Checker& check, const PasswordSetting& password) {
    if (check.held(password, &LoggerSettings::password)) {
        return;
    }
    if (!password.named()) {
        check.add(SettingKey::Password, unknownCode(*password.unnamed()));
    } else if (const auto& text = password.value();
               text && !isLettersAndDigits(*text, kPasswordLength)) {
        check.add(SettingKey::Password, quoted(*text) + " is not 6 letters or digits",
                  text->size() == kPasswordLength);
    }
}

void checkTripInformation(Checker& check, const std::string& trip) {
    if (trip.size() > kTripInformationMax) {
        check.add(SettingKey::TripInformation,
                  std::to_string(trip.size()) + " bytes is too long (at most 100)", false);
    } else if (trip.find('\0') != std::string::npos) {
        check.add(SettingKey::TripInformation, "a zero byte would end the text there", false);
    }
}

void checkLevel(Checker& check, Threshold threshold, const LevelSetting& setting) {
    const std::string part = levelPart(threshold);
    const LoggerSettings* reported = check.reported();
    const std::optional<LevelSetting>* reportedLevel =
        reported != nullptr ? &reported->alarm.levels[Index(threshold)] : nullptr;
    if (reportedLevel != nullptr && *reportedLevel == setting) {
        return;
    }
    if (!setting.named()) {
        check.add(SettingKey::Alarm, part, unknownBytes(bytesOf(*setting.unnamed())));
        return;
    }
    // Each part is also accepted alone when the logger reported it for this level.
    const AlarmLevel* held =
        reportedLevel != nullptr && *reportedLevel ? (*reportedLevel)->get() : nullptr;
    const AlarmLevel& level = setting.value();
    if (level.limit.integerPart() > kLevelIntegerMax && !(held && held->limit == level.limit)) {
        check.add(SettingKey::Alarm, joinKey(part, "limit"),
                  outOfRange(level.limit, kLevelIntegerMax), fitsAByte(level.limit));
    }
    const Duration& delay = level.delay;
    if (!isClockTime(delay.hours, delay.minutes, delay.seconds) &&
        !(held && held->delay == delay)) {
        check.add(SettingKey::Alarm, joinKey(part, "delay"),
                  DurationText(delay) + " is out of range (hours 0-23, minutes and "
                                        "seconds 0-59)");
    }
}

void checkSingleLimits(Checker& check, const Alarm& alarm) {
    if (!alarm.low.named() || !alarm.high.named()) {
        return;
    }
    const bool held = check.held(alarm.low, [](const LoggerSettings& s) { return s.alarm.low; }) &&
                      check.held(alarm.high, [](const LoggerSettings& s) { return s.alarm.high; });
    const Decimal& low = alarm.low.value();
    const Decimal& high = alarm.high.value();
    if (AlarmLimitsCross(low, high) && !held) {
        check.add(SettingKey::Alarm, "low",
                  DecimalText(low) + " is above the high limit " + DecimalText(high) +
                      ": the low limit must be at most the high one");
    }
}

void checkAlarm(Checker& check, const Alarm& alarm) {
    if (alarm.kind == AlarmChoice::Single) {
        check.decimal(
            SettingKey::Alarm, alarm.low, kPlainIntegerMax,
            [](const LoggerSettings& s) { return s.alarm.low; }, "low");
        check.decimal(
            SettingKey::Alarm, alarm.high, kPlainIntegerMax,
            [](const LoggerSettings& s) { return s.alarm.high; }, "high");
        checkSingleLimits(check, alarm);
    }
    if (alarm.kind != AlarmChoice::Multiple) {
        return;
    }
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        if (alarm.levels[i]) {
            checkLevel(check, threshold, *alarm.levels[i]);
        } else if (!IsOptional(threshold)) {
            check.add(SettingKey::Alarm, levelPart(threshold), "required with a multiple alarm",
                      false);
        }
    }
}

} // namespace

bool AlarmLimitsCross(const Decimal& low, const Decimal& high) {
    return signedHundredths(low) > signedHundredths(high);
}

std::string SettingsProblem::Text() const {
    return key + ": " + message;
}

std::vector<SettingsProblem> ValidateSettings(const LoggerSettings& settings,
                                              const LoggerSettings* reported) {
    Checker check(reported);
    if (!isLettersAndDigits(settings.serialNumber, kSerialNumberLength) &&
        !check.held(settings.serialNumber, &LoggerSettings::serialNumber)) {
        check.add(SettingKey::SerialNumber,
                  quoted(settings.serialNumber) + " is not 9 letters or digits",
                  settings.serialNumber.size() == kSerialNumberLength);
    }
    check.choice(SettingKey::TemperatureUnit, settings.temperatureUnit,
                 &LoggerSettings::temperatureUnit);
    checkTimeZone(check, settings.timeZone);
    checkLogInterval(check, settings.logInterval);
    checkStart(check, settings.start);
    check.choice(SettingKey::StopMode, settings.stopMode, &LoggerSettings::stopMode);
    check.choice(SettingKey::ProbeMode, settings.probeMode, &LoggerSettings::probeMode);
    check.choice(SettingKey::CycleSwitch, settings.cycleSwitch, &LoggerSettings::cycleSwitch);
    check.decimal(SettingKey::CalibrationTemperature, settings.calibration.temperature,
                  kPlainIntegerMax,
                  [](const LoggerSettings& s) { return s.calibration.temperature; });
    check.decimal(SettingKey::CalibrationHumidity, settings.calibration.humidity, kPlainIntegerMax,
                  [](const LoggerSettings& s) { return s.calibration.humidity; });
    check.choice(SettingKey::TemporaryPdf, settings.temporaryPdf, &LoggerSettings::temporaryPdf);
    checkPassword(check, settings.password);
    checkTripInformation(check, settings.tripInformation);
    checkAlarm(check, settings.alarm);
    return check.take();
}

} // namespace korvel::protocol
