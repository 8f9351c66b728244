#include "platform/Console.h"

namespace korvel::platform {

unsigned SwitchConsoleToUtf8() {
    return 0;
}

void RestoreConsoleCodePage(unsigned) {}

} // namespace korvel::platform
