#pragma once
// An open that a caller waits for a bounded time only. Opening an outgoing
// Bluetooth serial port makes Windows connect to the far device inside
// CreateFile, for seconds; a thread that must stay responsive (the window's)
// cannot wait for that.

#include <chrono>
#include <functional>
#include <string>

#include "platform/SerialDevice.h"

namespace korvel::serial {

using DeviceOpenFn = std::function<platform::OpenResult(const std::string& name)>;

// Runs `opener(name)` on a thread of its own and returns its result if it
// comes within `limit`. Otherwise it fails at once (SerialError::Other, with a
// text that says the port did not open in time), and the device the open
// yields later is closed on that thread, so the port is held only until then.
platform::OpenResult OpenWithin(const DeviceOpenFn& opener, const std::string& name,
                                std::chrono::milliseconds limit);

} // namespace korvel::serial
