#pragma once
// SHA-256 (FIPS 180-4), for the settings file's fingerprint in reports.

#include <string>
#include <string_view>

namespace korvel::cli {

// The digest of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

} // namespace korvel::cli
