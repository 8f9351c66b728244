#include "protocol/Printable.h"

#include <cstdio>

namespace korvel::protocol {

namespace {

constexpr unsigned char kDel = 0x7F;
constexpr unsigned char kFirstC1Lead = 0xC2; // U+0080-U+009F are C2 80 to C2 9F
constexpr unsigned char kLastC1Trail = 0x9F;

bool continues(std::string_view text, std::size_t at, unsigned char low = 0x80,
               unsigned char high = 0xBF) {
    if (at >= text.size()) {
        return false;
    }
    const auto byte = static_cast<unsigned char>(text[at]);
    return byte >= low && byte <= high;
}

void appendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

} // namespace

std::size_t Utf8LengthAt(std::string_view text, std::size_t at) {
    // The well-formed sequences of the Unicode Standard, table 3-7.
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return continues(text, at + 1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        return continues(text, at + 1, low, high) && continues(text, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;  // no overlong forms
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        return continues(text, at + 1, low, high) && continues(text, at + 2) &&
                       continues(text, at + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8LengthAt(text, at);
        if (length == 0 || byte < 0x20 || byte == kDel) {
            appendEscape(out, "\\x%02x", byte);
            ++at;
        } else if (byte == kFirstC1Lead &&
                   static_cast<unsigned char>(text[at + 1]) <= kLastC1Trail) {
            // C2 80 to C2 9F: the code point is the second byte.
            appendEscape(out, "\\u%04x", static_cast<unsigned char>(text[at + 1]));
            at += 2;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

} // namespace korvel::protocol
