// Settings files: what a logger reported comes back as the same settings and
// bytes; numbers never pass through binary floating point; every fault of a
// file names its place.
#include "settingsfile/SettingsFile.h"

#include "protocol/SettingsCodec.h"
#include "settingsfile/JsonTree.h"
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
         "calibration.temperature: 1e2: exponents are not accepted; write the number out"},
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

// One pass: the errors of reading and the ranges of what could be read come
// together, whatever key each is in. Only what a logger could hold waits for
// a logger's read.
TEST(SettingsFile, FileProblemsListReadingAndRangeProblemsTogether) {
    const ParsedFile parsed = parse(R"({"korvel": 1, "time_zome": "UTC+01:00",
        "serial_number": "T23", "log_interval": "25:00:00", "stop_mode": "loud",
        "start": {"mode": "timed", "at": "2150-01-01T00:00:00"},
        "calibration": {"temperature": 300, "humidity": 1e2}, "password": 7,
        "trip_information": "x", "trip_information": "y",
        "alarm": {"type": "single", "low": 30, "high": 20}})");
    const auto texts = [](const std::vector<FileError>& errors) {
        std::vector<std::string> lines;
        for (const FileError& error : errors) {
            lines.push_back(error.Text());
        }
        return lines;
    };
    const std::vector<std::string> reading = {
        "trip_information: duplicate key (given more than once)",
        "time_zome: unknown key (did you mean \"time_zone\"?)",
        "stop_mode: \"loud\" is not one of \"button\", \"software\", \"button_or_software\"",
        "calibration.humidity: 1e2: exponents are not accepted; write the number out",
    };
    // No logger holds a text of 3 bytes for 9 or an integer part above 255.
    const std::vector<std::string> neverHeld = {
        "serial_number: 'T23' is not 9 letters or digits",
        "calibration.temperature: 300 is out of range: must be at most 255.99",
    };
    const std::vector<std::string> mayBeHeld = {
        "log_interval: 25:00:00 is out of range (hours 0-23, minutes 0-60, seconds 0, 10, 20, "
        "30, 40 or 50)",
        "start.at: 2150-01-01T00:00:00 is out of range (years 2000-2099, months 1-12, days 1-31, "
        "hours 0-23, minutes and seconds 0-59)",
        "password: unknown code 7 (accepted only as the logger holds it)",
        "alarm.low: 30 is above the high limit 20: the low limit must be at most the high one",
    };
    std::vector<std::string> all = reading;
    all.insert(all.end(), neverHeld.begin(), neverHeld.end());
    std::vector<std::string> beforeTheRead = all;
    all.insert(all.end(), mayBeHeld.begin(), mayBeHeld.end());
    EXPECT_THAT(texts(FileProblems(parsed, HeldValues::Refused)),
                ::testing::UnorderedElementsAreArray(all));
    EXPECT_THAT(texts(FileProblems(parsed, HeldValues::WaitForTheRead)),
                ::testing::UnorderedElementsAreArray(beforeTheRead));
    EXPECT_FALSE(parsed.file.has_value());
}

// A key is suggested only when it is near: a few letters apart for its length,
// or the key cut short.
TEST(SettingsFile, SuggestsOnlyANearKey) {
    const std::vector<std::string_view> keys = {"korvel",       "serial_number",   "time_zone",
                                                "start",        "stop_mode",       "title_text",
                                                "log_interval", "trip_information"};
    const struct {
        std::string_view given;
        std::string_view suggested; // empty: none
    } cases[] = {
        {"tz", ""},
        {"title", "title_text"}, // cut short
        {"titel", ""},
        {"serial_numbr", "serial_number"},
        {"timezone", "time_zone"},
        {"time-zone", "time_zone"},
        {"trip_info", "trip_information"},
        {"stat", "start"},
        {"sta", ""}, // too short to be taken as cut short, two letters from "start"
        {"log", ""},
        {"x", ""},
        {"korvl", "korvel"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NearestKey(c.given, keys), c.suggested) << c.given;
    }
    const std::vector<std::string_view> settingsKeys = {
        "korvel", "serial_number", "time_zone", "start", "stop_mode", "trip_information"};
    EXPECT_EQ(NearestKey("title", settingsKeys), "");
    EXPECT_EQ(NearestKey("tz", settingsKeys), "");
}

// Texts are composed (NFC) before their characters are judged: a decomposed
// letter that Latin-1 has is taken as that one byte.
TEST(SettingsFile, TextsAreComposedBeforeTheyAreJudged) {
    const struct {
        const char* name;
        std::string json;   // the trip text as a JSON string's content
        std::string stored; // Latin-1; empty when refused
        std::string error;
    } cases[] = {
        {"e and a combining acute", "Cafe\\u0301", "Caf\xE9", ""},
        {"already composed", "Caf\u00e9", "Caf\xE9", ""},
        {"A and a combining ring", "A\\u030A", "\xC5", ""},
        {"n and a combining tilde, twice", "n\\u0303n\\u0303", "\xF1\xF1", ""},
        {"a mark Latin-1 has no letter for", "q\\u0301", "", "character U+0301 cannot be stored"},
        {"a lone combining mark", "\\u0301", "", "character U+0301 cannot be stored"},
        {"composed beyond Latin-1", "\\u1100\\u1161", "", "character U+AC00 cannot be stored"},
        {"the Angstrom sign composes to its letter", "\\u212B", "\xC5", ""},
    };
    for (const auto& c : cases) {
        const ParsedFile parsed =
            parse(R"({"korvel": 1, "trip_information": ")" + c.json + R"("})");
        if (c.error.empty()) {
            ASSERT_TRUE(parsed.file.has_value()) << c.name;
            EXPECT_EQ(parsed.file->settings.tripInformation, c.stored) << c.name;
        } else {
            ASSERT_FALSE(parsed.errors.empty()) << c.name;
            EXPECT_THAT(parsed.errors.front().Text(), HasSubstr(c.error)) << c.name;
        }
    }
    // The serial number and password the same way.
    const ParsedFile serial = parse(R"({"korvel": 1, "serial_number": "Te\u0301st12345"})");
    ASSERT_TRUE(serial.file.has_value());
    EXPECT_EQ(serial.file->settings.serialNumber, "T\xE9st12345");
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
        EXPECT_EQ(
            problems.front().Text(),
            "alarm.levels.temperature_high_2.limit: 300 is out of range: must be at most 99.99");
    }

    EXPECT_THAT(CheckSettingsFile(parseOk(R"({"korvel": 1, "stop_mode": 5})")),
                ::testing::SizeIs(1));
    const std::vector<SettingsProblem> start = CheckSettingsFile(
        parseOk(R"({"korvel": 1, "start": {"mode": "timed", "at": "2100-01-01T00:00:00"}})"));
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start.front().key, "start.at");
    EXPECT_THAT(CheckSettingsFile(parseOk(R"({"korvel": 1})")), ::testing::IsEmpty());
}

// Text before JSON: a file must be UTF-8 and nothing but its JSON, so that
// what check accepts is what the logger gets.
TEST(SettingsFile, RefusesBytesThatAreNotUtf8TextWithTheirPlace) {
    using namespace std::string_literals;
    // {"korvel": 1} as Windows PowerShell 5.1's > writes it.
    std::string utf16le = "\xFF\xFE";
    for (const char c : std::string(R"({"korvel": 1})")) {
        utf16le += c;
        utf16le += '\0';
    }
    std::string utf16be = "\xFE\xFF";
    for (const char c : std::string(R"({"korvel": 1})")) {
        utf16be += '\0';
        utf16be += c;
    }
    const struct {
        const char* name;
        std::string text;
        const char* error; // the whole first error; "" when the file is read
    } cases[] = {
        {"NUL and anything after", "{\"korvel\": 1}\0{\"stop_mode\": 77}"s,
         "line 1, column 14: a NUL byte, which no text file holds"},
        {"NUL inside a string", "{\"korvel\": 1,\n \"trip_information\": \"a\0b\"}"s,
         "line 2, column 24: a NUL byte, which no text file holds"},
        {"NUL after white space", "{\"korvel\": 1}\n\0"s,
         "line 2, column 1: a NUL byte, which no text file holds"},
        {"text after the object", "{\"korvel\": 1}\n  x",
         "line 2, column 3: more after the end of the settings (only white space may follow "
         "the closing brace)"},
        {"a second object", "{\"korvel\": 1} {}",
         "line 1, column 15: more after the end of the settings (only white space may follow "
         "the closing brace)"},
        {"white space after the object", "{\"korvel\": 1}\r\n\t \n", ""},
        {"UTF-16 LE with its mark", utf16le,
         "file: UTF-16 LE text (it begins with the byte-order mark FF FE), not UTF-8: save it "
         "as UTF-8 (Windows PowerShell 5.1's > writes UTF-16; pipe to Out-File -Encoding utf8 "
         "instead)"},
        {"UTF-16 BE with its mark", utf16be,
         "file: UTF-16 BE text (it begins with the byte-order mark FE FF), not UTF-8: save it "
         "as UTF-8 (Windows PowerShell 5.1's > writes UTF-16; pipe to Out-File -Encoding utf8 "
         "instead)"},
        {"UTF-16 LE without a mark", utf16le.substr(2),
         "file: UTF-16 LE text (every other byte is zero), not UTF-8"},
        {"UTF-16 BE without a mark", utf16be.substr(2),
         "file: UTF-16 BE text (every other byte is zero), not UTF-8"},
        {"Latin-1",
         "{\"korvel\": 1,\n \"trip_information\": \"Caf\xE9 2-8 \xB0"
         "C\"}",
         "line 2, column 26: the byte E9 is not UTF-8 (is the file Latin-1 or Windows-1252?): "
         "save it as UTF-8"},
        {"columns count characters",
         "{\"korvel\": 1, \"trip_information\": \"\xC3\xA9\xC3\xA9\xFF\"}",
         "line 1, column 38: the byte FF is not UTF-8"},
        {"a UTF-8 byte-order mark", "\xEF\xBB\xBF{\"korvel\": 1}", ""},
        {"columns after a byte-order mark", "\xEF\xBB\xBF{\"korvel\": 1, x}",
         "line 1, column 15: syntax error"},
        {"a CESU surrogate", "{\"korvel\": 1, \"trip_information\": \"\xED\xA0\x80\"}",
         "line 1, column 36: the byte ED is not UTF-8"},
    };
    for (const auto& c : cases) {
        const ParsedFile parsed = parse(c.text);
        if (std::string(c.error).empty()) {
            EXPECT_TRUE(parsed.file.has_value()) << c.name;
            EXPECT_THAT(parsed.errors, ::testing::IsEmpty()) << c.name;
            continue;
        }
        EXPECT_FALSE(parsed.file.has_value()) << c.name;
        ASSERT_EQ(parsed.errors.size(), 1u) << c.name;
        EXPECT_THAT(parsed.errors.front().Text(), ::testing::StartsWith(c.error)) << c.name;
    }
}

TEST(SettingsFile, ANumberTooLargeToReadNamesItsKeyPlaceAndRange) {
    const struct {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"calibration", "{\"korvel\": 1,\n  \"calibration\": {\"temperature\": 1e400}}",
         "calibration.temperature: 1e400 at line 2, column 34 is too large a number "
         "(calibration.temperature takes -255.99 to 255.99 with at most two decimals)"},
        {"negative", R"({"korvel": 1, "alarm": {"type": "single", "low": -1E+999, "high": 8}})",
         "alarm.low: -1E+999 at line 1, column 50 is too large a number (alarm.low takes "
         "-255.99 to 255.99 with at most two decimals)"},
        {"a level's limit",
         R"({"korvel": 1, "alarm": {"levels": {"temperature_high_2": {"limit": 9e999}}}})",
         "alarm.levels.temperature_high_2.limit: 9e999 at line 1, column 68 is too large a "
         "number (alarm.levels.temperature_high_2.limit takes -99.99 to 99.99 with at most two "
         "decimals)"},
        {"a byte of a list", R"({"korvel": 1, "time_zone": [0, 1e400, 0]})",
         "time_zone[1]: 1e400 at line 1, column 32 is too large a number (time_zone[1] takes a "
         "byte value, 0-255)"},
        {"a code", R"({"korvel": 1, "stop_mode": 1e400})",
         "stop_mode: 1e400 at line 1, column 28 is too large a number (stop_mode takes a name, "
         "or a code 0-255 the logger holds)"},
        {"a level's mode",
         R"({"korvel": 1, "alarm": {"levels": {"humidity_low_1": {"mode": 1e400}}}})",
         "alarm.levels.humidity_low_1.mode: 1e400 at line 1, column 63 is too large a number "
         "(alarm.levels.humidity_low_1.mode takes a name, or a code 0-255 the logger holds)"},
        {"the version", R"({"korvel": 1e400})",
         "korvel: 1e400 at line 1, column 12 is too large a number (korvel takes 1, the format "
         "version)"},
        {"a key that takes no number", R"({"korvel": 1, "log_interval": 1e400})",
         "log_interval: 1e400 at line 1, column 31 is too large a number"},
        {"the whole file", "\n 1e400",
         "line 2, column 2: 1e400 is too large a number; a settings file is a JSON object such "
         "as {\"korvel\": 1}"},
    };
    for (const auto& c : cases) {
        const ParsedFile parsed = parse(c.text);
        EXPECT_FALSE(parsed.file.has_value()) << c.name;
        ASSERT_EQ(parsed.errors.size(), 1u) << c.name;
        EXPECT_EQ(parsed.errors.front().Text(), c.error) << c.name;
    }
}

TEST(SettingsFile, ControlCharactersAreWrittenAsJsonEscapesAndReadBack) {
    LoggerSettings settings = DecodeSettings(factoryBlock());
    settings.serialNumber = "A\x1b[2J\x7f\x9b\xa0\xe9"; // ESC, DEL, C1 CSI, NBSP, e acute
    const std::string file = WriteSettingsFile(settings);
    EXPECT_THAT(file, HasSubstr(R"("serial_number": "A\u001b[2J\u007f\u009b)"
                                "\xc2\xa0\xc3\xa9\""));
    EXPECT_EQ(parseOk(file).settings.serialNumber, settings.serialNumber);
}

TEST(SettingsFile, ErrorLinesShowTheFirstTwentyAndCountTheRest) {
    std::string text = R"({"korvel": 1)";
    for (int i = 0; i < 2000; ++i) {
        text += ", \"k" + std::to_string(i) + "\": 0";
    }
    text += "}";
    const ParsedFile parsed = parse(text);
    ASSERT_EQ(parsed.errors.size(), 2000u);
    const std::vector<std::string> lines = ErrorLines(parsed.errors);
    ASSERT_EQ(lines.size(), kErrorsShown + 1);
    EXPECT_THAT(lines.front(), ::testing::StartsWith("k0: unknown key"));
    EXPECT_THAT(lines[kErrorsShown - 1], ::testing::StartsWith("k19: unknown key"));
    EXPECT_EQ(lines.back(), "... and 1,980 more errors");

    std::vector<FileError> errors(kErrorsShown, FileError{"a", "b"});
    EXPECT_EQ(ErrorLines(errors).size(), kErrorsShown);
    errors.push_back({"c", "d"});
    EXPECT_EQ(ErrorLines(errors).back(), "... and 1 more error");
    errors.resize(75000, FileError{"e", "f"});
    EXPECT_EQ(ErrorLines(errors).back(), "... and 74,980 more errors");
    errors.resize(1000020, FileError{"e", "f"});
    EXPECT_EQ(ErrorLines(errors).back(), "... and 1,000,000 more errors");
}

TEST(SettingsFile, PlacesCountLinesAndCharacters) {
    EXPECT_EQ(PlaceIn("abc", 0), "line 1, column 1");
    EXPECT_EQ(PlaceIn("abc", 2), "line 1, column 3");
    EXPECT_EQ(PlaceIn("ab\ncd", 2), "line 1, column 3"); // the line break itself
    EXPECT_EQ(PlaceIn("ab\ncd", 3), "line 2, column 1");
    EXPECT_EQ(PlaceIn("a\r\n\r\nb", 5), "line 3, column 1");
    EXPECT_EQ(PlaceIn("\xC3\xA9\xE2\x82\xAC!", 5), "line 1, column 3");
    EXPECT_EQ(PlaceIn("\xE9\xE9!", 2), "line 1, column 3");
    EXPECT_EQ(PlaceIn("ab", 9), "line 1, column 3");
}

} // namespace
} // namespace korvel::settingsfile
