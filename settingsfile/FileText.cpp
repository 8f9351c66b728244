#include "settingsfile/FileText.h"

#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include <algorithm>

namespace korvel::settingsfile {

std::string JoinPath(std::string_view path, std::string_view key) {
    std::string joined(path);
    if (!joined.empty()) {
        joined += '.';
    }
    joined.append(key);
    return joined;
}

Latin1 Latin1Of(std::string_view utf8) {
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
