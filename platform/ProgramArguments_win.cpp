#include "platform/ProgramArguments.h"

#include "platform/WideText_win.h"

#include <windows.h>

#include <shellapi.h>

namespace korvel::platform {

// The command line as the system keeps it, in UTF-16; argv is only its
// lossy ANSI copy.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>{};
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace korvel::platform
