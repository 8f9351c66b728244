// The settings files' JSON Schema kept in schema/ and the places of keys that
// errors point to.
#include "settingsfile/JsonPlace.h"
#include "settingsfile/SettingsFile.h"
#include "settingsfile/SettingsSchema.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace korvel::settingsfile {
namespace {

TEST(SettingsSchema, TheKeptFileIsWhatTheKeyTableGives) {
    std::ifstream in(KORVEL_SCHEMA_FILE, std::ios::binary);
    ASSERT_TRUE(in) << KORVEL_SCHEMA_FILE;
    const std::string kept(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(kept, PrettyText(SettingsSchema()))
        << "regenerate it: korvel-settings-schema > schema/korvel-settings.schema.json";
}

TEST(SettingsSchema, NamesEveryTopKeyOfTheKeyTable) {
    const Node schema = SettingsSchema();
    const Node* properties = schema.Find("properties");
    ASSERT_NE(properties, nullptr);
    for (const protocol::SettingRow& row : protocol::kSettingTable) {
        const Node* top = properties->Find(row.section.empty() ? row.name : row.section);
        ASSERT_NE(top, nullptr) << row.path;
        if (!row.section.empty()) {
            EXPECT_NE(top->Find("properties")->Find(row.name), nullptr) << row.path;
        }
    }
}

TEST(SettingsFile, ASchemaKeyIsAcceptedAndIgnoredWhenItIsAText) {
    const ParsedFile given = ParseSettingsFile(
        R"({"$schema": "file:///usr/share/korvel/korvel-settings.schema.json", "korvel": 1,
            "stop_mode": "software"})");
    ASSERT_TRUE(given.file.has_value());
    protocol::SettingKeys keys;
    keys.Add(protocol::SettingKey::StopMode);
    EXPECT_EQ(given.file->keys, keys);

    const ParsedFile number = ParseSettingsFile(R"({"$schema": 7, "korvel": 1})");
    ASSERT_EQ(number.errors.size(), 1u);
    EXPECT_EQ(number.errors[0].where, "$schema");
}

TEST(KeyPlaces, EachKeyAndItemWhereAnEditorShowsIt) {
    // A byte-order mark, an escaped key, a two-byte character before a key on
    // its line, nested objects, array items and a key given twice.
    const std::string text = "\xEF\xBB\xBF{\"korvel\": 1,\n"
                             "  \"trip_information\": \"\xC3\xA9t\xC3\xA9\", \"ti\\u006De\": 2,\n"
                             "  \"alarm\": {\"levels\": {\"a\": [1, [2, 3], {\"b\": 4}]}},\n"
                             "  \"korvel\": 1}";
    const KeyPlaces places(text);
    const struct {
        std::string path;
        std::vector<TextPlace> expected;
    } cases[] = {
        {"korvel", {{1, 2}, {4, 3}}},
        {"trip_information", {{2, 3}}},
        {"time", {{2, 30}}},
        {"alarm", {{3, 3}}},
        {"alarm.levels", {{3, 13}}},
        {"alarm.levels.a", {{3, 24}}},
        {"alarm.levels.a[0]", {{3, 30}}},
        {"alarm.levels.a[1]", {{3, 33}}},
        {"alarm.levels.a[1][1]", {{3, 37}}},
        {"alarm.levels.a[2]", {{3, 41}}},
        {"alarm.levels.a[2].b", {{3, 42}}},
        {"alarm.low", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(places.Of(c.path), c.expected) << c.path;
    }
    // A missing key: the place of the object that should hold it.
    EXPECT_EQ(places.Nearest("alarm.levels.temperature_high_2.limit"), (TextPlace{3, 13}));
    EXPECT_EQ(places.Nearest("start.mode"), TextPlace{});
}

TEST(KeyPlaces, ATextThatIsNotJsonIsReadWithoutHarm) {
    for (const std::string text :
         {"", "{", "{\"a", "{\"a\": [", "}}]]", "\"\\", "{\"a\": \"\\u12"}) {
        const KeyPlaces places(text);
        EXPECT_TRUE(places.Of("b").empty()) << text;
    }
}

} // namespace
} // namespace korvel::settingsfile
