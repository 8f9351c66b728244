#include "platform/ConfigFiles.h"

namespace korvel::platform {

std::vector<std::string> ConfigFilePaths(const EnvironmentLookup& environment) {
    std::vector<std::string> paths;
    for (const char* variable : {"PROGRAMDATA", "APPDATA"}) {
        const char* folder = environment(variable);
        if (folder != nullptr && folder[0] != '\0') {
            paths.push_back(std::string(folder) + "\\Korvel\\korvel.conf");
        }
    }
    return paths;
}

} // namespace korvel::platform
