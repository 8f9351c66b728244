#include "settingsfile/SettingsSchema.h"

#include "protocol/Frame.h"
#include "protocol/ParameterBlock.h"
#include "protocol/SettingKeys.h"
#include "settingsfile/FileText.h"
#include "settingsfile/SettingsFile.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace korvel::settingsfile {

namespace {

using namespace korvel::protocol;

Node text(std::string_view value) {
    return Node::String(std::string(value));
}

Node number(std::size_t value) {
    return Node::Number(std::to_string(value));
}

Node texts(std::span<const std::string_view> values) {
    std::vector<Node> items;
    for (const std::string_view value : values) {
        items.push_back(text(value));
    }
    return Node::Array(std::move(items));
}

Node typed(std::string_view type, std::vector<Member> more = {}) {
    more.insert(more.begin(), {"type", text(type)});
    return Node::Object(std::move(more));
}

Node described(Node node, std::string_view description) {
    node.members.insert(node.members.begin(), {"description", text(description)});
    return node;
}

Node anyOf(std::vector<Node> choices) {
    return Node::Object({{"anyOf", Node::Array(std::move(choices))}});
}

Node ref(std::string_view name) {
    return Node::Object({{"$ref", text("#/$defs/" + std::string(name))}});
}

// A text of 1-4 digit fields between the given separators ("::" for HH:MM:SS),
// after `prefix` (a pattern).
Node form(std::string_view separators, std::string_view prefix = "") {
    std::string pattern = "^" + std::string(prefix);
    for (const char separator : separators) {
        pattern += "[0-9]{1,4}";
        pattern += separator;
    }
    pattern += "[0-9]{1,4}$";
    return typed("string", {{"pattern", text(pattern)}});
}

Node bytes(std::size_t count) {
    return typed(
        "array",
        {{"items", ref("byte")}, {"minItems", number(count)}, {"maxItems", number(count)}});
}

// A choice's name, or the code of one a logger holds that has no name.
Node choice(std::span<const std::string_view> names) {
    return anyOf({Node::Object({{"enum", texts(names)}}), ref("byte")});
}

Node object(std::vector<Member> properties, std::vector<std::string_view> required = {},
            std::vector<Member> more = {}) {
    std::vector<Member> members = {{"type", text("object")},
                                   {"properties", Node::Object(std::move(properties))}};
    if (!required.empty()) {
        members.push_back({"required", texts(required)});
    }
    members.push_back({"additionalProperties", Node::Bool(false)});
    members.insert(members.end(), more.begin(), more.end());
    return Node::Object(std::move(members));
}

// `key` is required when `property` is `value`, and not allowed otherwise.
Node onlyWith(std::string_view property, std::string_view value, std::string_view key) {
    return Node::Object({
        {"if",
         Node::Object({{"properties", Node::Object({{std::string(property),
                                                     Node::Object({{"const", text(value)}})}})},
                       {"required", texts(std::vector<std::string_view>{property})}})},
        {"then", Node::Object({{"required", texts(std::vector<std::string_view>{key})}})},
        {"else",
         Node::Object(
             {{"not", Node::Object({{"required", texts(std::vector<std::string_view>{key})}})}})},
    });
}

Node levelsNode() {
    std::vector<Member> properties;
    std::vector<std::string_view> required;
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        const std::string_view key = ThresholdKey(threshold);
        properties.push_back({std::string(key), IsOptional(threshold)
                                                    ? anyOf({typed("null"), ref("level")})
                                                    : ref("level")});
        if (!IsOptional(threshold)) {
            required.push_back(key);
        }
    }
    return object(std::move(properties), std::move(required));
}

Node settingNode(SettingKey key) {
    const SettingRow& row = RowOf(key);
    switch (key) {
    case SettingKey::SerialNumber:
        return described(typed("string"), "9 letters or digits");
    case SettingKey::TemperatureUnit:
    case SettingKey::StopMode:
    case SettingKey::ProbeMode:
    case SettingKey::CycleSwitch:
        return choice(row.choices);
    case SettingKey::TimeZone:
        return described(anyOf({form(":", "UTC[+-]"), bytes(3)}), "\"UTC+05:30\"");
    case SettingKey::LogInterval:
        return described(form("::"), "\"HH:MM:SS\"");
    case SettingKey::Start:
        return object({{"mode", choice(row.choices)},
                       {"delay", described(form(":"), "\"HH:MM\"")},
                       {"at", described(form("--T::"), "\"YYYY-MM-DDTHH:MM:SS\"")}},
                      {"mode"},
                      {{"allOf", Node::Array({onlyWith("mode", "delayed", "delay"),
                                              onlyWith("mode", "timed", "at")})}});
    case SettingKey::CalibrationTemperature:
    case SettingKey::CalibrationHumidity:
        return ref("decimal");
    case SettingKey::TemporaryPdf:
        return anyOf({typed("boolean"), ref("byte")});
    case SettingKey::Password:
        return described(anyOf({typed("null"), typed("string"), ref("byte")}),
                         "null: no password at startup");
    case SettingKey::TripInformation:
        return typed("string");
    case SettingKey::Alarm:
        return object({{"type", Node::Object({{"enum", texts(row.choices)}})},
                       {"low", ref("decimal")},
                       {"high", ref("decimal")},
                       {"levels", levelsNode()}},
                      {"type"},
                      {{"allOf", Node::Array({onlyWith("type", "single", "low"),
                                              onlyWith("type", "single", "high"),
                                              onlyWith("type", "multiple", "levels")})}});
    }
    return Node::Object({});
}

} // namespace

Node SettingsSchema() {
    std::vector<Member> properties = {
        {std::string(kSchemaKey), described(typed("string"), "this schema's address, for editors")},
        {std::string(kVersionKey),
         described(Node::Object({{"const", number(kFormatVersion)}}), "the format version")},
    };
    for (const SettingRow& row : kSettingTable) {
        if (row.section.empty()) {
            properties.push_back({std::string(row.name), settingNode(row.key)});
            continue;
        }
        auto section = std::find_if(properties.begin(), properties.end(),
                                    [&row](const Member& m) { return m.key == row.section; });
        if (section == properties.end()) {
            properties.push_back({std::string(row.section), object({})});
            section = std::prev(properties.end());
        }
        // The section's "properties", the second member object() gives it.
        section->value.members[1].value.members.push_back(
            {std::string(row.name), settingNode(row.key)});
    }
    const Node level = anyOf({
        object({{"limit", typed("number")},
                {"mode", Node::Object({{"enum", texts(kAlarmModeNames)}})},
                {"delay", described(form("::"), "\"HH:MM:SS\"")}},
               {"limit", "mode", "delay"}),
        bytes(width::kAlarmLevel),
    });
    Node root = object(std::move(properties), {kVersionKey});
    root.members.insert(
        root.members.begin(),
        {{"$schema", text("https://json-schema.org/draft/2020-12/schema")},
         {"$id", text("file://" + std::string(kSchemaInstallPath))},
         {"title", text("Korvel settings file")},
         {"description",
          text("A logger's settings, format 1, as korvel-cli read --json writes them. Keys left "
               "out keep the logger's values. Ranges are checked by korvel-cli check.")}});
    root.members.push_back(
        {"$defs", Node::Object({
                      {"byte", described(typed("integer",
                                               {{"minimum", number(0)}, {"maximum", number(255)}}),
                                         "a code or byte value a logger holds")},
                      {"decimal", described(anyOf({typed("number"), bytes(3)}),
                                            "a number with at most two decimals")},
                      {"level", level},
                  })});
    return root;
}

} // namespace korvel::settingsfile
