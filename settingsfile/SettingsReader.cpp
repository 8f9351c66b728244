// A file's tree to settings: every key checked against the key table, every
// value read into the setting it names, every problem listed.
#include "settingsfile/SettingsFile.h"

#include "protocol/Decimal.h"
#include "protocol/Numbers.h"
#include "protocol/SettingsCodec.h"
#include "protocol/Suggest.h"
#include "protocol/TimeZone.h"
#include "settingsfile/FileText.h"
#include "settingsfile/JsonTree.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <span>
#include <utility>

namespace korvel::settingsfile {

namespace {

using namespace korvel::protocol;

constexpr unsigned kByteMax = 255;

// A value as the message shows it: its JSON text, cut short when long.
std::string shown(const Node& node) {
    constexpr std::size_t kLongest = 40;
    std::string text = CompactText(node);
    if (text.size() > kLongest) {
        text = text.substr(0, kLongest) + "...";
    }
    return text;
}

class Reader {
public:
    std::vector<FileError> errors;

    void fail(std::string where, std::string message) {
        errors.push_back({std::move(where), std::move(message)});
    }

    // An object whose keys are all among `allowed`; an unknown key is reported
    // with the nearest allowed one.
    bool object(const Node& node, const std::string& path,
                const std::vector<std::string_view>& allowed, std::string_view what) {
        if (node.kind != Node::Kind::Object) {
            fail(path.empty() ? "file" : path, shown(node) + " is not " + std::string(what));
            return false;
        }
        for (const Member& member : node.members) {
            if (std::find(allowed.begin(), allowed.end(), member.key) != allowed.end()) {
                continue;
            }
            const std::string_view nearest = NearestKey(member.key, allowed);
            fail(JoinPath(path, member.key),
                 nearest.empty() ? std::string("unknown key")
                                 : "unknown key (did you mean " + JsonString(nearest) + "?)");
        }
        return true;
    }

    const Node* required(const Node& object, const std::string& path, std::string_view key,
                         const std::string& why) {
        const Node* found = object.Find(key);
        if (found == nullptr) {
            fail(JoinPath(path, key), "required" + why);
        }
        return found;
    }

    void notAllowed(const Node& object, const std::string& path, std::string_view key,
                    const std::string& why) {
        if (object.Find(key) != nullptr) {
            fail(JoinPath(path, key), "not allowed" + why);
        }
    }

    std::optional<std::uint8_t> byte(const Node& node) {
        if (node.kind != Node::Kind::Number || node.text.empty() ||
            !std::all_of(node.text.begin(), node.text.end(),
                         [](char c) { return c >= '0' && c <= '9'; }) ||
            node.text.size() > 3 || std::stoul(node.text) > kByteMax) {
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(std::stoul(node.text));
    }

    // A list of exactly N byte values: the bytes of a setting that names nothing.
    template <std::size_t N> std::optional<std::array<std::uint8_t, N>> bytes(const Node& node) {
        if (node.kind != Node::Kind::Array || node.items.size() != N) {
            return std::nullopt;
        }
        std::array<std::uint8_t, N> out{};
        for (std::size_t i = 0; i < N; ++i) {
            const auto value = byte(node.items[i]);
            if (!value) {
                return std::nullopt;
            }
            out[i] = *value;
        }
        return out;
    }

    template <typename T>
    std::optional<Coded<T>> choice(const Node& node, const std::string& path,
                                   std::span<const std::string_view> names) {
        if (node.kind == Node::Kind::String) {
            if (const std::optional<T> value = ChoiceNamed<T>(node.text, names)) {
                return Coded<T>(*value);
            }
        } else if (const auto code = byte(node)) {
            return Coded<T>::Unnamed(*code);
        }
        std::string list;
        for (const std::string_view name : names) {
            list += list.empty() ? "" : ", ";
            list += JsonString(name);
        }
        fail(path, shown(node) + " is not one of " + list);
        return std::nullopt;
    }

    std::optional<DecimalSetting> decimal(const Node& node, const std::string& path) {
        if (node.kind == Node::Kind::Number && node.text.find_first_of("eE") != std::string::npos) {
            fail(path, node.text + ": exponents are not accepted; write the number out");
            return std::nullopt;
        }
        if (node.kind == Node::Kind::Number) {
            const Result<Decimal> number = ParseDecimal(node.text);
            if (number) {
                return DecimalSetting(*number);
            }
            fail(path, number.failure().message + " (digits with at most two decimals)");
            return std::nullopt;
        }
        if (const auto triple = bytes<3>(node)) {
            return DecimalOf({(*triple)[0], (*triple)[1], (*triple)[2]});
        }
        fail(path, shown(node) + " is not a number");
        return std::nullopt;
    }

    // Latin-1 text from a JSON string.
    std::optional<std::string> text(const Node& node, const std::string& path) {
        if (node.kind != Node::Kind::String) {
            fail(path, shown(node) + " is not a text");
            return std::nullopt;
        }
        Latin1 converted = Latin1Of(node.text);
        if (converted.beyond) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", *converted.beyond);
            fail(path, std::string("character ") + code +
                           " cannot be stored (one byte a character: Latin-1 only)");
            return std::nullopt;
        }
        return std::move(converted.text);
    }

    // Runs of one to four digits separated by `separators` in turn ("HH:MM:SS"
    // is ":" ":"), as numbers.
    // `shownNode` is the value the message names, when `node` is a part of it.
    std::optional<std::vector<unsigned>> fields(const Node& node, const std::string& path,
                                                std::string_view separators, std::string_view form,
                                                const Node* shownNode = nullptr) {
        constexpr std::size_t kMostDigits = 4;
        std::vector<unsigned> numbers;
        bool fits = node.kind == Node::Kind::String;
        std::string_view rest = fits ? std::string_view(node.text) : std::string_view();
        for (std::size_t k = 0; fits && k <= separators.size(); ++k) {
            std::size_t digits = 0;
            unsigned value = 0;
            while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
                value = value * 10 + static_cast<unsigned>(rest[digits] - '0');
                ++digits;
                fits = digits <= kMostDigits;
            }
            fits = fits && digits >= 1;
            numbers.push_back(value);
            rest.remove_prefix(digits);
            if (fits && k < separators.size()) {
                fits = !rest.empty() && rest.front() == separators[k];
                rest.remove_prefix(fits ? 1 : 0);
            }
        }
        if (!fits || !rest.empty()) {
            fail(path,
                 shown(shownNode ? *shownNode : node) + " is not of the form " + std::string(form));
            return std::nullopt;
        }
        return numbers;
    }

    // Each of `numbers` from `first` on as a byte.
    std::optional<std::vector<std::uint8_t>> fieldBytes(const std::vector<unsigned>& numbers,
                                                        const Node& node, const std::string& path,
                                                        std::size_t first = 0) {
        std::vector<std::uint8_t> out;
        for (std::size_t i = first; i < numbers.size(); ++i) {
            if (numbers[i] > kByteMax) {
                fail(path, shown(node) + " has a number above 255");
                return std::nullopt;
            }
            out.push_back(static_cast<std::uint8_t>(numbers[i]));
        }
        return out;
    }

    std::optional<Duration> duration(const Node& node, const std::string& path) {
        const auto numbers = fields(node, path, "::", "\"HH:MM:SS\"");
        const auto b = numbers ? fieldBytes(*numbers, node, path) : std::nullopt;
        if (!b) {
            return std::nullopt;
        }
        return Duration{(*b)[0], (*b)[1], (*b)[2]};
    }

    std::optional<StartDelay> startDelay(const Node& node, const std::string& path) {
        const auto numbers = fields(node, path, ":", "\"HH:MM\"");
        const auto b = numbers ? fieldBytes(*numbers, node, path) : std::nullopt;
        if (!b) {
            return std::nullopt;
        }
        return StartDelay{(*b)[0], (*b)[1]};
    }

    std::optional<DateTime> dateTime(const Node& node, const std::string& path) {
        const auto numbers = fields(node, path, "--T::", "\"YYYY-MM-DDTHH:MM:SS\"");
        const auto b = numbers ? fieldBytes(*numbers, node, path, 1) : std::nullopt;
        if (!b) {
            return std::nullopt;
        }
        // The year's range is the settings' check's, which names it.
        const auto year = static_cast<int>((*numbers)[0]);
        return DateTime{year, (*b)[0], (*b)[1], (*b)[2], (*b)[3], (*b)[4]};
    }

    std::optional<TimeZoneSetting> timeZone(const Node& node, const std::string& path) {
        if (const auto triple = bytes<3>(node)) {
            return TimeZoneOf({(*triple)[0], (*triple)[1], (*triple)[2]});
        }
        const std::string_view text =
            node.kind == Node::Kind::String ? std::string_view(node.text) : std::string_view();
        const bool prefixed =
            text.size() > 4 && text.substr(0, 3) == "UTC" && (text[3] == '+' || text[3] == '-');
        const std::string form = "\"UTC+05:30\"";
        if (!prefixed) {
            fail(path, shown(node) + " is not of the form " + form);
            return std::nullopt;
        }
        const auto numbers =
            fields(Node::String(std::string(text.substr(4))), path, ":", form, &node);
        const auto b = numbers ? fieldBytes(*numbers, node, path) : std::nullopt;
        if (!b) {
            return std::nullopt;
        }
        const std::uint8_t sign = text[3] == '+' ? value::kPlus : value::kMinus;
        return TimeZoneOf({sign, (*b)[0], (*b)[1]});
    }
};

std::optional<Start> readStart(Reader& r, const Node& node, const std::string& path) {
    if (!r.object(node, path, {"mode", "delay", "at"}, "an object such as {\"mode\": \"now\"}")) {
        return std::nullopt;
    }
    const Node* modeNode = r.required(node, path, "mode", " (\"now\", \"delayed\" or \"timed\")");
    if (modeNode == nullptr) {
        return std::nullopt;
    }
    const auto mode = r.choice<StartMode>(*modeNode, JoinPath(path, "mode"), kStartNames);
    if (!mode) {
        // The other parts are still read, so that their errors show at once.
        if (const Node* delay = node.Find("delay")) {
            r.startDelay(*delay, JoinPath(path, "delay"));
        }
        if (const Node* at = node.Find("at")) {
            r.dateTime(*at, JoinPath(path, "at"));
        }
        return std::nullopt;
    }
    Start start;
    start.mode = *mode;
    if (*mode != StartMode::Delayed) {
        r.notAllowed(node, path, "delay", " unless \"mode\" is \"delayed\"");
    }
    if (*mode != StartMode::Timing) {
        r.notAllowed(node, path, "at", " unless \"mode\" is \"timed\"");
    }
    if (*mode == StartMode::Delayed) {
        const Node* delay = r.required(node, path, "delay", " with \"mode\": \"delayed\"");
        const auto value = delay ? r.startDelay(*delay, JoinPath(path, "delay")) : std::nullopt;
        if (!value) {
            return std::nullopt;
        }
        start.delay = *value;
    } else if (*mode == StartMode::Timing) {
        const Node* at = r.required(node, path, "at", " with \"mode\": \"timed\"");
        const auto value = at ? r.dateTime(*at, JoinPath(path, "at")) : std::nullopt;
        if (!value) {
            return std::nullopt;
        }
        start.at = *value;
    }
    return start;
}

std::optional<LevelSetting> readLevel(Reader& r, const Node& node, const std::string& path) {
    if (const auto raw = r.bytes<width::kAlarmLevel>(node)) {
        return LevelSetting::Unnamed(*raw);
    }
    if (!r.object(node, path, {"limit", "mode", "delay"},
                  "null or an object such as {\"limit\": 25.5, \"mode\": \"single\", "
                  "\"delay\": \"00:10:00\"}")) {
        return std::nullopt;
    }
    const Node* limit = r.required(node, path, "limit", "");
    const Node* mode = r.required(node, path, "mode", " (\"single\" or \"cumulative\")");
    const Node* delay = r.required(node, path, "delay", " (\"HH:MM:SS\")");
    const auto limitValue = limit ? r.decimal(*limit, JoinPath(path, "limit")) : std::nullopt;
    const auto modeValue =
        mode ? r.choice<AlarmMode>(*mode, JoinPath(path, "mode"), kAlarmModeNames) : std::nullopt;
    const auto delayValue = delay ? r.duration(*delay, JoinPath(path, "delay")) : std::nullopt;
    if (!limitValue || !modeValue || !delayValue) {
        return std::nullopt;
    }
    // A level holds a plain limit and mode; the bytes of one that names
    // nothing come as a list instead.
    if (!limitValue->named() || !modeValue->named()) {
        r.fail(path, "limit and mode of a level are a number and a name; give the level's "
                     "seven bytes as a list to keep bytes that name nothing");
        return std::nullopt;
    }
    return AlarmLevel{limitValue->value(), modeValue->value(), *delayValue};
}

std::optional<Alarm> readAlarm(Reader& r, const Node& node, const std::string& path) {
    if (!r.object(node, path, {"type", "low", "high", "levels"},
                  "an object such as {\"type\": \"none\"}")) {
        return std::nullopt;
    }
    const Node* typeNode =
        r.required(node, path, "type", " (\"none\", \"single\" or \"multiple\")");
    if (typeNode == nullptr) {
        return std::nullopt;
    }
    const auto type = r.choice<AlarmChoice>(*typeNode, JoinPath(path, "type"), kAlarmNames);
    if (!type || !type->named()) {
        if (type) {
            r.fail(JoinPath(path, "type"),
                   shown(*typeNode) + " is not one of \"none\", \"single\", \"multiple\"");
        }
        return std::nullopt;
    }
    Alarm alarm;
    alarm.kind = type->value();
    const std::string single = " with \"type\": \"single\"";
    const std::string multiple = " with \"type\": \"multiple\"";
    if (alarm.kind != AlarmChoice::Single) {
        r.notAllowed(node, path, "low", " unless \"type\" is \"single\"");
        r.notAllowed(node, path, "high", " unless \"type\" is \"single\"");
    }
    if (alarm.kind != AlarmChoice::Multiple) {
        r.notAllowed(node, path, "levels", " unless \"type\" is \"multiple\"");
    }
    bool ok = true;
    if (alarm.kind == AlarmChoice::Single) {
        const Node* low = r.required(node, path, "low", single);
        const Node* high = r.required(node, path, "high", single);
        const auto lowValue = low ? r.decimal(*low, JoinPath(path, "low")) : std::nullopt;
        const auto highValue = high ? r.decimal(*high, JoinPath(path, "high")) : std::nullopt;
        ok = lowValue && highValue;
        if (ok) {
            alarm.low = *lowValue;
            alarm.high = *highValue;
        }
    } else if (alarm.kind == AlarmChoice::Multiple) {
        const Node* levels = r.required(node, path, "levels", multiple);
        const std::string levelsPath = JoinPath(path, "levels");
        std::vector<std::string_view> keys;
        for (std::size_t i = 0; i < kThresholdCount; ++i) {
            keys.push_back(ThresholdKey(static_cast<Threshold>(i)));
        }
        ok = levels != nullptr && r.object(*levels, levelsPath, keys, "an object of alarm levels");
        // Every level is read, also after a wrong one, so that all errors show at once.
        const bool readLevels = ok;
        for (std::size_t i = 0; readLevels && i < kThresholdCount; ++i) {
            const auto threshold = static_cast<Threshold>(i);
            const Node* level = levels->Find(ThresholdKey(threshold));
            const std::string levelPath = JoinPath(levelsPath, ThresholdKey(threshold));
            if (level == nullptr || level->kind == Node::Kind::Null) {
                if (!IsOptional(threshold)) {
                    r.fail(levelPath, "required" + multiple);
                    ok = false;
                }
                continue;
            }
            alarm.levels[i] = readLevel(r, *level, levelPath);
            ok = ok && alarm.levels[i].has_value();
        }
    }
    if (!ok) {
        return std::nullopt;
    }
    return alarm;
}

// Reads the setting `key` from its node into `into`; false when the node is wrong.
bool readSetting(Reader& r, SettingKey key, const Node& n, const std::string& p,
                 LoggerSettings& into) {
    const auto take = [](auto& member, auto value) {
        if (value) {
            member = std::move(*value);
        }
        return value.has_value();
    };
    switch (key) {
    case SettingKey::SerialNumber:
        return take(into.serialNumber, r.text(n, p));
    case SettingKey::TemperatureUnit:
        return take(into.temperatureUnit, r.choice<TemperatureUnit>(n, p, kUnitNames));
    case SettingKey::TimeZone:
        return take(into.timeZone, r.timeZone(n, p));
    case SettingKey::LogInterval:
        return take(into.logInterval, r.duration(n, p));
    case SettingKey::Start:
        return take(into.start, readStart(r, n, p));
    case SettingKey::StopMode:
        return take(into.stopMode, r.choice<StopMode>(n, p, kStopNames));
    case SettingKey::ProbeMode:
        return take(into.probeMode, r.choice<ProbeMode>(n, p, kProbeNames));
    case SettingKey::CycleSwitch:
        return take(into.cycleSwitch, r.choice<CycleSwitch>(n, p, kCycleNames));
    case SettingKey::CalibrationTemperature:
        return take(into.calibration.temperature, r.decimal(n, p));
    case SettingKey::CalibrationHumidity:
        return take(into.calibration.humidity, r.decimal(n, p));
    case SettingKey::TemporaryPdf:
        if (n.kind == Node::Kind::Bool) {
            into.temporaryPdf = n.boolean;
            return true;
        }
        if (const auto code = r.byte(n)) {
            into.temporaryPdf = Coded<bool>::Unnamed(*code);
            return true;
        }
        r.fail(p, shown(n) + " is not true or false");
        return false;
    case SettingKey::Password:
        if (n.kind == Node::Kind::Null) {
            into.password = std::optional<std::string>();
            return true;
        }
        if (const auto code = r.byte(n)) {
            into.password = PasswordSetting::Unnamed(*code);
            return true;
        }
        if (auto text = r.text(n, p)) {
            into.password = std::optional<std::string>(std::move(*text));
            return true;
        }
        return false;
    case SettingKey::TripInformation:
        return take(into.tripInformation, r.text(n, p));
    case SettingKey::Alarm:
        return take(into.alarm, readAlarm(r, n, p));
    }
    return false;
}

// What a section is, for the message when it is something else.
std::string_view sectionWhat(std::string_view section) {
    return section == "calibration" ? "an object such as {\"temperature\": -1.5, \"humidity\": 0}"
                                    : "an object";
}

// The keys a section ("calibration") allows.
std::vector<std::string_view> sectionKeys(std::string_view section) {
    std::vector<std::string_view> keys;
    for (const SettingRow& row : kSettingTable) {
        if (row.section == section) {
            keys.push_back(row.name);
        }
    }
    return keys;
}

SettingsFile readSettings(Reader& r, const Node& root) {
    SettingsFile file;
    std::vector<std::string_view> topKeys = {kVersionKey, kSchemaKey};
    for (const SettingRow& row : kSettingTable) {
        const std::string_view top = row.section.empty() ? row.name : row.section;
        if (std::find(topKeys.begin(), topKeys.end(), top) == topKeys.end()) {
            topKeys.push_back(top);
        }
    }
    if (!r.object(root, "", topKeys, "a settings file: a JSON object such as {\"korvel\": 1}")) {
        return file;
    }
    if (const Node* version = r.required(root, "", kVersionKey, " (the format version, 1)")) {
        if (version->kind != Node::Kind::Number ||
            version->text != std::to_string(kFormatVersion)) {
            r.fail(std::string(kVersionKey),
                   shown(*version) + " is not a format this program reads (format 1)");
        }
    }
    if (const Node* schema = root.Find(kSchemaKey);
        schema != nullptr && schema->kind != Node::Kind::String) {
        r.fail(std::string(kSchemaKey),
               shown(*schema) + " is not a text (the address of the file's JSON Schema)");
    }
    // The sections met so far, and whether each is an object of known keys.
    std::vector<std::pair<std::string_view, bool>> sections;
    for (const SettingRow& row : kSettingTable) {
        const Node* parent = &root;
        if (!row.section.empty()) {
            parent = root.Find(row.section);
            if (parent == nullptr) {
                continue;
            }
            auto seen = std::find_if(sections.begin(), sections.end(), [&row](const auto& known) {
                return known.first == row.section;
            });
            if (seen == sections.end()) {
                sections.emplace_back(row.section,
                                      r.object(*parent, std::string(row.section),
                                               sectionKeys(row.section), sectionWhat(row.section)));
                seen = std::prev(sections.end());
            }
            if (!seen->second) {
                continue;
            }
        }
        if (const Node* node = parent->Find(row.name)) {
            if (readSetting(r, row.key, *node, std::string(row.path), file.settings)) {
                file.keys.Add(row.key);
            }
        }
    }
    return file;
}

// The numbers the key at `path` takes, for a number too large to read; empty
// for a key that takes none or is unknown.
std::string numbersTakenAt(std::string_view path) {
    const auto decimals = [](unsigned integerMax) {
        const std::string most = std::to_string(integerMax) + ".99";
        return "-" + most + " to " + most + " with at most two decimals";
    };
    const auto isRow = [path](SettingKey key) { return path == KeyPath(key); };
    const bool levelPart = path.starts_with("alarm.levels.");
    if (path == kVersionKey) {
        return "1, the format version";
    }
    if (path.ends_with("]")) {
        return "a byte value, 0-255";
    }
    if (isRow(SettingKey::CalibrationTemperature) || isRow(SettingKey::CalibrationHumidity) ||
        path == "alarm.low" || path == "alarm.high") {
        return decimals(kPlainByteMax);
    }
    if (levelPart && path.ends_with(".limit")) {
        return decimals(kPackedBcdMax);
    }
    const bool choice = std::any_of(kSettingTable.begin(), kSettingTable.end(), [&](auto& row) {
        return row.path == path && !row.choices.empty() && row.key != SettingKey::Start &&
               row.key != SettingKey::Alarm;
    });
    if (choice || isRow(SettingKey::TemporaryPdf) || isRow(SettingKey::Password) ||
        path == "start.mode" || path == "alarm.type" || (levelPart && path.ends_with(".mode"))) {
        return "a name, or a code 0-255 the logger holds";
    }
    return {};
}

// A JSON error as a settings file's: a number too large to read with its
// key's range, more text after the object said plainly.
FileError fileErrorOf(JsonError error) {
    if (error.tooLarge) {
        const std::string taken = numbersTakenAt(error.where);
        if (!taken.empty()) {
            error.message += " (" + error.where + " takes " + taken + ")";
        } else if (error.where.starts_with("line ")) {
            error.message += "; a settings file is a JSON object such as {\"korvel\": 1}";
        }
    } else if (error.message.ends_with("expected end of input")) {
        error.message = "more after the end of the settings (only white space may follow the "
                        "closing brace)";
    }
    return {std::move(error.where), std::move(error.message)};
}

} // namespace

std::string_view NearestKey(std::string_view key, const std::vector<std::string_view>& keys) {
    constexpr std::size_t kShortestPrefix = 4;
    std::string_view nearest;
    std::size_t nearestDistance = 0;
    for (const std::string_view candidate : keys) {
        const std::size_t distance = protocol::EditDistance(key, candidate);
        // A third of the shorter name may differ (at least one letter): "serial_numbr",
        // "timezone"; a name cut short is near too: "trip_info".
        const std::size_t allowed =
            std::max<std::size_t>(1, std::min(key.size(), candidate.size()) / 3);
        const bool cutShort = key.size() >= kShortestPrefix && candidate.starts_with(key);
        if ((distance <= allowed || cutShort) && (nearest.empty() || distance < nearestDistance)) {
            nearest = candidate;
            nearestDistance = distance;
        }
    }
    return nearest;
}

ParsedFile ParseSettingsFile(std::string_view text) {
    ParsedFile parsed;
    if (text.size() > kMaxFileBytes) {
        parsed.errors.push_back({"file", "larger than 1 MiB; a settings file is a few hundred "
                                         "bytes"});
        return parsed;
    }
    parsed.errors = TextFaults(text);
    if (!parsed.errors.empty()) {
        return parsed;
    }
    ParsedJson json = ParseJson(WithoutByteOrderMark(text));
    for (JsonError& error : json.errors) {
        parsed.errors.push_back(fileErrorOf(std::move(error)));
    }
    // After duplicate keys alone the tree is whole, and its other errors are found too.
    if (!json.complete) {
        return parsed;
    }
    Reader reader;
    parsed.read = readSettings(reader, json.root);
    std::move(reader.errors.begin(), reader.errors.end(), std::back_inserter(parsed.errors));
    if (parsed.errors.empty()) {
        parsed.file = parsed.read;
    }
    return parsed;
}

} // namespace korvel::settingsfile
