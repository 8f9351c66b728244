#pragma once
// Where the programs keep their own files of one user, such as the history of
// saves: $XDG_DATA_HOME/korvel or ~/.local/share/korvel on Linux,
// %LOCALAPPDATA%\Korvel on Windows. Taken from the environment given, so that
// tests choose it.

#include <functional>
#include <string>
#include <string_view>

namespace korvel::platform {

// The value of an environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The process's own environment, in UTF-8. On Windows it is read as UTF-16:
// the narrow environment is in the ANSI code page, UTF-8 only where the
// manifest's code page is honoured (Windows 10 1903 on), so a user folder
// named Jürgen or 温度 would otherwise come back with question marks. The
// text stays valid for the life of the process.
const char* SystemEnvironmentVariable(const char* name);

// The path of the file `name` in that folder; empty when the environment
// names no such folder.
std::string UserDataFile(std::string_view name, const EnvironmentLookup& environment);

} // namespace korvel::platform
