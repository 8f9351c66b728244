#include "platform/ParentConsole.h"

#include <windows.h>

#include <cstdio>

namespace korvel::platform {

// Streams that were redirected (to a file, a pipe) are kept as they are.
void UseParentConsoleForOutput() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN) {
        return;
    }
    if (::AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

} // namespace korvel::platform
