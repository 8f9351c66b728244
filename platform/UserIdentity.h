#pragma once
// Who saves and where: the login name and the computer's name, as the history
// of saves records them. Empty when the system does not say.

#include <string>

namespace korvel::platform {

std::string LoginName();
std::string HostName();

} // namespace korvel::platform
