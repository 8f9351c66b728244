#include "protocol/SettingsCodec.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace korvel::protocol {

namespace {

constexpr std::uint32_t kHundred = 100;
constexpr int kMinutesPerHour = 60;

template <typename T> using ByteTable = std::array<std::pair<T, std::uint8_t>, 2>;

constexpr std::array<std::pair<StopMode, std::uint8_t>, 3> kStopModes = {{
    {StopMode::Button, value::kStopByButton},
    {StopMode::Software, value::kStopBySoftware},
    {StopMode::ButtonOrSoftware, value::kStopByButtonOrSoftware},
}};
constexpr std::array<std::pair<StartMode, std::uint8_t>, 3> kStartModes = {{
    {StartMode::RightNow, value::kStartRightNow},
    {StartMode::Delayed, value::kStartDelayed},
    {StartMode::Timing, value::kStartTiming},
}};
constexpr ByteTable<ProbeMode> kProbeModes = {{
    {ProbeMode::Internal, value::kProbeInternal},
    {ProbeMode::External, value::kProbeExternal},
}};
constexpr ByteTable<TemperatureUnit> kUnits = {{
    {TemperatureUnit::Celsius, value::kCelsius},
    {TemperatureUnit::Fahrenheit, value::kFahrenheit},
}};
constexpr ByteTable<CycleSwitch> kCycleSwitches = {{
    {CycleSwitch::Opened, value::kCycleOpened},
    {CycleSwitch::Closed, value::kCycleClosed},
}};
constexpr ByteTable<bool> kStartups = {{
    {false, value::kStartupDisabled},
    {true, value::kStartupEnabled},
}};
constexpr ByteTable<AlarmMode> kAlarmModes = {{
    {AlarmMode::Single, value::kAlarmModeSingle},
    {AlarmMode::Cumulative, value::kAlarmModeCumulative},
}};

template <typename T, std::size_t N>
std::optional<T> valueOf(std::uint8_t byte,
                         const std::array<std::pair<T, std::uint8_t>, N>& table) {
    for (const auto& [value, code] : table) {
        if (code == byte) {
            return value;
        }
    }
    return std::nullopt;
}

template <typename T, std::size_t N>
Coded<T> decodeChoice(std::uint8_t byte, const std::array<std::pair<T, std::uint8_t>, N>& table) {
    if (const std::optional<T> value = valueOf(byte, table)) {
        return *value;
    }
    return Coded<T>::Unnamed(byte);
}

template <typename T, std::size_t N>
std::uint8_t byteOf(const T& value, const std::array<std::pair<T, std::uint8_t>, N>& table) {
    for (const auto& [named, code] : table) {
        if (named == value) {
            return code;
        }
    }
    return table.front().second; // every enumerator is in its table
}

template <typename T, std::size_t N>
std::uint8_t encodeChoice(const Coded<T>& choice,
                          const std::array<std::pair<T, std::uint8_t>, N>& table) {
    if (const std::uint8_t* reported = choice.unnamed()) {
        return *reported;
    }
    return byteOf(choice.value(), table);
}

bool isSign(std::uint8_t byte) {
    return byte == value::kPlus || byte == value::kMinus;
}

// Two-digit packed BCD as the save command defines it: the number's decimal
// digits read as hexadecimal, low 8 bits kept (25 gives 0x25; 160 gives 0x60).
std::uint8_t packedBcd(std::uint32_t number) {
    return static_cast<std::uint8_t>((number / 10 % 10) << 4 | (number % 10));
}

std::optional<std::uint8_t> fromPackedBcd(std::uint8_t byte) {
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    if (high > 9 || low > 9) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(high * 10 + low);
}

std::string textAt(const Block& block, std::size_t at, std::size_t width) {
    return std::string(block.begin() + at, block.begin() + at + width);
}

// `text` cut to `width` bytes, the rest of the field zero.
void putText(Block& block, std::size_t at, std::size_t width, std::string_view text) {
    const std::size_t length = std::min(text.size(), width);
    std::copy_n(text.begin(), length, block.begin() + at);
    std::fill_n(block.begin() + at + length, width - length, 0);
}

DecimalTriple tripleAt(const Block& block, std::size_t at) {
    return {block[at + level::kSign], block[at + level::kInteger], block[at + level::kHundredths]};
}

void putTriple(Block& block, std::size_t at, const DecimalTriple& triple) {
    block[at + level::kSign] = triple.sign;
    block[at + level::kInteger] = triple.integer;
    block[at + level::kHundredths] = triple.hundredths;
}

DecimalTriple encodeDecimal(const DecimalSetting& number) {
    if (const DecimalTriple* reported = number.unnamed()) {
        return *reported;
    }
    return TripleOf(number.value());
}

std::uint8_t yearByte(int year) {
    return static_cast<std::uint8_t>(year - value::kYearBase);
}

// ---- Decoding ----

Start decodeStart(const Block& block) {
    Start start;
    start.mode = decodeChoice(block[offset::kStartMode], kStartModes);
    if (start.mode == StartMode::Delayed) {
        start.delay = {block[offset::kStartHour], block[offset::kStartMinute]};
    } else if (start.mode == StartMode::Timing) {
        start.at = {block[offset::kStartYear] + value::kYearBase,
                    block[offset::kStartMonth],
                    block[offset::kStartDay],
                    block[offset::kStartHour],
                    block[offset::kStartMinute],
                    block[offset::kStartSecond]};
    }
    return start;
}

PasswordSetting decodePassword(const Block& block) {
    switch (block[offset::kPasswordStartup]) {
    case value::kStartupDisabled:
        return std::nullopt;
    case value::kStartupEnabled:
        return textAt(block, offset::kPassword, width::kPassword);
    default:
        return PasswordSetting::Unnamed(block[offset::kPasswordStartup]);
    }
}

std::string decodeTripInformation(const Block& block) {
    const auto begin = block.begin() + offset::kTripInfo;
    return std::string(begin, std::find(begin, begin + width::kTripInfo, 0));
}

LevelSetting decodeLevel(const Block& block, std::size_t at, LevelCoding coding) {
    LevelBytes bytes;
    std::copy_n(block.begin() + at, bytes.size(), bytes.begin());
    const auto number = [coding](std::uint8_t byte) -> std::optional<std::uint8_t> {
        return coding == LevelCoding::PackedBcd ? fromPackedBcd(byte) : byte;
    };
    const auto integer = number(bytes[level::kInteger]);
    const auto hundredths = number(bytes[level::kHundredths]);
    const auto mode = valueOf(bytes[level::kMode], kAlarmModes);
    const auto hours = number(bytes[level::kDelayHours]);
    const auto minutes = number(bytes[level::kDelayMinutes]);
    const auto seconds = number(bytes[level::kDelaySeconds]);
    if (!isSign(bytes[level::kSign]) || !integer || !hundredths || *hundredths >= kHundred ||
        !mode || !hours || !minutes || !seconds) {
        return LevelSetting::Unnamed(bytes);
    }
    AlarmLevel decoded;
    decoded.limit = {bytes[level::kSign] == value::kMinus, *integer * kHundred + *hundredths};
    decoded.mode = *mode;
    decoded.delay = {*hours, *minutes, *seconds};
    return decoded;
}

bool isSwitchedOff(const Block& block, Threshold threshold) {
    return block[ThresholdOffset(threshold) + level::kSign] == level::kDisabled;
}

Alarm decodeAlarm(const Block& block, LevelCoding coding) {
    Alarm alarm;
    if (block[offset::kAlarmSwitch] == value::kAlarmOff) {
        return alarm;
    }
    bool anyOptionalOn = false;
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        anyOptionalOn =
            anyOptionalOn || (IsOptional(threshold) && !isSwitchedOff(block, threshold));
    }
    if (!anyOptionalOn) {
        alarm.kind = AlarmChoice::Single;
        alarm.low = DecimalOf(tripleAt(block, offset::kTemperatureL1));
        alarm.high = DecimalOf(tripleAt(block, offset::kTemperatureH1));
        return alarm;
    }
    alarm.kind = AlarmChoice::Multiple;
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        if (!IsOptional(threshold) || !isSwitchedOff(block, threshold)) {
            alarm.levels[i] = decodeLevel(block, ThresholdOffset(threshold), coding);
        }
    }
    return alarm;
}

// ---- Encoding ----

void encodeEnvelopeAndIdentity(const LoggerSettings& settings, Block& frame) {
    frame[offset::kHeader] = kHeader0;
    frame[offset::kHeader + 1] = kHeader1;
    frame[offset::kCommand] = command::kSave;
    frame[offset::kLength] = kSaveLength;
    putText(frame, offset::kSerialNumber, width::kSerialNumber, settings.serialNumber);
    std::fill_n(frame.begin() + offset::kReservedId, width::kReservedId, 0);
}

void encodeSchedule(const LoggerSettings& settings, Block& frame) {
    frame[offset::kLogIntervalH] = settings.logInterval.hours;
    frame[offset::kLogIntervalM] = settings.logInterval.minutes;
    frame[offset::kLogIntervalS] = settings.logInterval.seconds;
    frame[offset::kReservedWord] = 0;
    frame[offset::kReservedWord + 1] = 0;
    frame[offset::kStopMode] = encodeChoice(settings.stopMode, kStopModes);

    const Start& start = settings.start;
    frame[offset::kStartMode] = encodeChoice(start.mode, kStartModes);
    // The other start bytes keep what `previous` held.
    if (start.mode == StartMode::Delayed) {
        frame[offset::kStartHour] = start.delay.hours;
        frame[offset::kStartMinute] = start.delay.minutes;
    } else if (start.mode == StartMode::Timing) {
        frame[offset::kStartYear] = yearByte(start.at.year);
        frame[offset::kStartMonth] = start.at.month;
        frame[offset::kStartDay] = start.at.day;
        frame[offset::kStartHour] = start.at.hour;
        frame[offset::kStartMinute] = start.at.minute;
        frame[offset::kStartSecond] = start.at.second;
    }
}

void encodeDevice(const LoggerSettings& settings, Block& frame) {
    frame[offset::kReserved30] = 0;
    frame[offset::kProbeMode] = encodeChoice(settings.probeMode, kProbeModes);
    frame[offset::kReserved32] = 0;
    frame[offset::kTemperatureUnit] = encodeChoice(settings.temperatureUnit, kUnits);

    const TimeZoneBytes zone = settings.timeZone.named()
                                   ? TimeZoneBytesOf(settings.timeZone.value())
                                   : *settings.timeZone.unnamed();
    frame[offset::kTimeZoneSign] = zone.sign;
    frame[offset::kTimeZoneHours] = zone.hours;
    frame[offset::kTimeZoneMinutes] = zone.minutes;

    frame[offset::kCycleSwitch] = encodeChoice(settings.cycleSwitch, kCycleSwitches);
    putTriple(frame, offset::kCalibrationTemperature,
              encodeDecimal(settings.calibration.temperature));
    putTriple(frame, offset::kCalibrationHumidity, encodeDecimal(settings.calibration.humidity));
    frame[offset::kTemporaryPdfStartup] = encodeChoice(settings.temporaryPdf, kStartups);

    // The password bytes keep what `previous` held unless password startup is on.
    const PasswordSetting& password = settings.password;
    if (const std::uint8_t* reported = password.unnamed()) {
        frame[offset::kPasswordStartup] = *reported;
    } else if (!password.value()) {
        frame[offset::kPasswordStartup] = value::kStartupDisabled;
    } else {
        frame[offset::kPasswordStartup] = value::kStartupEnabled;
        putText(frame, offset::kPassword, width::kPassword, *password.value());
    }
}

void encodeClock(const DateTime& clock, Block& frame) {
    frame[offset::kSystemYear] = yearByte(clock.year);
    frame[offset::kSystemMonth] = clock.month;
    frame[offset::kSystemDay] = clock.day;
    frame[offset::kSystemHour] = clock.hour;
    frame[offset::kSystemMinute] = clock.minute;
    frame[offset::kSystemSecond] = clock.second;
}

void fillLevel(Block& frame, std::size_t at, std::uint8_t byte) {
    std::fill_n(frame.begin() + at, width::kAlarmLevel, byte);
}

// A single-alarm level: the limit in plain bytes, mode "Single", no delay.
void encodeSingleLevel(Block& frame, std::size_t at, const DecimalSetting& limit) {
    putTriple(frame, at, encodeDecimal(limit));
    std::fill_n(frame.begin() + at + level::kMode, width::kAlarmLevel - level::kMode, 0);
}

// A multiple-alarm level: packed BCD but for the sign and mode bytes.
void encodeMultipleLevel(Block& frame, std::size_t at, const LevelSetting& setting) {
    if (const LevelBytes* reported = setting.unnamed()) {
        std::copy(reported->begin(), reported->end(), frame.begin() + at);
        return;
    }
    const AlarmLevel& alarmLevel = setting.value();
    const DecimalTriple plain = TripleOf(alarmLevel.limit);
    frame[at + level::kSign] = plain.sign;
    frame[at + level::kInteger] = packedBcd(alarmLevel.limit.integerPart());
    frame[at + level::kHundredths] = packedBcd(alarmLevel.limit.fractionPart());
    frame[at + level::kMode] = byteOf(alarmLevel.mode, kAlarmModes);
    frame[at + level::kDelayHours] = packedBcd(alarmLevel.delay.hours);
    frame[at + level::kDelayMinutes] = packedBcd(alarmLevel.delay.minutes);
    frame[at + level::kDelaySeconds] = packedBcd(alarmLevel.delay.seconds);
}

void encodeAlarm(const Alarm& alarm, Block& frame) {
    if (alarm.kind == AlarmChoice::None) {
        frame[offset::kAlarmSwitch] = value::kAlarmOff;
        return; // the level blocks keep what `previous` held
    }
    frame[offset::kAlarmSwitch] = value::kAlarmOn;
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        const std::size_t at = ThresholdOffset(threshold);
        if (alarm.kind == AlarmChoice::Single) {
            if (IsOptional(threshold)) {
                fillLevel(frame, at, level::kDisabled);
            } else {
                encodeSingleLevel(frame, at, threshold == Threshold::L1 ? alarm.low : alarm.high);
            }
        } else if (alarm.levels[i]) {
            encodeMultipleLevel(frame, at, *alarm.levels[i]);
        } else {
            fillLevel(frame, at, level::kDisabled);
        }
    }
}

} // namespace

DecimalSetting DecimalOf(const DecimalTriple& triple) {
    if (!isSign(triple.sign) || triple.hundredths >= kHundred) {
        return DecimalSetting::Unnamed(triple);
    }
    return Decimal{triple.sign == value::kMinus, triple.integer * kHundred + triple.hundredths};
}

DecimalTriple TripleOf(const Decimal& number) {
    const bool minus = number.negative && number.hundredths != 0;
    return {minus ? value::kMinus : value::kPlus, static_cast<std::uint8_t>(number.integerPart()),
            static_cast<std::uint8_t>(number.fractionPart())};
}

TimeZoneSetting TimeZoneOf(const TimeZoneBytes& bytes) {
    const int minutes = bytes.hours * kMinutesPerHour + bytes.minutes;
    // UTC-00:00 and minutes of 60 or more would be written back as other bytes.
    if (!isSign(bytes.sign) || bytes.minutes >= kMinutesPerHour ||
        (bytes.sign == value::kMinus && minutes == 0)) {
        return TimeZoneSetting::Unnamed(bytes);
    }
    return bytes.sign == value::kMinus ? -minutes : minutes;
}

TimeZoneBytes TimeZoneBytesOf(int minutesEastOfUtc) {
    const int magnitude = std::abs(minutesEastOfUtc);
    return {minutesEastOfUtc < 0 ? value::kMinus : value::kPlus,
            static_cast<std::uint8_t>(magnitude / kMinutesPerHour),
            static_cast<std::uint8_t>(magnitude % kMinutesPerHour)};
}

LoggerSettings DecodeSettings(const Block& reply, LevelCoding levels) {
    LoggerSettings settings;
    settings.serialNumber = textAt(reply, offset::kSerialNumber, width::kSerialNumber);
    settings.temperatureUnit = decodeChoice(reply[offset::kTemperatureUnit], kUnits);
    settings.timeZone = TimeZoneOf({reply[offset::kTimeZoneSign], reply[offset::kTimeZoneHours],
                                    reply[offset::kTimeZoneMinutes]});
    settings.logInterval = {reply[offset::kLogIntervalH], reply[offset::kLogIntervalM],
                            reply[offset::kLogIntervalS]};
    settings.start = decodeStart(reply);
    settings.stopMode = decodeChoice(reply[offset::kStopMode], kStopModes);
    settings.probeMode = decodeChoice(reply[offset::kProbeMode], kProbeModes);
    settings.cycleSwitch = decodeChoice(reply[offset::kCycleSwitch], kCycleSwitches);
    settings.calibration.temperature = DecimalOf(tripleAt(reply, offset::kCalibrationTemperature));
    settings.calibration.humidity = DecimalOf(tripleAt(reply, offset::kCalibrationHumidity));
    settings.temporaryPdf = decodeChoice(reply[offset::kTemporaryPdfStartup], kStartups);
    settings.password = decodePassword(reply);
    settings.tripInformation = decodeTripInformation(reply);
    settings.alarm = decodeAlarm(reply, levels);
    return settings;
}

Block EncodeSaveFrame(const LoggerSettings& settings, const Block& previous,
                      const DateTime& clock) {
    Block frame = previous;
    encodeEnvelopeAndIdentity(settings, frame);
    encodeSchedule(settings, frame);
    encodeDevice(settings, frame);
    encodeClock(clock, frame);
    putText(frame, offset::kTripInfo, width::kTripInfo, settings.tripInformation);
    encodeAlarm(settings.alarm, frame);
    frame[offset::kChecksum] = FrameChecksum(frame.data(), offset::kChecksum - 1);
    frame[offset::kTrailer] = kTrailer;
    return frame;
}

std::vector<SecretField> SecretFields() {
    std::vector<SecretField> fields;
    for (const SettingRow& row : kSettingTable) {
        if (!row.secret) {
            continue;
        }
        if (row.key != SettingKey::Password) {
            // A new secret needs its bytes here, or a trace would show them.
            throw std::logic_error("no bytes are known for the secret setting " +
                                   std::string(row.path));
        }
        fields.push_back({row.key, offset::kPassword, width::kPassword});
    }
    return fields;
}

} // namespace korvel::protocol
