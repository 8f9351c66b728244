#include "platform/UserIdentity.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

namespace korvel::platform {

std::string LoginName() {
    // The session's login name first: under sudo it is still the person's.
    std::array<char, 256> name{};
    if (::getlogin_r(name.data(), name.size()) == 0 && name[0] != '\0') {
        return name.data();
    }
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
        return entry->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::string HostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

} // namespace korvel::platform
