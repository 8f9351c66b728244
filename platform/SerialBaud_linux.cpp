#include "platform/SerialBaud_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace korvel::platform {

bool SetArbitraryBaudRate(int fd, std::uint32_t rate) {
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) {
        return false;
    }
    settings.c_cflag = (settings.c_cflag & ~CBAUD) | BOTHER;
    settings.c_cflag = (settings.c_cflag & ~(CBAUD << IBSHIFT)) | (BOTHER << IBSHIFT);
    settings.c_ispeed = rate;
    settings.c_ospeed = rate;
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

} // namespace korvel::platform
