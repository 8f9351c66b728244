#include "platform/OpenHints.h"

namespace korvel::platform {

// Windows opens a COM port for one program at a time and answers any second
// open with ERROR_ACCESS_DENIED; there is no group or permission to mend.
const OpenHints& PortOpenHints() {
    static const OpenHints hints{
        true,
        "another program holds it (a terminal, a vendor tool or a second Korvel); close that "
        "program and try again",
        "another program holds it; close that program and try again",
    };
    return hints;
}

} // namespace korvel::platform
