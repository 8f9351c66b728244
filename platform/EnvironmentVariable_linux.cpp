#include "platform/DataFolder.h"

#include <cstdlib>

namespace korvel::platform {

const char* SystemEnvironmentVariable(const char* name) {
    return std::getenv(name);
}

} // namespace korvel::platform
