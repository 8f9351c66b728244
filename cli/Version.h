#pragma once
// The program's version, from the project's (set by CMake).

namespace korvel::cli {
inline constexpr const char* kVersion = KORVEL_VERSION;
} // namespace korvel::cli
