#include "platform/UserIdentity.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace korvel::platform {

std::string LoginName() {
    // The account of the process first: getlogin() fails without a
    // controlling terminal (services, CI), and $USER can be set to anything.
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
        return entry->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

} // namespace korvel::platform
