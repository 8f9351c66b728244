#pragma once
// The layer's line settings and time-outs as the records SetCommState and
// SetCommTimeouts take, built whole: a record read back from the driver and
// patched would keep whatever the driver or the last program left in the
// fields we do not name, XON/XOFF flow control among them, which drops every
// 0x11 and 0x13 byte of a reply.

#include <windows.h>

#include "platform/SerialDevice.h"

namespace korvel::platform {

// Every field set: the flag word bit by bit from `settings` (binary mode
// always, which Windows requires; abort-on-error always off, so a line error
// does not fail every later read until ClearCommError), the limits,
// characters and framing as given, EofChar and EvtChar 0, reserved fields 0.
DCB BuildDcb(const LineSettings& settings);

// The five time-outs; the layer keeps the Win32 meanings, so each is carried over.
COMMTIMEOUTS BuildCommTimeouts(const Timeouts& timeouts);

} // namespace korvel::platform
