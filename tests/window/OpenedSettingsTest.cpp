#include "window/OpenedSettings.h"

#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"
#include "tests/protocol/SettingsCases.h"

#include <gtest/gtest.h>

namespace korvel::window {
namespace {

using namespace korvel::protocol;
using testing_cases::base;

TEST(OpenedSettingsTest, FileKeysReplaceOnlyTheirSettingsAndNameTheirControls) {
    LoggerSettings held = base();
    held.calibration.temperature = Decimal{true, 150};
    held.password = std::optional<std::string>("abc123");

    const OpenedFile result = OpenSettingsFile(
        R"({"korvel": 1, "time_zone": "UTC+08:00", "calibration": {"humidity": 2.5}})", held, held);

    ASSERT_TRUE(result.opened) << (result.problems.empty() ? "" : result.problems.front());
    LoggerSettings expected = held;
    expected.timeZone = 480;
    expected.calibration.humidity = Decimal{false, 250};
    EXPECT_EQ(result.opened->settings, expected);

    // Of the calibration, only the humidity edit.
    protocol::SettingKeys shown;
    shown.Add(protocol::SettingKey::TimeZone);
    shown.Add(protocol::SettingKey::CalibrationHumidity);
    EXPECT_EQ(result.opened->shown, shown);
}

TEST(OpenedSettingsTest, RefusedFilesNameWhereTheyAreWrong) {
    const struct {
        const char* name;
        const char* text;
        const char* problem; // the start of the first problem
    } cases[] = {
        {"not JSON", "{\"korvel\": 1,", "line 1"},
        {"unknown key", R"({"korvel": 1, "serial_numbr": "KV2024007"})", "serial_numbr:"},
        {"value the logger does not take",
         R"({"korvel": 1, "alarm": {"type": "single", "low": 2, "high": 300}})", "alarm.high:"},
        {"single alarm low above high",
         R"({"korvel": 1, "alarm": {"type": "single", "low": 30, "high": 20}})",
         "alarm.low: 30 is above the high limit 20"},
        {"reading and range problems at once",
         R"({"korvel": 1, "serial_numbr": "KV2024007", "calibration": {"temperature": 300}})",
         "serial_numbr:"},
        {"zone between the list's steps", R"({"korvel": 1, "time_zone": "UTC-13:00"})",
         "time_zone: UTC-13:00 is not in the window's list"},
        {"start year before the list",
         R"({"korvel": 1, "start": {"mode": "timed", "at": "2005-01-02T03:04:05"}})",
         "start.at: the year 2005 is not in the window's list"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OpenedFile result = OpenSettingsFile(c.text, base(), base());
        EXPECT_FALSE(result.opened);
        ASSERT_FALSE(result.problems.empty());
        EXPECT_EQ(result.problems.front().rfind(c.problem, 0), 0U) << result.problems.front();
    }
}

// A file with problems of every kind shows them all at once.
TEST(OpenedSettingsTest, EveryProblemIsListedAtOnce) {
    const OpenedFile result = OpenSettingsFile(
        R"({"korvel": 1, "serial_numbr": "KV2024007", "calibration": {"temperature": 300},
            "alarm": {"type": "single", "low": 30, "high": 20}})",
        base(), base());
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(result.problems.size(), 3U);
}

TEST(OpenedSettingsTest, AStartInTheListsFirstOrLastYearOpens) {
    for (const char* at : {"2018-01-01T00:00:00", "2099-12-31T23:59:59"}) {
        const std::string text =
            std::string(R"({"korvel": 1, "start": {"mode": "timed", "at": ")") + at + "\"}}";
        const OpenedFile result = OpenSettingsFile(text, base(), base());
        EXPECT_TRUE(result.opened)
            << at << ": " << (result.problems.empty() ? "" : result.problems.front());
    }
}

// A file may give back what the logger holds, however odd; the controls' own
// values are judged by the next save, not by the file.
TEST(OpenedSettingsTest, AnOddValueTheFileGivesIsTakenOnlyAsTheLoggersOwn) {
    LoggerSettings odd = base();
    odd.stopMode = Coded<StopMode>::Unnamed(5);
    const char* stopMode = R"({"korvel": 1, "stop_mode": 5})";
    EXPECT_TRUE(OpenSettingsFile(stopMode, base(), odd).opened);
    EXPECT_FALSE(OpenSettingsFile(stopMode, odd, base()).opened);
    EXPECT_TRUE(OpenSettingsFile(R"({"korvel": 1, "time_zone": "UTC+08:00"})", odd, base()).opened);

    LoggerSettings crossed = base();
    crossed.alarm.kind = AlarmChoice::Single;
    crossed.alarm.low = Decimal{false, 4652};
    crossed.alarm.high = Decimal{false, 356};
    const char* ownLimits =
        R"({"korvel": 1, "alarm": {"type": "single", "low": 46.52, "high": 3.56}})";
    const OpenedFile own = OpenSettingsFile(ownLimits, base(), crossed);
    ASSERT_TRUE(own.opened);
    EXPECT_EQ(own.opened->settings.alarm, crossed.alarm);
    EXPECT_EQ(own.opened->held, crossed);
    // The same limits typed into the window are no logger's.
    EXPECT_FALSE(OpenSettingsFile(ownLimits, crossed, base()).opened);
    const OpenedFile other =
        OpenSettingsFile(R"({"korvel": 1, "alarm": {"type": "single", "low": 46.52, "high": 3.5}})",
                         base(), crossed);
    ASSERT_FALSE(other.opened);
    EXPECT_EQ(other.problems.front().rfind("alarm.low: 46.52 is above the high limit 3.5", 0), 0U)
        << other.problems.front();
}

// An erased logger (0xFF in every byte a settings file carries) and its own
// file, as korvel-cli read --json writes it.
TEST(OpenedSettingsTest, AnErasedLoggersOwnFileOpensAsItIs) {
    Block erased{};
    std::fill(erased.begin() + offset::kSerialNumber, erased.begin() + offset::kSystemYear, 0xFF);
    std::fill(erased.begin() + offset::kTripInfo, erased.begin() + offset::kChecksum, 0xFF);
    const LoggerSettings held = DecodeSettings(erased);

    const OpenedFile result = OpenSettingsFile(settingsfile::WriteSettingsFile(held), held, held);
    ASSERT_TRUE(result.opened) << result.problems.front();
    EXPECT_EQ(result.opened->settings, held);
}

} // namespace
} // namespace korvel::window
