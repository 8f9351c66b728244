#include "platform/ConfigFiles.h"

namespace korvel::platform {

std::vector<std::string> ConfigFilePaths(const EnvironmentLookup& environment) {
    std::vector<std::string> paths{"/etc/korvel/korvel.conf"};
    const char* configHome = environment("XDG_CONFIG_HOME");
    const char* home = environment("HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (configHome != nullptr && configHome[0] == '/') {
        paths.push_back(std::string(configHome) + "/korvel/korvel.conf");
    } else if (home != nullptr && home[0] != '\0') {
        paths.push_back(std::string(home) + "/.config/korvel/korvel.conf");
    }
    return paths;
}

} // namespace korvel::platform
