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

bool OutputIsLiveTerminal() {
    // A console that cannot take the sequences would print them as text:
    // the plain line-per-event output is shown there instead.
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == INVALID_HANDLE_VALUE || !::GetConsoleMode(output, &mode)) {
        return false;
    }
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           ::SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

} // namespace korvel::platform
