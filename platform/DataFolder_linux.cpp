#include "platform/DataFolder.h"

namespace korvel::platform {

std::string UserDataFile(std::string_view name, const EnvironmentLookup& environment) {
    const char* dataHome = environment("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored.
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/korvel/" + std::string(name);
    }
    const char* home = environment("HOME");
    if (home == nullptr || home[0] == '\0') {
        return {};
    }
    return std::string(home) + "/.local/share/korvel/" + std::string(name);
}

} // namespace korvel::platform
