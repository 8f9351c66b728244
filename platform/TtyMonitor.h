#pragma once
// Word from the system that a terminal device came or went (udev's monitor of
// the tty subsystem on Linux), so a watch re-lists the ports at once instead
// of on its next round.

#include "protocol/Result.h"

#include <chrono>
#include <memory>
#include <string>

namespace korvel::platform {

class TtyMonitor {
public:
    virtual ~TtyMonitor() = default;
    // Waits up to `timeout` for tty events; true when one or more came (all
    // that came are consumed).
    virtual bool Wait(std::chrono::milliseconds timeout) = 0;
};

// A monitor, or why there is none (no udev, no such service on this system).
protocol::Result<std::unique_ptr<TtyMonitor>> OpenTtyMonitor();

} // namespace korvel::platform
