#pragma once
// The device control block mapped onto termios, as a pure step the tests can
// check for framings that a pseudo-terminal would not keep.

#include <termios.h>

#include "platform/SerialDevice.h"

namespace korvel::platform {

// Raw mode plus the framing and software/hardware flow control of `settings`;
// the speed and the modem lines are set apart.
void FillTermios(termios& tio, const LineSettings& settings);

} // namespace korvel::platform
