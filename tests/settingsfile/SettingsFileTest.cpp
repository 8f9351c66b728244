// Settings files: what a logger reported comes back as the same settings and
// bytes; numbers never pass through binary floating point; every fault of a
// file names its place.
#include "settingsfile/SettingsFile.h"

#include "protocol/SettingsCodec.h"
#include "tools/sim/SimBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace korvel::settingsfile {
namespace {

using namespace korvel::protocol;
using ::testing::HasSubstr;

const DateTime kClock{2025, 6, 1, 12, 0, 0};

Block factoryBlock() {
    return sim::DefaultBlock();
}

void putLevel(Block& block, Threshold threshold, std::array<std::uint8_t, 7> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + ThresholdOffset(threshold));
}

// A multiple alarm with L1, H1 and humidity L1 on, as plain bytes.
Block multipleAlarmBlock() {
    Block block = factoryBlock();
    putLevel(block, Threshold::L1, {0, 2, 0, 0, 0, 10, 0});
    putLevel(block, Threshold::H1, {0, 25, 50, 1, 1, 2, 3});
    putLevel(block, Threshold::HumidityL1, {0, 30, 0, 0, 0, 0, 0});
    return block;
}

ParsedFile parse(const std::string& text) {
    return ParseSettingsFile(text);
}

SettingsFile parseOk(const std::string& text) {
    ParsedFile parsed = parse(text);
    for (const FileError& error : parsed.errors) {
        ADD_FAILURE() << error.Text();
    }
    return parsed.file.value_or(SettingsFile{});
}

TEST(SettingsFile, WhatALoggerReportedReadsBackAsTheSameSettingsAndBytes) {
    const struct {
        const char* name;
        std::function<void(Block&)> change;
    } cases[] = {
        {"factory block", [](Block&) {}},
        {"stop mode byte 0x05", [](Block& b) { b[offset::kStopMode] = 0x05; }},
        {"start mode byte 3", [](Block& b) { b[offset::kStartMode] = 3; }},
        {"delayed start",
         [](Block& b) {
             b[offset::kStartMode] = 1;
             b[offset::kStartHour] = 2;
             b[offset::kStartMinute] = 15;
         }},
        {"timed start in 2150",
         [](Block& b) {
             b[offset::kStartMode] = 2;
             b[offset::kStartYear] = 150;
             b[offset::kStartMonth] = 13;
         }},
        {"zone UTC+05:45", [](Block& b) { b[offset::kTimeZoneMinutes] = 45; }},
        {"zone UTC-00:00",
         [](Block& b) {
             b[offset::kTimeZoneSign] = 1;
             b[offset::kTimeZoneHours] = 0;
         }},
        {"zone sign byte 2", [](Block& b) { b[offset::kTimeZoneSign] = 2; }},
        {"log interval 0:61:05",
         [](Block& b) {
             b[offset::kLogIntervalM] = 61;
             b[offset::kLogIntervalS] = 5;
         }},
        {"calibration -0.00", [](Block& b) { b[offset::kCalibrationTemperature] = 1; }},
        {"calibration hundredths 150", [](Block& b) { b[offset::kCalibrationHumidity + 2] = 150; }},
        {"calibration 255.99",
         [](Block& b) {
             b[offset::kCalibrationTemperature + 1] = 255;
             b[offset::kCalibrationTemperature + 2] = 99;
         }},
        {"temporary PDF byte 9", [](Block& b) { b[offset::kTemporaryPdfStartup] = 9; }},
        {"password startup byte 7", [](Block& b) { b[offset::kPasswordStartup] = 7; }},
        {"password with odd bytes",
         [](Block& b) {
             b[offset::kPasswordStartup] = 1;
             std::copy_n("ab\xE9\x01 \"", 6, b.begin() + offset::kPassword);
         }},
        {"serial number with odd bytes",
         [](Block& b) { std::copy_n("T2\\\xFF\x7F\0 4\n", 9, b.begin() + offset::kSerialNumber); }},
        {"trip text with CR LF, a lone LF and a lone CR",
         [](Block& b) {
             std::fill_n(b.begin() + offset::kTripInfo, 100, 0);
             std::copy_n("a\r\nb\nc\rd\xB0", 9, b.begin() + offset::kTripInfo);
         }},
        {"trip text of 100 bytes",
         [](Block& b) { std::fill_n(b.begin() + offset::kTripInfo, 100, 'x'); }},
        {"no alarm", [](Block& b) { b[offset::kAlarmSwitch] = 0; }},
        {"multiple alarm", [](Block& b) { b = multipleAlarmBlock(); }},
        {"multiple alarm with a level of no meaning",
         [](Block& b) {
             b = multipleAlarmBlock();
             putLevel(b, Threshold::H3, {3, 200, 150, 7, 1, 2, 3});
         }},
        {"single alarm with -0.00 and 255",
         [](Block& b) {
             b[offset::kTemperatureL1] = 1;
             b[offset::kTemperatureL1 + 1] = 0;
             b[offset::kTemperatureH1 + 1] = 255;
         }},
    };
    for (const auto& c : cases) {
        Block block = factoryBlock();
        c.change(block);
        const LoggerSettings reported = DecodeSettings(block);
        const std::string text = WriteSettingsFile(reported);
        const SettingsFile file = parseOk(text);
        // Every key is read from the file; only the trip text looks at what the logger holds.
        LoggerSettings blank;
        blank.tripInformation = reported.tripInformation;
        const LoggerSettings back = ApplySettingsFile(file, blank);
        EXPECT_EQ(back, reported) << c.name << "\n" << text;
        EXPECT_THAT(Changes(reported, back), ::testing::IsEmpty()) << c.name;
        EXPECT_THAT(ValidateSettings(back, &reported), ::testing::IsEmpty()) << c.name;
        EXPECT_EQ(EncodeSaveFrame(back, block, kClock), EncodeSaveFrame(reported, block, kClock))
            << c.name;
    }
}

TEST(SettingsFile, NumbersComeFromTheirTextNeverThroughADouble) {
    const SettingsFile file = parseOk(
        R"({"korvel": 1, "calibration": {"temperature": 1.15, "humidity": 0.29},
            "alarm": {"type": "single", "low": -0.5, "high": 25.05}})");
    const LoggerSettings settings = ApplySettingsFile(file, DecodeSettings(factoryBlock()));
    const Block frame = EncodeSaveFrame(settings, factoryBlock(), kClock);
    const auto bytesAt = [&](std::size_t at) {
        return std::vector<int>{frame[at], frame[at + 1], frame[at + 2]};
    };
    EXPECT_EQ(bytesAt(offset::kCalibrationTemperature), (std::vector<int>{0x00, 0x01, 0x0F}));
    EXPECT_EQ(bytesAt(offset::kCalibrationHumidity), (std::vector<int>{0x00, 0x00, 0x1D}));
    EXPECT_EQ(bytesAt(offset::kTemperatureL1), (std::vector<int>{0x01, 0x00, 0x32}));
    EXPECT_EQ(bytesAt(offset::kTemperatureH1), (std::vector<int>{0x00, 0x19, 0x05}));
}

TEST(SettingsFile, WritesEveryKeyInFileOrder) {
    const std::string text = WriteSettingsFile(DecodeSettings(factoryBlock()));
    EXPECT_EQ(text, R"({
  "korvel": 1,
  "serial_number": "T23110042",
  "temperature_unit": "C",
  "time_zone": "UTC+01:00",
  "log_interval": "00:15:00",
  "start": {"mode": "now"},
  "stop_mode": "button",
  "probe_mode": "internal",
  "cycle_switch": "opened",
  "calibration": {"temperature": 0, "humidity": 0},
  "temporary_pdf": true,
  "password": null,
  "trip_information": "Cold chain shipment, keep at 2-8 C",
  "alarm": {"type": "single", "low": 2, "high": 8}
}
)");
}

TEST(SettingsFile, AbsentKeysKeepTheLoggersValues) {
    const LoggerSettings base = DecodeSettings(multipleAlarmBlock());
    const SettingsFile file =
        parseOk(R"({"korvel": 1, "time_zone": "UTC-03:30", "calibration": {"humidity": -2}})");
    const LoggerSettings applied = ApplySettingsFile(file, base);
    EXPECT_THAT(Changes(base, applied),
                ::testing::ElementsAre(Change{"time_zone", "\"UTC+01:00\"", "\"UTC-03:30\""},
                                       Change{"calibration.humidity", "0", "-2"}));
}

TEST(SettingsFile, TripLineBreaksAreSavedAsCrLfUnlessTheTextIsTheLoggers) {
    LoggerSettings base = DecodeSettings(factoryBlock());
    base.tripInformation = "one\ntwo"; // a lone LF the logger reported
    const SettingsFile same = parseOk(R"({"korvel": 1, "trip_information": "one\ntwo"})");
    EXPECT_EQ(ApplySettingsFile(same, base).tripInformation, "one\ntwo");
    const SettingsFile other = parseOk(R"({"korvel": 1, "trip_information": "one\ntwo\nthree"})");
    EXPECT_EQ(ApplySettingsFile(other, base).tripInformation, "one\r\ntwo\r\nthree");
    const SettingsFile latin1 = parseOk(R"({"korvel": 1, "trip_information": "2-8 °C"})");
    EXPECT_EQ(ApplySettingsFile(latin1, base).tripInformation, "2-8 \xB0"
                                                               "C");
}

TEST(SettingsFile, ChangesNameEveryKeyPathThatDiffers) {
    const LoggerSettings single = DecodeSettings(factoryBlock());
    const LoggerSettings multiple = DecodeSettings(multipleAlarmBlock());
    const std::vector<Change> changes = Changes(single, multiple);
    ASSERT_GE(changes.size(), 4u);
    EXPECT_EQ(changes[0], (Change{"alarm.type", "\"single\"", "\"multiple\""}));
    EXPECT_EQ(changes[1], (Change{"alarm.low", "2", std::string(kAbsent)}));
    EXPECT_EQ(changes[2], (Change{"alarm.high", "8", std::string(kAbsent)}));
    EXPECT_EQ(changes[3].key, "alarm.levels.temperature_low_1.limit");

    // Settings that differ only in a true or false value.
    LoggerSettings pdfOn = single;
    pdfOn.temporaryPdf = true;
    LoggerSettings pdfOff = single;
    pdfOff.temporaryPdf = false;
    EXPECT_THAT(Changes(pdfOn, pdfOff),
                ::testing::ElementsAre(Change{"temporary_pdf", "true", "false"}));

    LoggerSettings oneMore = multiple;
    oneMore.alarm.levels[Index(Threshold::H2)] = AlarmLevel{{false, 3000}, AlarmMode::Single, {}};
    EXPECT_THAT(
        Changes(multiple, oneMore),
        ::testing::ElementsAre(Change{"alarm.levels.temperature_high_2", "null",
                                      R"({"limit": 30, "mode": "single", "delay": "00:00:00"})"}));
}

// The password says that it changed, never what it was or is; whether it is
// on at all (null) is no secret.
TEST(SettingsFile, ChangesShowASecretOnlyAsChanged) {
    LoggerSettings off = DecodeSettings(factoryBlock());
    off.password = PasswordSetting(std::optional<std::string>());
    LoggerSettings first = off;
    first.password = PasswordSetting(std::optional<std::string>("Ab12Cd"));
    LoggerSettings second = off;
    second.password = PasswordSetting(std::optional<std::string>("Zz99Yy"));
    const std::string hidden(kHidden);
    EXPECT_THAT(Changes(first, second), ::testing::ElementsAre(Change{"password", hidden, hidden}));
    EXPECT_THAT(Changes(off, first), ::testing::ElementsAre(Change{"password", "null", hidden}));
    EXPECT_THAT(Changes(second, off), ::testing::ElementsAre(Change{"password", hidden, "null"}));
    EXPECT_THAT(Changes(first, first), ::testing::IsEmpty());
}

TEST(SettingsFile, SettingLinesAreDottedKeyPaths) {
    const std::vector<SettingLine> lines = SettingLines(DecodeSettings(multipleAlarmBlock()));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().key, "serial_number");
    EXPECT_EQ(lines.front().value, "\"T23110042\"");
    const auto find = [&](const std::string& key) {
        for (const SettingLine& line : lines) {
            if (line.key == key) {
                return line.value;
            }
        }
        return std::string("missing");
    };
    EXPECT_EQ(find("alarm.levels.temperature_high_1.limit"), "25.5");
    EXPECT_EQ(find("alarm.levels.temperature_high_1.delay"), "\"01:02:03\"");
    EXPECT_EQ(find("alarm.levels.temperature_high_2"), "null");
    EXPECT_EQ(find("start.mode"), "\"now\"");
}

TEST(SettingsFile, EveryFaultNamesItsPlace) {
    const struct {
        const char* name;
        std::string text;
        std::string error; // the first error's text contains this
    } cases[] = {
        {"syntax", "{\"korvel\": 1,\n  \"stop_mode\": button}", "line 2, column 16"},
        {"not an object", "[1]", "file: [1] is not a settings file"},
        {"no version", R"({"stop_mode": "button"})", "korvel: required"},
        {"other version", R"({"korvel": 2})", "korvel: 2 is not a format this program reads"},
        {"duplicate key",
         R"({"korvel": 1, "alarm": {"type": "single", "low": 1, "low": 2, "high": 3}})",
         "alarm.low: duplicate key"},
        {"unknown key", R"({"korvel": 1, "time_zome": "UTC+01:00"})",
         "time_zome: unknown key (did you mean \"time_zone\"?)"},
        {"unknown level",
         R"({"korvel": 1, "alarm": {"type": "multiple", "levels": {"temperature_low_1": null,
             "temperature_hihg_2": null}}})",
         "alarm.levels.temperature_hihg_2: unknown key (did you mean \"temperature_high_2\"?)"},
        {"unknown choice", R"({"korvel": 1, "stop_mode": "loud"})",
         "stop_mode: \"loud\" is not one of \"button\", \"software\", \"button_or_software\""},
        {"three decimals", R"({"korvel": 1, "calibration": {"temperature": 1.234}})",
         "calibration.temperature: '1.234' has more than two decimals"},
        {"exponent", R"({"korvel": 1, "calibration": {"temperature": 1e2}})",
         "calibration.temperature: '1e2' is not a valid number"},
        {"number as text", R"({"korvel": 1, "calibration": {"humidity": "1"}})",
         "calibration.humidity: \"1\" is not a number"},
        {"bad interval", R"({"korvel": 1, "log_interval": "1:30"})",
         "log_interval: \"1:30\" is not of the form \"HH:MM:SS\""},
        {"interval above a byte", R"({"korvel": 1, "log_interval": "00:300:00"})",
         "log_interval: \"00:300:00\" has a number above 255"},
        {"bad zone", R"({"korvel": 1, "time_zone": "GMT+1"})",
         "time_zone: \"GMT+1\" is not of the form \"UTC+05:30\""},
        {"delay missing", R"({"korvel": 1, "start": {"mode": "delayed"}})",
         "start.delay: required with \"mode\": \"delayed\""},
        {"delay with now", R"({"korvel": 1, "start": {"mode": "now", "delay": "01:00"}})",
         "start.delay: not allowed unless \"mode\" is \"delayed\""},
        {"year out of bytes",
         R"({"korvel": 1, "start": {"mode": "timed", "at": "1999-01-01T00:00:00"}})",
         "start.at: \"1999-01-01T00:00:00\" has a year outside 2000-2255"},
        {"level L1 missing",
         R"({"korvel": 1, "alarm": {"type": "multiple", "levels": {"temperature_high_1": null}}})",
         "alarm.levels.temperature_low_1: required with \"type\": \"multiple\""},
        {"level without mode",
         R"({"korvel": 1, "alarm": {"type": "multiple", "levels": {
             "temperature_low_1": {"limit": 1, "delay": "00:00:00"},
             "temperature_high_1": {"limit": 9, "mode": "single", "delay": "00:00:00"}}}})",
         "alarm.levels.temperature_low_1.mode: required"},
        {"single without high", R"({"korvel": 1, "alarm": {"type": "single", "low": 1}})",
         "alarm.high: required with \"type\": \"single\""},
        {"not Latin-1", R"({"korvel": 1, "trip_information": "5 €"})",
         "trip_information: character U+20AC cannot be stored"},
        {"password number too big", R"({"korvel": 1, "password": 300})",
         "password: 300 is not a text"},
        {"too deep", std::string(40, '[') + std::string(40, ']'), "nested deeper"},
    };
    for (const auto& c : cases) {
        const ParsedFile parsed = parse(c.text);
        EXPECT_FALSE(parsed.file.has_value()) << c.name;
        ASSERT_FALSE(parsed.errors.empty()) << c.name;
        EXPECT_THAT(parsed.errors.front().Text(), HasSubstr(c.error)) << c.name;
    }
}

TEST(SettingsFile, ListsEveryFaultNotJustTheFirst) {
    const ParsedFile parsed =
        parse(R"({"korvel": 1, "stop_mode": "loud", "probe_mode": 2.5, "cycle": "opened"})");
    EXPECT_EQ(parsed.errors.size(), 3u);
}

TEST(SettingsFile, RefusesAFileOverOneMebibyte) {
    std::string text = R"({"korvel": 1, "trip_information": ")";
    text += std::string(kMaxFileBytes, 'x') + "\"}";
    const ParsedFile parsed = parse(text);
    ASSERT_EQ(parsed.errors.size(), 1u);
    EXPECT_THAT(parsed.errors.front().Text(), HasSubstr("larger than 1 MiB"));
}

TEST(SettingsFile, CheckNamesTheRangeOfTheKeysGivenOnly) {
    const SettingsFile file = parseOk(R"({"korvel": 1, "alarm": {"type": "multiple", "levels": {
        "temperature_low_1": {"limit": -5, "mode": "single", "delay": "00:00:00"},
        "temperature_high_1": {"limit": 25.5, "mode": "cumulative", "delay": "00:10:00"},
        "temperature_high_2": {"limit": 300, "mode": "single", "delay": "00:00:00"}}}})");
    // Each group checked on its own, so that losing one kind of nested problem
    // does not hide whether the others are kept.
    const std::vector<SettingsProblem> problems = CheckSettingsFile(file);
    EXPECT_EQ(problems.size(), 1u);
    if (!problems.empty()) {
        EXPECT_EQ(problems.front().Text(),
                  "alarm.levels.temperature_high_2.limit: 300 is out of range (at most 99)");
    }

    EXPECT_THAT(CheckSettingsFile(parseOk(R"({"korvel": 1, "stop_mode": 5})")),
                ::testing::SizeIs(1));
    const std::vector<SettingsProblem> start = CheckSettingsFile(
        parseOk(R"({"korvel": 1, "start": {"mode": "timed", "at": "2100-01-01T00:00:00"}})"));
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start.front().key, "start.at");
    EXPECT_THAT(CheckSettingsFile(parseOk(R"({"korvel": 1})")), ::testing::IsEmpty());
}

} // namespace
} // namespace korvel::settingsfile
