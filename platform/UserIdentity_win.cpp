#include "platform/UserIdentity.h"
#include "platform/WideText_win.h"

#include <windows.h>

namespace korvel::platform {

std::string LoginName() {
    wchar_t name[257];
    DWORD size = sizeof name / sizeof name[0];
    if (!::GetUserNameW(name, &size) || size == 0) {
        return {};
    }
    return Utf8FromWide(std::wstring_view(name, size - 1));
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name / sizeof name[0];
    if (!::GetComputerNameW(name, &size)) {
        return {};
    }
    return Utf8FromWide(std::wstring_view(name, size));
}

} // namespace korvel::platform
