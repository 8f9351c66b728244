#include "platform/TextNormal.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <climits>
#include <vector>

namespace korvel::platform {

namespace {

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string ComposedText(std::string_view utf8) {
    // ASCII is its own NFC form; most settings texts are nothing else.
    if (isAscii(utf8) || utf8.size() > INT_MAX / 2) {
        return std::string(utf8);
    }
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) {
        return std::string(utf8);
    }
    const auto length = static_cast<int32_t>(utf8.size());
    // UTF-16 needs at most one unit per UTF-8 byte; NFC composes, so at most
    // grows by the few characters that decompose under it (at most 3 times).
    std::vector<UChar> wide(utf8.size() + 1);
    int32_t wideLength = 0;
    u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &wideLength, utf8.data(), length,
                  &status);
    if (U_FAILURE(status)) {
        return std::string(utf8);
    }
    std::vector<UChar> composed(static_cast<std::size_t>(wideLength) * 3 + 1);
    const int32_t composedLength = unorm2_normalize(nfc, wide.data(), wideLength, composed.data(),
                                                    static_cast<int32_t>(composed.size()), &status);
    if (U_FAILURE(status)) {
        return std::string(utf8);
    }
    std::string out(static_cast<std::size_t>(composedLength) * 3 + 1, '\0');
    int32_t outLength = 0;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength, composed.data(),
                composedLength, &status);
    if (U_FAILURE(status)) {
        return std::string(utf8);
    }
    out.resize(static_cast<std::size_t>(outLength));
    return out;
}

} // namespace korvel::platform
