#pragma once
// Texts between the logger and a settings file, for the reader and the writer:
// the logger stores one byte a character (Latin-1), a file holds UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::settingsfile {

// The key of the format version, first in every file.
inline constexpr std::string_view kVersionKey = "korvel";
// The address of the file's JSON Schema, for editors; the reader ignores it.
inline constexpr std::string_view kSchemaKey = "$schema";

// "calibration" and "humidity" as "calibration.humidity"; an empty path gives the key.
std::string JoinPath(std::string_view path, std::string_view key);

// The Latin-1 bytes of UTF-8 text (which the JSON reader has checked), composed
// to NFC first (platform::ComposedText), or the first character beyond Latin-1.
struct Latin1 {
    std::string text;
    std::optional<std::uint32_t> beyond;
};
Latin1 Latin1Of(std::string_view utf8);

} // namespace korvel::settingsfile
