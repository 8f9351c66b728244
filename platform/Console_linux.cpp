#include "platform/Console.h"

#include <unistd.h>

namespace korvel::platform {

unsigned SwitchConsoleToUtf8() {
    return 0;
}

void RestoreConsoleCodePage(unsigned) {}

bool OutputIsLiveTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

} // namespace korvel::platform
