#include "protocol/SettingsText.h"
#include "protocol/SettingKeys.h"

#include <gtest/gtest.h>

namespace korvel::protocol {
namespace {

TEST(SettingsText, TripTextKeepsTheLoggersBytesUnlessItWasEdited) {
    const struct {
        const char* name;
        std::string text; // as the memo or the file gives it
        std::string held; // as the logger holds it
        std::string saved;
    } cases[] = {
        {"unchanged CR LF", "one\ntwo", "one\r\ntwo", "one\r\ntwo"},
        {"unchanged bare LF", "one\ntwo", "one\ntwo", "one\ntwo"},
        {"unchanged mixed", "a\nb\nc", "a\nb\r\nc", "a\nb\r\nc"},
        {"unchanged lone CR", "a\rb", "a\rb", "a\rb"},
        {"edited: every new break CR LF", "one\ntwo\nthree", "one\ntwo", "one\r\ntwo\r\nthree"},
        {"edited: CR LF given stays one break", "a\r\nb!", "a\r\nb", "a\r\nb!"},
        {"edited: leading break", "\nx", "", "\r\nx"},
        {"no text", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TripBytesOf(c.text, c.held), c.saved) << c.name;
    }
    EXPECT_EQ(TripTextOf("a\r\nb\rc\n"), "a\nb\rc\n");
}

TEST(SettingsText, NumbersAreZeroPaddedAndNeverCut) {
    EXPECT_EQ(DateTimeText({2026, 3, 7, 9, 5, 0}), "2026-03-07T09:05:00");
    EXPECT_EQ(DateTimeText({2255, 255, 31, 23, 59, 59}), "2255-255-31T23:59:59");
    EXPECT_EQ(DurationText({0, 60, 50}), "00:60:50");
    EXPECT_EQ(StartDelayText({23, 5}), "23:05");
    EXPECT_EQ(TwoDigits(4000000000U), "4000000000");
}

TEST(SettingKeys, EachPathIsItsSectionAndName) {
    for (const SettingRow& row : kSettingTable) {
        const std::string joined = row.section.empty()
                                       ? std::string(row.name)
                                       : std::string(row.section) + "." + std::string(row.name);
        EXPECT_EQ(joined, row.path);
    }
    EXPECT_EQ(ChoiceName(StopMode::ButtonOrSoftware, RowOf(SettingKey::StopMode).choices),
              "button_or_software");
    EXPECT_EQ(ChoiceNamed<StartMode>("timed", kStartNames), StartMode::Timing);
    EXPECT_EQ(ChoiceNamed<StartMode>("later", kStartNames), std::nullopt);
}

} // namespace
} // namespace korvel::protocol
