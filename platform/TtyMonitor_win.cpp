#include "platform/TtyMonitor.h"

namespace korvel::platform {

// No device notifications without a window here; the watch lists the ports
// once a second instead.
std::unique_ptr<TtyMonitor> OpenTtyMonitor(std::string& problem) {
    problem = "no device monitor on Windows";
    return nullptr;
}

} // namespace korvel::platform
