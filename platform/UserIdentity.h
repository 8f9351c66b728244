#pragma once
// Who runs the program and on which computer, for the records of saves.

#include <string>

namespace korvel::platform {

// The login name; empty when it cannot be told.
std::string LoginName();
// The computer's host name; empty when it cannot be told.
std::string HostName();

} // namespace korvel::platform
