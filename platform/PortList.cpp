// The port list's order, the same on every OS.
#include "platform/PortList.h"

#include <algorithm>

namespace korvel::platform {

bool PortNameLess(const std::string& a, const std::string& b) {
    // Port names are ASCII: letters folded to lower case and compared byte by
    // byte, with no locale library below the window.
    const auto folded = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return folded(static_cast<unsigned char>(x)) < folded(static_cast<unsigned char>(y));
        });
}

void SortPortNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), PortNameLess);
}

} // namespace korvel::platform
