// Settings to a file's tree, and from the tree to the file's text, its
// setting lines and the changes between two settings.
#include "settingsfile/SettingsFile.h"

#include "protocol/Decimal.h"
#include "protocol/SettingsCodec.h"
#include "protocol/SettingsText.h"
#include "protocol/TimeZone.h"
#include "settingsfile/FileText.h"
#include "settingsfile/JsonTree.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <span>

namespace korvel::settingsfile {

namespace {

using namespace korvel::protocol;

Node stringNode(std::string_view latin1) {
    return Node::String(Utf8Text(latin1));
}

Node byteNumber(std::uint8_t byte) {
    return Node::Number(std::to_string(byte));
}

Node bytesNode(std::initializer_list<std::uint8_t> bytes) {
    std::vector<Node> items;
    for (const std::uint8_t byte : bytes) {
        items.push_back(byteNumber(byte));
    }
    return Node::Array(std::move(items));
}

template <typename T> Node nameNode(T value, std::span<const std::string_view> names) {
    return Node::String(std::string(ChoiceName(value, names)));
}

template <typename T>
Node choiceNode(const Coded<T>& setting, std::span<const std::string_view> names) {
    if (const std::uint8_t* code = setting.unnamed()) {
        return byteNumber(*code);
    }
    return nameNode(setting.value(), names);
}

Node decimalNode(const DecimalSetting& setting) {
    if (const DecimalTriple* bytes = setting.unnamed()) {
        return bytesNode({bytes->sign, bytes->integer, bytes->hundredths});
    }
    const Decimal& number = setting.value();
    // JSON reads "-0" as a plain zero; "-0.00" keeps its sign.
    if (number.negative && number.hundredths == 0) {
        return Node::Number("-0.00");
    }
    return Node::Number(DecimalText(number));
}

Node timeZoneNode(const TimeZoneSetting& zone) {
    if (const TimeZoneBytes* bytes = zone.unnamed()) {
        if (bytes->sign != value::kPlus && bytes->sign != value::kMinus) {
            return bytesNode({bytes->sign, bytes->hours, bytes->minutes});
        }
        return Node::String(TimeZoneText(*bytes));
    }
    return Node::String(TimeZoneText(TimeZoneBytesOf(zone.value())));
}

Node startNode(const Start& start) {
    std::vector<Member> members = {{"mode", choiceNode(start.mode, kStartNames)}};
    if (start.mode == StartMode::Delayed) {
        members.push_back({"delay", Node::String(StartDelayText(start.delay))});
    } else if (start.mode == StartMode::Timing) {
        members.push_back({"at", Node::String(DateTimeText(start.at))});
    }
    return Node::Object(std::move(members));
}

Node passwordNode(const PasswordSetting& password) {
    if (const std::uint8_t* code = password.unnamed()) {
        return byteNumber(*code);
    }
    return password.value() ? stringNode(*password.value()) : Node::Null();
}

Node temporaryPdfNode(const Coded<bool>& setting) {
    if (const std::uint8_t* code = setting.unnamed()) {
        return byteNumber(*code);
    }
    return Node::Bool(setting.value());
}

Node levelNode(const std::optional<LevelSetting>& setting) {
    if (!setting) {
        return Node::Null();
    }
    if (const LevelBytes* bytes = setting->unnamed()) {
        std::vector<Node> items;
        for (const std::uint8_t byte : *bytes) {
            items.push_back(byteNumber(byte));
        }
        return Node::Array(std::move(items));
    }
    const AlarmLevel& level = setting->value();
    return Node::Object({{"limit", decimalNode(level.limit)},
                         {"mode", nameNode(level.mode, kAlarmModeNames)},
                         {"delay", Node::String(DurationText(level.delay))}});
}

Node alarmNode(const Alarm& alarm) {
    std::vector<Member> members = {{"type", nameNode(alarm.kind, kAlarmNames)}};
    if (alarm.kind == AlarmChoice::Single) {
        members.push_back({"low", decimalNode(alarm.low)});
        members.push_back({"high", decimalNode(alarm.high)});
    } else if (alarm.kind == AlarmChoice::Multiple) {
        std::vector<Member> levels;
        for (std::size_t i = 0; i < kThresholdCount; ++i) {
            levels.push_back(
                {std::string(ThresholdKey(static_cast<Threshold>(i))), levelNode(alarm.levels[i])});
        }
        members.push_back({"levels", Node::Object(std::move(levels))});
    }
    return Node::Object(std::move(members));
}

Node settingNode(SettingKey key, const LoggerSettings& s) {
    switch (key) {
    case SettingKey::SerialNumber:
        return stringNode(s.serialNumber);
    case SettingKey::TemperatureUnit:
        return choiceNode(s.temperatureUnit, kUnitNames);
    case SettingKey::TimeZone:
        return timeZoneNode(s.timeZone);
    case SettingKey::LogInterval:
        return Node::String(DurationText(s.logInterval));
    case SettingKey::Start:
        return startNode(s.start);
    case SettingKey::StopMode:
        return choiceNode(s.stopMode, kStopNames);
    case SettingKey::ProbeMode:
        return choiceNode(s.probeMode, kProbeNames);
    case SettingKey::CycleSwitch:
        return choiceNode(s.cycleSwitch, kCycleNames);
    case SettingKey::CalibrationTemperature:
        return decimalNode(s.calibration.temperature);
    case SettingKey::CalibrationHumidity:
        return decimalNode(s.calibration.humidity);
    case SettingKey::TemporaryPdf:
        return temporaryPdfNode(s.temporaryPdf);
    case SettingKey::Password:
        return passwordNode(s.password);
    case SettingKey::TripInformation:
        return stringNode(TripTextOf(s.tripInformation));
    case SettingKey::Alarm:
        return alarmNode(s.alarm);
    }
    return Node::Null();
}

Node settingsNode(const LoggerSettings& s) {
    std::vector<Member> members = {
        {std::string(kVersionKey), Node::Number(std::to_string(kFormatVersion))}};
    for (const SettingRow& row : kSettingTable) {
        Node node = settingNode(row.key, s);
        if (row.section.empty()) {
            members.push_back({std::string(row.name), std::move(node)});
            continue;
        }
        auto section = std::find_if(members.begin(), members.end(),
                                    [&row](const Member& m) { return m.key == row.section; });
        if (section == members.end()) {
            members.push_back({std::string(row.section), Node::Object({})});
            section = std::prev(members.end());
        }
        section->value.members.push_back({std::string(row.name), std::move(node)});
    }
    return Node::Object(std::move(members));
}

void flatten(const Node& node, const std::string& path, std::vector<SettingLine>& lines) {
    if (node.kind != Node::Kind::Object) {
        lines.push_back({path, CompactText(node)});
        return;
    }
    for (const Member& member : node.members) {
        flatten(member.value, JoinPath(path, member.key), lines);
    }
}

void diff(const Node* before, const Node* after, const std::string& path,
          std::vector<Change>& changes) {
    const auto isObject = [](const Node* node) {
        return node != nullptr && node->kind == Node::Kind::Object;
    };
    // An object beside a missing value is compared member by member; beside
    // anything else (null, a list of bytes) it is one change.
    if (isObject(before) || isObject(after)) {
        const bool together =
            (isObject(before) || before == nullptr) && (isObject(after) || after == nullptr);
        if (together) {
            static const Node empty = Node::Object({});
            const Node& b = before ? *before : empty;
            const Node& a = after ? *after : empty;
            std::size_t i = 0;
            std::size_t j = 0;
            while (i < b.members.size() || j < a.members.size()) {
                if (i < b.members.size() && j < a.members.size() &&
                    b.members[i].key == a.members[j].key) {
                    diff(&b.members[i].value, &a.members[j].value, JoinPath(path, b.members[i].key),
                         changes);
                    ++i;
                    ++j;
                } else if (i < b.members.size() && a.Find(b.members[i].key) == nullptr) {
                    diff(&b.members[i].value, nullptr, JoinPath(path, b.members[i].key), changes);
                    ++i;
                } else {
                    diff(nullptr, &a.members[j].value, JoinPath(path, a.members[j].key), changes);
                    ++j;
                }
            }
            return;
        }
    }
    if (before != nullptr && after != nullptr && *before == *after) {
        return;
    }
    const bool secret = IsSecretPath(path);
    const auto shown = [secret](const Node* value) {
        if (value == nullptr) {
            return std::string(kAbsent);
        }
        return secret && value->kind == Node::Kind::String ? std::string(kHidden)
                                                           : CompactText(*value);
    };
    changes.push_back({path, shown(before), shown(after)});
}

} // namespace

std::string WriteSettingsFile(const LoggerSettings& settings) {
    return PrettyText(settingsNode(settings));
}

std::vector<SettingLine> SettingLines(const LoggerSettings& settings) {
    std::vector<SettingLine> lines;
    const Node root = settingsNode(settings);
    for (const Member& member : root.members) {
        if (member.key != kVersionKey) {
            flatten(member.value, member.key, lines);
        }
    }
    return lines;
}

std::vector<Change> Changes(const LoggerSettings& before, const LoggerSettings& after) {
    std::vector<Change> changes;
    const Node a = settingsNode(before);
    const Node b = settingsNode(after);
    diff(&a, &b, "", changes);
    return changes;
}

} // namespace korvel::settingsfile
