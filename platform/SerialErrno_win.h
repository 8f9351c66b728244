#pragma once
// The one place where GetLastError() codes become the serial layer's failures.

#include <cstdint>

#include "platform/SerialDevice.h"

namespace korvel::platform {

// Where the code came from: one code means different things at the two places.
// ERROR_ACCESS_DENIED from CreateFileW is a port that another program holds
// (a COM port opens once); from a transfer it is an adapter that was pulled out.
enum class Win32Site { Open, Transfer };

SerialError SerialErrorFromWin32(std::uint32_t code, Win32Site site);

// The code and FormatMessageW's text for it, in UTF-8 without the closing line break.
SystemError SystemErrorFromWin32(std::uint32_t code);

} // namespace korvel::platform
