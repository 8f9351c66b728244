#pragma once
// The program's arguments and file names as UTF-8 on every system. Windows
// hands main() its arguments in the ANSI code page, which cannot hold most
// names ("温度.json" arrives as "??.json"), and its narrow file calls read a
// name in that code page too; both go through UTF-16 there instead.

#include <filesystem>
#include <string>
#include <vector>

namespace korvel::platform {

// The arguments after the program's name, in UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A path to open a file by, from a UTF-8 name: the standard streams open a
// std::filesystem::path through the wide calls on Windows.
inline std::filesystem::path FilePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace korvel::platform
