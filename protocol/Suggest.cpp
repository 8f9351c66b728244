#include "protocol/Suggest.h"

#include <algorithm>
#include <cctype>

namespace korvel::protocol {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool BeginsWith(std::string_view text, std::string_view start) {
    return start.size() <= text.size() &&
           std::equal(start.begin(), start.end(), text.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

} // namespace

std::size_t EditDistance(std::string_view a, std::string_view b) {
    // Three rows of the table: the swap of two neighbours looks two back.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        previous[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = Lower(a[i - 1]) == Lower(b[j - 1]);
            current[j] =
                std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
                Lower(a[i - 2]) == Lower(b[j - 1])) {
                current[j] = std::min(current[j], before[j - 2] + 1);
            }
        }
        before.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

std::optional<std::string> NearestWord(std::string_view word,
                                       const std::vector<std::string>& candidates) {
    if (word.empty()) {
        return std::nullopt;
    }
    const std::string* nearest = nullptr;
    std::size_t nearestDistance = 0;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(word, candidate);
        if (distance <= 2 && 2 * distance < word.size() &&
            (nearest == nullptr || distance < nearestDistance)) {
            nearest = &candidate;
            nearestDistance = distance;
        }
    }
    if (nearest != nullptr) {
        return *nearest;
    }
    std::vector<const std::string*> begun;
    for (const std::string& candidate : candidates) {
        if (BeginsWith(candidate, word)) {
            begun.push_back(&candidate);
        }
    }
    if (begun.size() == 1) {
        return *begun.front();
    }
    return std::nullopt;
}

} // namespace korvel::protocol
