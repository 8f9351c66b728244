#pragma once
// Where the programs' configuration files are: the system's, which the
// computer's administrator writes (/etc/korvel/korvel.conf,
// %PROGRAMDATA%\Korvel\korvel.conf), then the user's
// ($XDG_CONFIG_HOME/korvel/korvel.conf or ~/.config/korvel/korvel.conf,
// %APPDATA%\Korvel\korvel.conf), which overrides it.

#include "platform/DataFolder.h"

#include <string>
#include <vector>

namespace korvel::platform {

// The system's file first, then the user's; a file whose folder the
// environment does not name is left out.
std::vector<std::string> ConfigFilePaths(const EnvironmentLookup& environment);

} // namespace korvel::platform
