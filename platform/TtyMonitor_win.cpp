#include "platform/TtyMonitor.h"

namespace korvel::platform {

// No device notifications without a window here; the watch lists the ports
// once a second instead.
protocol::Result<std::unique_ptr<TtyMonitor>> OpenTtyMonitor() {
    return protocol::Failure{protocol::Failure::Kind::System, "no device monitor on Windows"};
}

} // namespace korvel::platform
