#include "protocol/SettingsCodec.h"

#include "protocol/TimeZone.h"
#include "tests/protocol/SettingsCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <type_traits>

namespace korvel::protocol {
namespace {

// A byte never becomes a named value by accident.
static_assert(!std::is_convertible_v<int, Coded<bool>>);
static_assert(!std::is_convertible_v<std::uint8_t, Coded<StopMode>>);
static_assert(!std::is_convertible_v<std::uint8_t, TimeZoneSetting>);
static_assert(std::is_convertible_v<const char*, PasswordSetting>);

using namespace testing_cases;
using testing_cases::level;

// What a decoder gives back: the parts that the chosen modes use.
LoggerSettings usedParts(LoggerSettings settings) {
    const LoggerSettings defaults;
    if (settings.start.mode != StartMode::Delayed) {
        settings.start.delay = defaults.start.delay;
    }
    if (settings.start.mode != StartMode::Timing) {
        settings.start.at = defaults.start.at;
    }
    if (settings.alarm.kind != AlarmChoice::Single) {
        settings.alarm.low = defaults.alarm.low;
        settings.alarm.high = defaults.alarm.high;
    }
    if (settings.alarm.kind != AlarmChoice::Multiple) {
        settings.alarm.levels = defaults.alarm.levels;
    }
    return settings;
}

std::vector<FrameCase> casesThatReadBack() {
    std::vector<FrameCase> cases;
    std::copy_if(std::begin(kFrameCases), std::end(kFrameCases), std::back_inserter(cases),
                 [](const FrameCase& c) { return c.readsBack; });
    return cases;
}

class SettingsReadBackTest : public testing::TestWithParam<FrameCase> {};

TEST_P(SettingsReadBackTest, GivesTheSameSettings) {
    const LoggerSettings settings = GetParam().settings();
    const Block frame = EncodeSaveFrame(settings, patterned(), kClock);
    const LevelCoding coding =
        settings.alarm.kind == AlarmChoice::Multiple ? LevelCoding::PackedBcd : LevelCoding::Plain;
    EXPECT_EQ(DecodeSettings(frame, coding), usedParts(settings));
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsReadBackTest, testing::ValuesIn(casesThatReadBack()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(EncodeSaveFrame, KeepsThePreviousBytesOfUnusedFields) {
    const Block previous = patterned();
    LoggerSettings settings = base(); // start right now, password off, no alarm
    Block frame = EncodeSaveFrame(settings, previous, kClock);
    for (std::size_t at : {offset::kStartYear, offset::kStartMonth, offset::kStartDay,
                           offset::kStartHour, offset::kStartMinute, offset::kStartSecond}) {
        EXPECT_EQ(frame[at], previous[at]) << at;
    }
    for (std::size_t at = offset::kPassword; at < offset::kPassword + width::kPassword; ++at) {
        EXPECT_EQ(frame[at], previous[at]) << at;
    }
    for (std::size_t at = offset::kTemperatureL1; at < offset::kChecksum; ++at) {
        EXPECT_EQ(frame[at], previous[at]) << at;
    }

    settings.start.mode = StartMode::Delayed;
    frame = EncodeSaveFrame(settings, previous, kClock);
    for (std::size_t at :
         {offset::kStartYear, offset::kStartMonth, offset::kStartDay, offset::kStartSecond}) {
        EXPECT_EQ(frame[at], previous[at]) << at;
    }
}

TEST(EncodeSaveFrame, WritesTheClockAndTheEnvelope) {
    const Block frame = EncodeSaveFrame(base(), patterned(), {2031, 12, 30, 23, 58, 57});
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + offset::kSystemYear,
                                        frame.begin() + offset::kTripInfo),
              (std::vector<std::uint8_t>{31, 12, 30, 23, 58, 57}));
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin(), frame.begin() + offset::kSerialNumber),
              (std::vector<std::uint8_t>{0xAA, 0x55, 0x95, 0xCC}));
    EXPECT_TRUE(CheckFrame(frame.data(), frame.size()));
}

// ---- Multiple-alarm levels: written as packed BCD, read either way ----

TEST(MultipleAlarmLevels, AreWrittenAsPackedBcdAndReadPlainOrAsBcd) {
    LoggerSettings settings = multipleAlarm();
    levelOf(settings, Threshold::H2) = level({false, 2550}, AlarmMode::Single, {0, 10, 5});
    const Block frame = EncodeSaveFrame(settings, patterned(), kClock);
    const std::size_t at = ThresholdOffset(Threshold::H2);
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + at, frame.begin() + at + 7),
              (std::vector<std::uint8_t>{0x00, 0x25, 0x50, 0x00, 0x00, 0x10, 0x05}));

    const auto& plain = DecodeSettings(frame, LevelCoding::Plain).alarm.levels;
    EXPECT_EQ(plain[Index(Threshold::H2)], level({false, 3780}, AlarmMode::Single, {0, 16, 5}));
    const auto& bcd = DecodeSettings(frame, LevelCoding::PackedBcd).alarm.levels;
    EXPECT_EQ(bcd[Index(Threshold::H2)], level({false, 2550}, AlarmMode::Single, {0, 10, 5}));
}

// ---- Bytes that name no value survive a read and a save ----

struct ReportedCase {
    const char* name;
    LoggerSettings (*from)();
    std::function<void(Block&)> patch;
    LevelCoding coding;
    std::function<bool(const LoggerSettings&)> decoded;
};

void PrintTo(const ReportedCase& c, std::ostream* os) {
    *os << c.name;
}

LoggerSettings singleAlarm() {
    LoggerSettings settings = base();
    settings.alarm.kind = AlarmChoice::Single;
    settings.alarm.low = Decimal{false, 200};
    settings.alarm.high = Decimal{false, 800};
    return settings;
}

std::function<void(Block&)> bytesAt(std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    const std::vector<std::uint8_t> copy(bytes);
    return [at, copy](Block& block) { std::copy(copy.begin(), copy.end(), block.begin() + at); };
}

const std::size_t kH1 = ThresholdOffset(Threshold::H1);

const ReportedCase kReportedCases[] = {
    {"StopModeByte5", base, bytesAt(offset::kStopMode, {0x05}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return s.stopMode == Coded<StopMode>::Unnamed(0x05); }},
    {"StartModeByte3", base, bytesAt(offset::kStartMode, {3, 30, 12, 31, 23, 59, 58}),
     LevelCoding::Plain,
     [](const LoggerSettings& s) { return s.start.mode == Coded<StartMode>::Unnamed(3); }},
    {"ProbeModeByte2", base, bytesAt(offset::kProbeMode, {2}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return !s.probeMode.named(); }},
    {"UnitByte7", base, bytesAt(offset::kTemperatureUnit, {7}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return !s.temperatureUnit.named(); }},
    {"CycleSwitchByte9", base, bytesAt(offset::kCycleSwitch, {9}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return !s.cycleSwitch.named(); }},
    {"TemporaryPdfByte2", base, bytesAt(offset::kTemporaryPdfStartup, {2}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return s.temporaryPdf == Coded<bool>::Unnamed(2); }},
    {"PasswordStartupByte2", base,
     bytesAt(offset::kPasswordStartup, {2, 'q', 'w', 'e', 'r', 't', 'y'}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return s.password == PasswordSetting::Unnamed(2); }},
    // Not in the window's list, yet an offset that writes back the same bytes.
    {"ZoneOfFortyFiveMinutes", base, bytesAt(offset::kTimeZoneSign, {0, 5, 45}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return s.timeZone == 345; }},
    {"ZoneMinusZero", base, bytesAt(offset::kTimeZoneSign, {1, 0, 0}), LevelCoding::Plain,
     [](const LoggerSettings& s) {
         return s.timeZone == TimeZoneSetting::Unnamed({1, 0, 0});
     }},
    {"ZoneOfSixtyMinutes", base, bytesAt(offset::kTimeZoneSign, {0, 5, 60}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return !s.timeZone.named(); }},
    {"ZoneOfSeventyFiveMinutes", base, bytesAt(offset::kTimeZoneSign, {0, 5, 75}),
     LevelCoding::Plain, [](const LoggerSettings& s) { return !s.timeZone.named(); }},
    {"ZoneSignByte2", base, bytesAt(offset::kTimeZoneSign, {2, 5, 30}), LevelCoding::Plain,
     [](const LoggerSettings& s) { return !s.timeZone.named(); }},
    {"CalibrationHundredths150", base, bytesAt(offset::kCalibrationTemperature, {0, 25, 150}),
     LevelCoding::Plain,
     [](const LoggerSettings& s) {
         return s.calibration.temperature == DecimalSetting::Unnamed({0, 25, 150});
     }},
    {"CalibrationSignByte2", base, bytesAt(offset::kCalibrationHumidity, {2, 1, 0}),
     LevelCoding::Plain, [](const LoggerSettings& s) { return !s.calibration.humidity.named(); }},
    {"SerialNumberWithOtherCharacters", base,
     bytesAt(offset::kSerialNumber, {'a', 'b', '-', 'c', ' ', '1', '2', 0x01, 0xFF}),
     LevelCoding::Plain,
     [](const LoggerSettings& s) { return s.serialNumber == "ab-c 12\x01\xFF"; }},
    {"SingleAlarmHundredths200", singleAlarm, bytesAt(ThresholdOffset(Threshold::L1), {0, 2, 200}),
     LevelCoding::Plain,
     [](const LoggerSettings& s) {
         return s.alarm.low == DecimalSetting::Unnamed({0, 2, 200});
     }},
    {"LevelModeByte2", multipleAlarm, bytesAt(kH1 + level::kMode, {2}), LevelCoding::PackedBcd,
     [](const LoggerSettings& s) { return !s.alarm.levels[Index(Threshold::H1)]->named(); }},
    {"LevelDelayNotBcd", multipleAlarm, bytesAt(kH1 + level::kDelayMinutes, {0x3C}),
     LevelCoding::PackedBcd,
     [](const LoggerSettings& s) { return !s.alarm.levels[Index(Threshold::H1)]->named(); }},
    {"RequiredLevelSwitchedOff", multipleAlarm, bytesAt(kH1, {0xFF}), LevelCoding::PackedBcd,
     [](const LoggerSettings& s) { return !s.alarm.levels[Index(Threshold::H1)]->named(); }},
};

class ReportedBytesTest : public testing::TestWithParam<ReportedCase> {};

TEST_P(ReportedBytesTest, AreSavedBackUnchanged) {
    const ReportedCase& c = GetParam();
    Block reply = EncodeSaveFrame(c.from(), Block{}, kClock);
    c.patch(reply);
    reply[offset::kChecksum] = FrameChecksum(reply.data(), offset::kChecksum - 1);

    const LoggerSettings decoded = DecodeSettings(reply, c.coding);
    EXPECT_TRUE(c.decoded(decoded));
    EXPECT_EQ(differences(EncodeSaveFrame(decoded, reply, kClock), reply), "");
}

INSTANTIATE_TEST_SUITE_P(Replies, ReportedBytesTest, testing::ValuesIn(kReportedCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The sign survives the read; the save writes zero with sign 0, as the window does.
TEST(DecodeSettings, KeepsTheSignOfANegativeZero) {
    Block reply = EncodeSaveFrame(base(), Block{}, kClock);
    put(reply, offset::kCalibrationTemperature, {1, 0, 0});
    const LoggerSettings decoded = DecodeSettings(reply);
    EXPECT_EQ(decoded.calibration.temperature, (Decimal{true, 0}));
    EXPECT_EQ(EncodeSaveFrame(decoded, reply, kClock)[offset::kCalibrationTemperature], 0);
}

TEST(DecodeSettings, LeavesWhatTheModesDoNotUseAtItsDefault) {
    Block reply = EncodeSaveFrame(multipleAlarm(), Block{}, kClock);
    put(reply, offset::kStartMode, {value::kStartRightNow, 30, 12, 31, 23, 59, 58});
    put(reply, offset::kAlarmSwitch, {value::kAlarmOff});
    const LoggerSettings decoded = DecodeSettings(reply);
    EXPECT_EQ(decoded.start, Start{});
    EXPECT_EQ(decoded.alarm, Alarm{});
}

// The password is the one secret: a row of the key table says so, and its
// bytes are where the codec writes it.
TEST(SecretFields, ThePasswordIsTheOneSecretAndSitsWhereItIsSaved) {
    for (const SettingRow& row : kSettingTable) {
        EXPECT_EQ(IsSecret(row.key), row.key == SettingKey::Password) << row.path;
    }
    EXPECT_TRUE(IsSecretPath("password"));
    EXPECT_FALSE(IsSecretPath("password_hint"));
    EXPECT_FALSE(IsSecretPath("alarm.levels.temperature_high_2.limit"));

    LoggerSettings settings = base();
    settings.password = PasswordSetting(std::optional<std::string>("Ab12Cd"));
    const Block frame = EncodeSaveFrame(settings, Block{}, kClock);
    const std::vector<SecretField> fields = SecretFields();
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].key, SettingKey::Password);
    const auto bytes = frame.begin() + static_cast<std::ptrdiff_t>(fields[0].offset);
    EXPECT_EQ(std::string(bytes, bytes + static_cast<std::ptrdiff_t>(fields[0].width)), "Ab12Cd");
}

} // namespace
} // namespace korvel::protocol
