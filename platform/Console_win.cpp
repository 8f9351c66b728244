#include "platform/Console.h"

#include <windows.h>

namespace korvel::platform {

unsigned SwitchConsoleToUtf8() {
    // 0 when the process has no console.
    const UINT current = ::GetConsoleOutputCP();
    if (current == 0 || current == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) {
        return 0;
    }
    return current;
}

void RestoreConsoleCodePage(unsigned previous) {
    if (previous != 0) {
        ::SetConsoleOutputCP(previous);
    }
}

} // namespace korvel::platform
