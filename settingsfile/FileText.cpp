#include "settingsfile/FileText.h"

#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include "platform/TextNormal.h"
#include "protocol/Printable.h"

#include <algorithm>
#include <cstdio>

namespace korvel::settingsfile {

std::string JoinPath(std::string_view path, std::string_view key) {
    std::string joined(path);
    if (!joined.empty()) {
        joined += '.';
    }
    joined.append(key);
    return joined;
}

Latin1 Latin1Of(std::string_view text) {
    // "e" and a combining accent are the one Latin-1 character "é" once composed.
    const std::string composed = platform::ComposedText(text);
    const std::string_view utf8 = composed;
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

std::string_view WithoutByteOrderMark(std::string_view text) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (text.substr(0, kMark.size()) == kMark) {
        text.remove_prefix(kMark.size());
    }
    return text;
}

std::vector<FileError> TextFaults(std::string_view bytes) {
    const auto utf16 = [](const char* order, const char* sign) {
        return std::vector<FileError>{
            {"file", std::string("UTF-16 ") + order + " text (" + sign +
                         "), not UTF-8: save it as UTF-8 (Windows PowerShell 5.1's > writes "
                         "UTF-16; pipe to Out-File -Encoding utf8 instead)"}};
    };
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        return utf16("LE", "it begins with the byte-order mark FF FE");
    }
    if (bytes.substr(0, 2) == "\xFE\xFF") {
        return utf16("BE", "it begins with the byte-order mark FE FF");
    }
    // Without a mark: ASCII characters, each with a zero byte after or before it.
    if (bytes.size() >= 4) {
        const auto zero = [bytes](std::size_t at) { return bytes[at] == '\0'; };
        if (!zero(0) && zero(1) && !zero(2) && zero(3)) {
            return utf16("LE", "every other byte is zero");
        }
        if (zero(0) && !zero(1) && zero(2) && !zero(3)) {
            return utf16("BE", "every other byte is zero");
        }
    }
    const std::string_view text = WithoutByteOrderMark(bytes);
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '\0') {
            return {{PlaceIn(text, at), "a NUL byte, which no text file holds"}};
        }
        const std::size_t length = protocol::Utf8LengthAt(text, at);
        if (length == 0) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "%02X", static_cast<unsigned char>(text[at]));
            return {{PlaceIn(text, at), std::string("the byte ") + byte +
                                            " is not UTF-8 (is the file Latin-1 or "
                                            "Windows-1252?): save it as UTF-8"}};
        }
        at += length;
    }
    return {};
}

std::string Utf8Text(std::string_view stored) {
    std::string out;
    for (const char c : stored) {
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

std::string QuotedText(std::string_view stored) {
    return JsonString(Utf8Text(stored));
}

} // namespace korvel::settingsfile
