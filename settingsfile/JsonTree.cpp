#include "settingsfile/JsonTree.h"

#include "protocol/Printable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

namespace korvel::settingsfile {

namespace {

using nlohmann::json;

// Builds the tree from nlohmann's SAX events: number_float hands over the
// number's own text, and every key passes through here, so duplicates show.
class TreeBuilder {
public:
    using number_integer_t = json::number_integer_t;
    using number_unsigned_t = json::number_unsigned_t;
    using number_float_t = json::number_float_t;
    using string_t = json::string_t;
    using binary_t = json::binary_t;

    TreeBuilder(ParsedJson& out, std::string_view text) : out_(out), text_(text) {}

    bool null() { return add(Node::Null()); }
    bool boolean(bool value) { return add(Node::Bool(value)); }
    bool number_integer(number_integer_t value) { return add(Node::Number(std::to_string(value))); }
    bool number_unsigned(number_unsigned_t value) {
        return add(Node::Number(std::to_string(value)));
    }
    bool number_float(number_float_t, const string_t& text) { return add(Node::Number(text)); }
    bool string(string_t& value) { return add(Node::String(std::move(value))); }
    bool binary(binary_t&) { return add(Node::Null()); } // JSON text carries no binary values

    bool start_object(std::size_t) { return open(Node::Kind::Object); }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(Node::Kind::Array); }
    bool end_array() { return close(); }

    bool key(string_t& key) {
        Level& level = levels_.back();
        if (!level.keys.insert(key).second) {
            out_.errors.push_back({pathTo(key), "duplicate key (given more than once)", false});
        }
        level.key = std::move(key);
        return true;
    }

    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error) {
        out_.complete = false;
        if (error.id == kNumberOverflow) {
            // The library's text names neither the key nor the place.
            const std::size_t start = position - std::min(position, token.size());
            const std::string place = PlaceIn(text_, start);
            if (levels_.empty()) {
                out_.errors.push_back({place, token + " is too large a number", true});
            } else {
                out_.errors.push_back(
                    {valuePath(), token + " at " + place + " is too large a number", true});
            }
            return false;
        }
        // "[json.exception.parse_error.101] parse error at line 2, column 5: syntax error ..."
        std::string what = error.what();
        const std::string marker = "parse error at ";
        if (const auto at = what.find(marker); at != std::string::npos) {
            what.erase(0, at + marker.size());
        }
        std::string where = "JSON";
        if (const auto colon = what.find(": "); colon != std::string::npos) {
            where = what.substr(0, colon);
            what.erase(0, colon + 2);
        }
        out_.errors.push_back({std::move(where), std::move(what), false});
        return false;
    }

private:
    // nlohmann's out_of_range.406: a number beyond a double.
    static constexpr int kNumberOverflow = 406;

    struct Level {
        Node* node;
        std::string key; // objects: the key of the value that comes next
        std::set<std::string> keys;
    };

    // Places a value where the document is; returns where it went.
    Node* place(Node value) {
        if (levels_.empty()) {
            out_.root = std::move(value);
            return &out_.root;
        }
        Level& level = levels_.back();
        if (level.node->kind == Node::Kind::Object) {
            level.node->members.push_back({level.key, std::move(value)});
            return &level.node->members.back().value;
        }
        level.node->items.push_back(std::move(value));
        return &level.node->items.back();
    }

    bool add(Node value) {
        place(std::move(value));
        return true;
    }

    bool open(Node::Kind kind) {
        if (levels_.size() >= kMaxJsonDepth) {
            out_.complete = false;
            out_.errors.push_back({levels_.empty() ? "JSON" : pathTo(levels_.back().key),
                                   "nested deeper than any settings key", false});
            return false;
        }
        Node container;
        container.kind = kind;
        // Only the innermost open container grows, so these pointers stay valid.
        levels_.push_back({place(std::move(container)), {}, {}});
        return true;
    }

    bool close() {
        levels_.pop_back();
        return true;
    }

    std::string pathTo(const std::string& key) const {
        std::string path;
        for (std::size_t i = 0; i + 1 < levels_.size(); ++i) {
            const Level& level = levels_[i];
            if (level.node->kind == Node::Kind::Object) {
                path += path.empty() ? "" : ".";
                path += level.key;
            } else {
                // Appended piece by piece: GCC 12 sees an overlap in "[" + std::string.
                path += '[';
                path += std::to_string(level.node->items.size() - 1);
                path += ']';
            }
        }
        if (levels_.back().node->kind == Node::Kind::Object) {
            path += path.empty() ? "" : ".";
            path += key;
        }
        return path;
    }

    // The path of the value that comes next: "calibration.temperature", "time_zone[1]".
    std::string valuePath() const {
        if (levels_.back().node->kind == Node::Kind::Object) {
            return pathTo(levels_.back().key);
        }
        return pathTo({}) + '[' + std::to_string(levels_.back().node->items.size()) + ']';
    }

    ParsedJson& out_;
    std::string_view text_;
    std::vector<Level> levels_;
};

bool holdsObject(const Node& node) {
    for (const Node& item : node.items) {
        if (item.kind == Node::Kind::Object || item.kind == Node::Kind::Array) {
            return true;
        }
    }
    for (const Member& member : node.members) {
        if (member.value.kind == Node::Kind::Object || member.value.kind == Node::Kind::Array) {
            return true;
        }
    }
    return false;
}

void appendPretty(const Node& node, std::size_t indent, std::string& out) {
    const bool container = node.kind == Node::Kind::Object || node.kind == Node::Kind::Array;
    if (!container || !holdsObject(node)) {
        out += CompactText(node);
        return;
    }
    const std::string inner(indent + 2, ' ');
    const bool object = node.kind == Node::Kind::Object;
    out += object ? "{\n" : "[\n";
    const std::size_t count = object ? node.members.size() : node.items.size();
    for (std::size_t i = 0; i < count; ++i) {
        out += inner;
        if (object) {
            out += JsonString(node.members[i].key) + ": ";
            appendPretty(node.members[i].value, indent + 2, out);
        } else {
            appendPretty(node.items[i], indent + 2, out);
        }
        out += i + 1 < count ? ",\n" : "\n";
    }
    out += std::string(indent, ' ') + (object ? "}" : "]");
}

} // namespace

Node Node::Null() {
    return {};
}

Node Node::Bool(bool value) {
    Node node;
    node.kind = Kind::Bool;
    node.boolean = value;
    return node;
}

Node Node::Number(std::string text) {
    Node node;
    node.kind = Kind::Number;
    node.text = std::move(text);
    return node;
}

Node Node::String(std::string utf8) {
    Node node;
    node.kind = Kind::String;
    node.text = std::move(utf8);
    return node;
}

Node Node::Array(std::vector<Node> items) {
    Node node;
    node.kind = Kind::Array;
    node.items = std::move(items);
    return node;
}

Node Node::Object(std::vector<Member> members) {
    Node node;
    node.kind = Kind::Object;
    node.members = std::move(members);
    return node;
}

const Node* Node::Find(std::string_view key) const {
    for (const Member& member : members) {
        if (member.key == key) {
            return &member.value;
        }
    }
    return nullptr;
}

bool operator==(const Node& a, const Node& b) {
    return a.kind == b.kind && a.boolean == b.boolean && a.text == b.text && a.items == b.items &&
           a.members == b.members;
}

ParsedJson ParseJson(std::string_view text) {
    ParsedJson parsed;
    TreeBuilder builder(parsed, text);
    json::sax_parse(text, &builder);
    return parsed;
}

std::string PlaceIn(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, std::min(offset, text.size()));
    const std::size_t lastBreak = before.rfind('\n');
    const auto line = 1 + std::count(before.begin(), before.end(), '\n');
    std::size_t column = 1;
    for (std::size_t at = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
         at < before.size(); ++column) {
        at += std::max<std::size_t>(1, protocol::Utf8LengthAt(text, at));
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        // A C1 control, U+0080 to U+009F, is C2 80 to C2 9F; its code is the second byte.
        const auto next = static_cast<unsigned char>(i + 1 < utf8.size() ? utf8[i + 1] : 0);
        const bool c1 = static_cast<unsigned char>(c) == 0xC2 && next >= 0x80 && next <= 0x9F;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f' || c1) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x",
                              c1 ? next : static_cast<unsigned char>(c));
                out += escape;
                i += c1 ? 1 : 0;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::string CompactText(const Node& node) {
    switch (node.kind) {
    case Node::Kind::Null:
        return "null";
    case Node::Kind::Bool:
        return node.boolean ? "true" : "false";
    case Node::Kind::Number:
        return node.text;
    case Node::Kind::String:
        return JsonString(node.text);
    case Node::Kind::Array: {
        std::string out = "[";
        for (std::size_t i = 0; i < node.items.size(); ++i) {
            out += (i == 0 ? "" : ", ") + CompactText(node.items[i]);
        }
        return out + "]";
    }
    case Node::Kind::Object: {
        std::string out = "{";
        for (std::size_t i = 0; i < node.members.size(); ++i) {
            out += (i == 0 ? "" : ", ") + JsonString(node.members[i].key) + ": " +
                   CompactText(node.members[i].value);
        }
        return out + "}";
    }
    }
    return "null";
}

std::string PrettyText(const Node& node) {
    std::string out;
    appendPretty(node, 0, out);
    return out + "\n";
}

} // namespace korvel::settingsfile
