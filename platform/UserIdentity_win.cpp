#include "platform/UserIdentity.h"

#include <windows.h>

namespace korvel::platform {

std::string LoginName() {
    char name[257] = {};
    DWORD size = sizeof name;
    return ::GetUserNameA(name, &size) ? std::string(name) : std::string();
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? std::string(name) : std::string();
}

} // namespace korvel::platform
