#include "platform/OpenHints.h"

namespace korvel::platform {

const OpenHints& PortOpenHints() {
    static const OpenHints hints{
        false,
        "add yourself to the dialout group (sudo usermod -aG dialout \"$USER\", then log in "
        "again) or install Korvel's udev rule",
        "another program holds it; close that program (ModemManager probes new ports for a "
        "few seconds) and try again",
    };
    return hints;
}

} // namespace korvel::platform
