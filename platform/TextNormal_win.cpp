#include "platform/TextNormal.h"

#include "platform/WideText_win.h"

#include <windows.h>

#include <climits>

namespace korvel::platform {

std::string ComposedText(std::string_view utf8) {
    bool ascii = true;
    for (const char c : utf8) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii || utf8.size() > INT_MAX / 2) {
        return std::string(utf8);
    }
    const std::wstring wide = WideFromUtf8(utf8);
    // Invalid UTF-8 became U+FFFD: keep the bytes for the caller to name.
    if (Utf8FromWide(wide) != utf8) {
        return std::string(utf8);
    }
    const int size = static_cast<int>(wide.size());
    int estimate = ::NormalizeString(NormalizationC, wide.data(), size, nullptr, 0);
    // The estimate can be short; the call says so and gives a better one.
    for (int attempt = 0; estimate > 0 && attempt < 4; ++attempt) {
        std::wstring composed(static_cast<std::size_t>(estimate), L'\0');
        const int length =
            ::NormalizeString(NormalizationC, wide.data(), size, composed.data(), estimate);
        if (length > 0) {
            composed.resize(static_cast<std::size_t>(length));
            return Utf8FromWide(composed);
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        estimate = -length;
    }
    return std::string(utf8);
}

} // namespace korvel::platform
