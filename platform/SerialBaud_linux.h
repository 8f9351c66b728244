#pragma once
// Rates that termios has no B-constant for, set through the termios2 ioctls.
// Kept in its own file because <asm/termbits.h> clashes with <termios.h>.

#include <cstdint>

namespace korvel::platform {

// Sets both directions to `rate`; false when the driver refuses it.
bool SetArbitraryBaudRate(int fd, std::uint32_t rate);

} // namespace korvel::platform
