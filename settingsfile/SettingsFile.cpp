#include "settingsfile/SettingsFile.h"

#include "protocol/Decimal.h"
#include "protocol/SettingsCodec.h"
#include "protocol/TimeZone.h"
#include "settingsfile/JsonTree.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <utility>

namespace korvel::settingsfile {

namespace {

using namespace korvel::protocol;

template <typename T> using Names = std::initializer_list<std::pair<T, std::string_view>>;

const Names<TemperatureUnit> kUnitNames = {{TemperatureUnit::Celsius, "C"},
                                           {TemperatureUnit::Fahrenheit, "F"}};
const Names<StartMode> kStartNames = {
    {StartMode::RightNow, "now"}, {StartMode::Delayed, "delayed"}, {StartMode::Timing, "timed"}};
const Names<StopMode> kStopNames = {{StopMode::Button, "button"},
                                    {StopMode::Software, "software"},
                                    {StopMode::ButtonOrSoftware, "button_or_software"}};
const Names<ProbeMode> kProbeNames = {{ProbeMode::Internal, "internal"},
                                      {ProbeMode::External, "external"}};
const Names<CycleSwitch> kCycleNames = {{CycleSwitch::Opened, "opened"},
                                        {CycleSwitch::Closed, "closed"}};
const Names<AlarmMode> kAlarmModeNames = {{AlarmMode::Single, "single"},
                                          {AlarmMode::Cumulative, "cumulative"}};
const Names<AlarmChoice> kAlarmNames = {{AlarmChoice::None, "none"},
                                        {AlarmChoice::Single, "single"},
                                        {AlarmChoice::Multiple, "multiple"}};

constexpr std::string_view kKorvel = "korvel";
constexpr std::string_view kSerialNumber = "serial_number";
constexpr std::string_view kTemperatureUnit = "temperature_unit";
constexpr std::string_view kTimeZone = "time_zone";
constexpr std::string_view kLogInterval = "log_interval";
constexpr std::string_view kStart = "start";
constexpr std::string_view kStopMode = "stop_mode";
constexpr std::string_view kProbeMode = "probe_mode";
constexpr std::string_view kCycleSwitch = "cycle_switch";
constexpr std::string_view kCalibration = "calibration";
constexpr std::string_view kTemporaryPdf = "temporary_pdf";
constexpr std::string_view kPassword = "password";
constexpr std::string_view kTripInformation = "trip_information";
constexpr std::string_view kAlarm = "alarm";

const std::initializer_list<std::string_view> kTopKeys = {
    kKorvel,       kSerialNumber, kTemperatureUnit, kTimeZone,    kLogInterval,
    kStart,        kStopMode,     kProbeMode,       kCycleSwitch, kCalibration,
    kTemporaryPdf, kPassword,     kTripInformation, kAlarm};

constexpr unsigned kByteMax = 255;
constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';

std::string join(std::string_view path, std::string_view key) {
    std::string joined(path);
    if (!joined.empty()) {
        joined += '.';
    }
    joined.append(key);
    return joined;
}

std::string twoDigits(unsigned number) {
    char text[8];
    std::snprintf(text, sizeof text, "%02u", number);
    return text;
}

// ---- Texts: Latin-1 in the logger, UTF-8 in the file ----

std::string utf8Of(std::string_view latin1) {
    std::string out;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// The Latin-1 bytes of UTF-8 text (which the JSON reader has checked), or the
// first character beyond Latin-1.
struct Latin1 {
    std::string text;
    std::optional<std::uint32_t> beyond;
};

Latin1 latin1Of(std::string_view utf8) {
    Latin1 out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (code > 0xFF) {
            out.beyond = code;
            return out;
        }
        out.text += static_cast<char>(code);
        i += length;
    }
    return out;
}

std::string tripBytesOf(std::string_view text, std::string_view held) {
    if (TripTextOf(held) == text) {
        return std::string(held);
    }
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kLineFeed && (i == 0 || text[i - 1] != kCarriageReturn)) {
            bytes += kCarriageReturn;
        }
        bytes += text[i];
    }
    return bytes;
}

// ---- Settings to the tree ----

Node stringNode(std::string_view latin1) {
    return Node::String(utf8Of(latin1));
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

template <typename T> std::string_view nameOf(const T& value, Names<T> names) {
    for (const auto& [named, name] : names) {
        if (named == value) {
            return name;
        }
    }
    return names.begin()->second;
}

template <typename T> Node choiceNode(const Coded<T>& setting, Names<T> names) {
    if (const std::uint8_t* code = setting.unnamed()) {
        return byteNumber(*code);
    }
    return Node::String(std::string(nameOf(setting.value(), names)));
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

std::string durationText(const Duration& duration) {
    return twoDigits(duration.hours) + ":" + twoDigits(duration.minutes) + ":" +
           twoDigits(duration.seconds);
}

std::string dateTimeText(const DateTime& at) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u", at.year, at.month, at.day,
                  at.hour, at.minute, at.second);
    return text;
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
        members.push_back({"delay", Node::String(twoDigits(start.delay.hours) + ":" +
                                                 twoDigits(start.delay.minutes))});
    } else if (start.mode == StartMode::Timing) {
        members.push_back({"at", Node::String(dateTimeText(start.at))});
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
                         {"mode", Node::String(std::string(nameOf(level.mode, kAlarmModeNames)))},
                         {"delay", Node::String(durationText(level.delay))}});
}

Node alarmNode(const Alarm& alarm) {
    std::vector<Member> members = {
        {"type", Node::String(std::string(nameOf(alarm.kind, kAlarmNames)))}};
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

Node settingsNode(const LoggerSettings& s) {
    return Node::Object({
        {std::string(kKorvel), Node::Number(std::to_string(kFormatVersion))},
        {std::string(kSerialNumber), stringNode(s.serialNumber)},
        {std::string(kTemperatureUnit), choiceNode(s.temperatureUnit, kUnitNames)},
        {std::string(kTimeZone), timeZoneNode(s.timeZone)},
        {std::string(kLogInterval), Node::String(durationText(s.logInterval))},
        {std::string(kStart), startNode(s.start)},
        {std::string(kStopMode), choiceNode(s.stopMode, kStopNames)},
        {std::string(kProbeMode), choiceNode(s.probeMode, kProbeNames)},
        {std::string(kCycleSwitch), choiceNode(s.cycleSwitch, kCycleNames)},
        {std::string(kCalibration),
         Node::Object({{"temperature", decimalNode(s.calibration.temperature)},
                       {"humidity", decimalNode(s.calibration.humidity)}})},
        {std::string(kTemporaryPdf), temporaryPdfNode(s.temporaryPdf)},
        {std::string(kPassword), passwordNode(s.password)},
        {std::string(kTripInformation), stringNode(TripTextOf(s.tripInformation))},
        {std::string(kAlarm), alarmNode(s.alarm)},
    });
}

void flatten(const Node& node, const std::string& path, std::vector<SettingLine>& lines) {
    if (node.kind != Node::Kind::Object) {
        lines.push_back({path, CompactText(node)});
        return;
    }
    for (const Member& member : node.members) {
        flatten(member.value, join(path, member.key), lines);
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
                    diff(&b.members[i].value, &a.members[j].value, join(path, b.members[i].key),
                         changes);
                    ++i;
                    ++j;
                } else if (i < b.members.size() && a.Find(b.members[i].key) == nullptr) {
                    diff(&b.members[i].value, nullptr, join(path, b.members[i].key), changes);
                    ++i;
                } else {
                    diff(nullptr, &a.members[j].value, join(path, a.members[j].key), changes);
                    ++j;
                }
            }
            return;
        }
    }
    if (before != nullptr && after != nullptr && *before == *after) {
        return;
    }
    changes.push_back({path, before ? CompactText(*before) : std::string(kAbsent),
                       after ? CompactText(*after) : std::string(kAbsent)});
}

// ---- The tree to settings ----

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

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
                std::initializer_list<std::string_view> allowed, std::string_view what) {
        if (node.kind != Node::Kind::Object) {
            fail(path.empty() ? "file" : path, shown(node) + " is not " + std::string(what));
            return false;
        }
        for (const Member& member : node.members) {
            if (std::find(allowed.begin(), allowed.end(), member.key) != allowed.end()) {
                continue;
            }
            std::string_view nearest = *allowed.begin();
            for (const std::string_view key : allowed) {
                if (editDistance(member.key, key) < editDistance(member.key, nearest)) {
                    nearest = key;
                }
            }
            fail(join(path, member.key), "unknown key (did you mean " + JsonString(nearest) + "?)");
        }
        return true;
    }

    const Node* required(const Node& object, const std::string& path, std::string_view key,
                         const std::string& why) {
        const Node* found = object.Find(key);
        if (found == nullptr) {
            fail(join(path, key), "required" + why);
        }
        return found;
    }

    void notAllowed(const Node& object, const std::string& path, std::string_view key,
                    const std::string& why) {
        if (object.Find(key) != nullptr) {
            fail(join(path, key), "not allowed" + why);
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
    std::optional<Coded<T>> choice(const Node& node, const std::string& path, Names<T> names) {
        if (node.kind == Node::Kind::String) {
            for (const auto& [value, name] : names) {
                if (name == node.text) {
                    return Coded<T>(value);
                }
            }
        } else if (const auto code = byte(node)) {
            return Coded<T>::Unnamed(*code);
        }
        std::string list;
        for (const auto& named : names) {
            list += list.empty() ? "" : ", ";
            list += JsonString(named.second);
        }
        fail(path, shown(node) + " is not one of " + list);
        return std::nullopt;
    }

    std::optional<DecimalSetting> decimal(const Node& node, const std::string& path) {
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
        Latin1 converted = latin1Of(node.text);
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
    std::optional<std::vector<unsigned>> fields(const Node& node, const std::string& path,
                                                std::string_view separators,
                                                std::string_view form) {
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
            fail(path, shown(node) + " is not of the form " + std::string(form));
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
        const unsigned year = (*numbers)[0];
        if (year < value::kYearBase || year > value::kYearBase + kByteMax) {
            fail(path, shown(node) + " has a year outside 2000-2255");
            return std::nullopt;
        }
        return DateTime{static_cast<int>(year), (*b)[0], (*b)[1], (*b)[2], (*b)[3], (*b)[4]};
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
        const auto numbers = fields(Node::String(std::string(text.substr(4))), path, ":", form);
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
    const auto mode = r.choice(*modeNode, join(path, "mode"), kStartNames);
    if (!mode) {
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
        const auto value = delay ? r.startDelay(*delay, join(path, "delay")) : std::nullopt;
        if (!value) {
            return std::nullopt;
        }
        start.delay = *value;
    } else if (*mode == StartMode::Timing) {
        const Node* at = r.required(node, path, "at", " with \"mode\": \"timed\"");
        const auto value = at ? r.dateTime(*at, join(path, "at")) : std::nullopt;
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
    const auto limitValue = limit ? r.decimal(*limit, join(path, "limit")) : std::nullopt;
    const auto modeValue =
        mode ? r.choice(*mode, join(path, "mode"), kAlarmModeNames) : std::nullopt;
    const auto delayValue = delay ? r.duration(*delay, join(path, "delay")) : std::nullopt;
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
    const auto type = r.choice(*typeNode, join(path, "type"), kAlarmNames);
    if (!type || !type->named()) {
        if (type) {
            r.fail(join(path, "type"),
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
        const auto lowValue = low ? r.decimal(*low, join(path, "low")) : std::nullopt;
        const auto highValue = high ? r.decimal(*high, join(path, "high")) : std::nullopt;
        ok = lowValue && highValue;
        if (ok) {
            alarm.low = *lowValue;
            alarm.high = *highValue;
        }
    } else if (alarm.kind == AlarmChoice::Multiple) {
        const Node* levels = r.required(node, path, "levels", multiple);
        const std::string levelsPath = join(path, "levels");
        std::vector<std::string_view> keys;
        for (std::size_t i = 0; i < kThresholdCount; ++i) {
            keys.push_back(ThresholdKey(static_cast<Threshold>(i)));
        }
        ok = levels != nullptr &&
             r.object(*levels, levelsPath,
                      {keys[0], keys[1], keys[2], keys[3], keys[4], keys[5], keys[6]},
                      "an object of alarm levels");
        for (std::size_t i = 0; ok && i < kThresholdCount; ++i) {
            const auto threshold = static_cast<Threshold>(i);
            const Node* level = levels->Find(ThresholdKey(threshold));
            const std::string levelPath = join(levelsPath, ThresholdKey(threshold));
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

template <typename T, typename Read>
void readKey(const Node& root, std::string_view key, std::optional<T>& into, Read read) {
    if (const Node* node = root.Find(key)) {
        into = read(*node, std::string(key));
    }
}

SettingsFile readSettings(Reader& r, const Node& root) {
    SettingsFile file;
    if (!r.object(root, "", kTopKeys, "a settings file: a JSON object such as {\"korvel\": 1}")) {
        return file;
    }
    if (const Node* version = r.required(root, "", kKorvel, " (the format version, 1)")) {
        if (version->kind != Node::Kind::Number ||
            version->text != std::to_string(kFormatVersion)) {
            r.fail(std::string(kKorvel),
                   shown(*version) + " is not a format this program reads (format 1)");
        }
    }
    readKey(root, kSerialNumber, file.serialNumber,
            [&](const Node& n, const std::string& p) { return r.text(n, p); });
    readKey(root, kTemperatureUnit, file.temperatureUnit,
            [&](const Node& n, const std::string& p) { return r.choice(n, p, kUnitNames); });
    readKey(root, kTimeZone, file.timeZone,
            [&](const Node& n, const std::string& p) { return r.timeZone(n, p); });
    readKey(root, kLogInterval, file.logInterval,
            [&](const Node& n, const std::string& p) { return r.duration(n, p); });
    readKey(root, kStart, file.start,
            [&](const Node& n, const std::string& p) { return readStart(r, n, p); });
    readKey(root, kStopMode, file.stopMode,
            [&](const Node& n, const std::string& p) { return r.choice(n, p, kStopNames); });
    readKey(root, kProbeMode, file.probeMode,
            [&](const Node& n, const std::string& p) { return r.choice(n, p, kProbeNames); });
    readKey(root, kCycleSwitch, file.cycleSwitch,
            [&](const Node& n, const std::string& p) { return r.choice(n, p, kCycleNames); });
    if (const Node* calibration = root.Find(kCalibration)) {
        const std::string path(kCalibration);
        if (r.object(*calibration, path, {"temperature", "humidity"},
                     "an object such as {\"temperature\": -1.5, \"humidity\": 0}")) {
            readKey(*calibration, "temperature", file.calibrationTemperature,
                    [&](const Node& n, const std::string&) {
                        return r.decimal(n, join(path, "temperature"));
                    });
            readKey(*calibration, "humidity", file.calibrationHumidity,
                    [&](const Node& n, const std::string&) {
                        return r.decimal(n, join(path, "humidity"));
                    });
        }
    }
    readKey(root, kTemporaryPdf, file.temporaryPdf,
            [&](const Node& n, const std::string& p) -> std::optional<Coded<bool>> {
                if (n.kind == Node::Kind::Bool) {
                    return Coded<bool>(n.boolean);
                }
                if (const auto code = r.byte(n)) {
                    return Coded<bool>::Unnamed(*code);
                }
                r.fail(p, shown(n) + " is not true or false");
                return std::nullopt;
            });
    readKey(root, kPassword, file.password,
            [&](const Node& n, const std::string& p) -> std::optional<PasswordSetting> {
                if (n.kind == Node::Kind::Null) {
                    return PasswordSetting(std::optional<std::string>());
                }
                if (const auto code = r.byte(n)) {
                    return PasswordSetting::Unnamed(*code);
                }
                if (auto text = r.text(n, p)) {
                    return PasswordSetting(std::optional<std::string>(std::move(*text)));
                }
                return std::nullopt;
            });
    readKey(root, kTripInformation, file.tripInformation,
            [&](const Node& n, const std::string& p) { return r.text(n, p); });
    readKey(root, kAlarm, file.alarm,
            [&](const Node& n, const std::string& p) { return readAlarm(r, n, p); });
    return file;
}

std::set<std::string> presentKeys(const SettingsFile& file) {
    std::set<std::string> keys;
    const auto note = [&keys](bool present, std::string_view key) {
        if (present) {
            keys.emplace(key);
        }
    };
    note(file.serialNumber.has_value(), kSerialNumber);
    note(file.temperatureUnit.has_value(), kTemperatureUnit);
    note(file.timeZone.has_value(), kTimeZone);
    note(file.logInterval.has_value(), kLogInterval);
    note(file.start.has_value(), kStart);
    note(file.stopMode.has_value(), kStopMode);
    note(file.probeMode.has_value(), kProbeMode);
    note(file.cycleSwitch.has_value(), kCycleSwitch);
    note(file.calibrationTemperature.has_value(), "calibration.temperature");
    note(file.calibrationHumidity.has_value(), "calibration.humidity");
    note(file.temporaryPdf.has_value(), kTemporaryPdf);
    note(file.password.has_value(), kPassword);
    note(file.tripInformation.has_value(), kTripInformation);
    note(file.alarm.has_value(), kAlarm);
    return keys;
}

} // namespace

ParsedFile ParseSettingsFile(std::string_view text) {
    ParsedFile parsed;
    if (text.size() > kMaxFileBytes) {
        parsed.errors.push_back({"file", "larger than 1 MiB; a settings file is a few hundred "
                                         "bytes"});
        return parsed;
    }
    ParsedJson json = ParseJson(text);
    for (JsonError& error : json.errors) {
        parsed.errors.push_back({std::move(error.where), std::move(error.message)});
    }
    if (!parsed.errors.empty()) {
        return parsed;
    }
    Reader reader;
    SettingsFile file = readSettings(reader, json.root);
    parsed.errors = std::move(reader.errors);
    if (parsed.errors.empty()) {
        parsed.file = std::move(file);
    }
    return parsed;
}

LoggerSettings ApplySettingsFile(const SettingsFile& file, const LoggerSettings& base) {
    LoggerSettings s = base;
    const auto take = [](auto& into, const auto& given) {
        if (given) {
            into = *given;
        }
    };
    take(s.serialNumber, file.serialNumber);
    take(s.temperatureUnit, file.temperatureUnit);
    take(s.timeZone, file.timeZone);
    take(s.logInterval, file.logInterval);
    take(s.start, file.start);
    take(s.stopMode, file.stopMode);
    take(s.probeMode, file.probeMode);
    take(s.cycleSwitch, file.cycleSwitch);
    take(s.calibration.temperature, file.calibrationTemperature);
    take(s.calibration.humidity, file.calibrationHumidity);
    take(s.temporaryPdf, file.temporaryPdf);
    take(s.password, file.password);
    if (file.tripInformation) {
        s.tripInformation = tripBytesOf(*file.tripInformation, base.tripInformation);
    }
    take(s.alarm, file.alarm);
    return s;
}

std::vector<SettingsProblem> CheckSettingsFile(const SettingsFile& file) {
    const std::set<std::string> present = presentKeys(file);
    std::vector<SettingsProblem> problems;
    for (SettingsProblem& problem : ValidateSettings(ApplySettingsFile(file, LoggerSettings{}))) {
        const std::string top = problem.key.substr(0, problem.key.find('.'));
        const std::string second = problem.key.substr(0, problem.key.find('.', top.size() + 1));
        if (present.count(top) != 0 || present.count(second) != 0) {
            problems.push_back(std::move(problem));
        }
    }
    return problems;
}

std::string WriteSettingsFile(const LoggerSettings& settings) {
    return PrettyText(settingsNode(settings));
}

std::vector<SettingLine> SettingLines(const LoggerSettings& settings) {
    std::vector<SettingLine> lines;
    const Node root = settingsNode(settings);
    for (const Member& member : root.members) {
        if (member.key != kKorvel) {
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

std::string Utf8Text(std::string_view stored) {
    return utf8Of(stored);
}

std::string QuotedText(std::string_view stored) {
    return JsonString(utf8Of(stored));
}

std::string TripTextOf(std::string_view stored) {
    std::string text;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == kCarriageReturn && i + 1 < stored.size() && stored[i + 1] == kLineFeed) {
            continue;
        }
        text += stored[i];
    }
    return text;
}

} // namespace korvel::settingsfile
