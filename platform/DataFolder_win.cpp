#include "platform/DataFolder.h"

namespace korvel::platform {

// A program's own files of one user, which do not roam with the profile.
std::string UserDataFile(std::string_view name, const EnvironmentLookup& environment) {
    const char* local = environment("LOCALAPPDATA");
    if (local == nullptr || local[0] == '\0') {
        return {};
    }
    return std::string(local) + "\\Korvel\\" + std::string(name);
}

} // namespace korvel::platform
