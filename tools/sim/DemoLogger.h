#pragma once
// The simulated logger that --demo starts, at the pace of the real line, and
// how the programs reach it. On Linux it is the pseudo-terminal simulator,
// whose port opens like any other; Windows has no pseudo-terminal, so there it
// lives in the program and the opener hands out a SimulatedDevice for its port.

#include "platform/SerialDevice.h"

#include <functional>
#include <memory>
#include <string>

namespace korvel::sim {

class DemoLogger {
public:
    using Opener = std::function<platform::OpenResult(const std::string& name)>;

    // Throws std::system_error when the logger cannot be started.
    DemoLogger();
    ~DemoLogger();
    DemoLogger(const DemoLogger&) = delete;
    DemoLogger& operator=(const DemoLogger&) = delete;

    // The one port --demo tries.
    const std::string& PortName() const;

    // `others` with the demo logger's port added; it stays usable after the
    // demo logger is gone.
    Opener OpenerWith(Opener others) const;

private:
    struct Running;
    std::unique_ptr<Running> running_;
};

} // namespace korvel::sim
