#include "platform/ProgramArguments.h"

namespace korvel::platform {

// Linux passes the bytes as typed, which in a UTF-8 locale are UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

} // namespace korvel::platform
