#pragma once
// The one place where errno values become the serial layer's failures.

#include "platform/SerialDevice.h"

namespace korvel::platform {

SerialError SerialErrorFromErrno(int code);

// errno and its text.
SystemError SystemErrorFromErrno(int code);

} // namespace korvel::platform
