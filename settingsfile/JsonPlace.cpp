#include "settingsfile/JsonPlace.h"

#include "settingsfile/FileText.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include <cstdint>

namespace korvel::settingsfile {

namespace {

void appendUtf8(std::uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Walks the text once, keeping the line and column of the byte it is at.
class Walker {
public:
    explicit Walker(std::string_view text) : text_(text) {}

    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return text_[at_]; }
    TextPlace Place() const { return {line_, column_}; }

    void Next() {
        const char c = text_[at_++];
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column_; // a UTF-8 continuation byte is part of the character before
        }
    }

    // At the opening quote: the string's text with its escapes undone.
    std::string String() {
        std::string out;
        Next();
        while (!AtEnd() && Peek() != '"') {
            if (Peek() != '\\') {
                out += Peek();
                Next();
                continue;
            }
            Next();
            if (AtEnd()) {
                break;
            }
            const char escape = Peek();
            Next();
            switch (escape) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                std::uint32_t code = Hex4();
                if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
                    Next();
                    Next();
                    const std::uint32_t low = Hex4();
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(code, out);
                break;
            }
            default:
                out += escape; // \" \\ \/
            }
        }
        if (!AtEnd()) {
            Next();
        }
        return out;
    }

private:
    std::uint32_t Hex4() {
        std::uint32_t code = 0;
        for (int i = 0; i < 4 && !AtEnd(); ++i) {
            const char c = Peek();
            const std::uint32_t digit = c >= '0' && c <= '9'   ? c - '0'
                                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                               : 0;
            code = code * 16 + digit;
            Next();
        }
        return code;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::size_t column_ = 1;
};

struct Container {
    bool object;
    std::string path;
    std::string key;        // objects: the key of the value that comes next
    bool wantsKey = true;   // objects: a string now is a key
    std::size_t index = 0;  // arrays: the item that comes next
    bool wantsValue = true; // arrays: no item of `index` has begun
};

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

KeyPlaces::KeyPlaces(std::string_view text) {
    Walker walk(WithoutByteOrderMark(text));
    std::vector<Container> open;
    // The path of the value that begins now, recorded when it is an array item.
    const auto valueBegins = [&]() -> std::string {
        if (open.empty()) {
            return {};
        }
        Container& inner = open.back();
        if (inner.object) {
            return JoinPath(inner.path, inner.key);
        }
        std::string path = inner.path + '[' + std::to_string(inner.index) + ']';
        if (inner.wantsValue) {
            places_[path].push_back(walk.Place());
            inner.wantsValue = false;
        }
        return path;
    };
    while (!walk.AtEnd()) {
        const char c = walk.Peek();
        if (isSpace(c)) {
            walk.Next();
        } else if (c == '"') {
            if (!open.empty() && open.back().object && open.back().wantsKey) {
                Container& inner = open.back();
                const TextPlace place = walk.Place();
                inner.key = walk.String();
                inner.wantsKey = false;
                places_[JoinPath(inner.path, inner.key)].push_back(place);
            } else {
                valueBegins();
                walk.String();
            }
        } else if (c == '{' || c == '[') {
            std::string path = valueBegins();
            walk.Next();
            open.push_back({c == '{', std::move(path), {}, true, 0, true});
        } else if (c == '}' || c == ']') {
            walk.Next();
            if (!open.empty()) {
                open.pop_back();
            }
        } else if (c == ',') {
            walk.Next();
            if (!open.empty()) {
                Container& inner = open.back();
                inner.wantsKey = true;
                inner.wantsValue = true;
                inner.index += inner.object ? 0 : 1;
            }
        } else {
            if (c != ':') {
                valueBegins();
            }
            walk.Next();
        }
    }
}

const std::vector<TextPlace>& KeyPlaces::Of(const std::string& path) const {
    static const std::vector<TextPlace> none;
    const auto found = places_.find(path);
    return found == places_.end() ? none : found->second;
}

TextPlace KeyPlaces::Nearest(std::string path) const {
    while (!path.empty()) {
        if (const auto& places = Of(path); !places.empty()) {
            return places.front();
        }
        const std::size_t cut = path.find_last_of(".[");
        path.erase(cut == std::string::npos ? 0 : cut);
    }
    return {};
}

} // namespace korvel::settingsfile
