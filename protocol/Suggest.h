#pragma once
// The nearest word to a misspelt one: the command, option or settings key
// the user most likely meant, for "unknown command 'reed'; did you mean 'read'?".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::protocol {

// Edits (insert, delete, replace, swap two neighbours) between `a` and `b`,
// letters compared without regard to case.
std::size_t EditDistance(std::string_view a, std::string_view b);

// The candidate `word` most likely stands for: the nearest one within two
// edits and fewer edits than half the word's length, else the one candidate
// it begins; nothing when none is near (a far guess misleads more than no
// guess) or when the beginning fits several.
std::optional<std::string> NearestWord(std::string_view word,
                                       const std::vector<std::string>& candidates);

} // namespace korvel::protocol
