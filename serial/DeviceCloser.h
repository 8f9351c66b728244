#pragma once
// Closes devices off the owner's thread. Closing a tty can block for as long as
// the driver's closing wait (30 s on usb-serial adapters that still hold
// output), so the port component never destroys an open device itself: it
// hands the device over and waits only a short while for the close.
//
// One closer thread serves the process; it starts with the first hand-over and
// closes devices in hand-over order. Until its close has returned a device
// still holds its port. At exit the closer waits a bounded time for closes
// still running, then leaves them to the end of the process.

#include <chrono>
#include <memory>

#include "platform/SerialDevice.h"

namespace korvel::serial {

// Destroys `device` on the closer thread and returns once it is closed or
// `wait` has passed, whichever is first: true when it is closed. Where no
// closer thread can run (none could be started, or the process is exiting)
// the device is closed on the calling thread.
bool CloseDevice(std::unique_ptr<platform::SerialDevice> device, std::chrono::milliseconds wait);

} // namespace korvel::serial
