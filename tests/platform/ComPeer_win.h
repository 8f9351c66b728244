#pragma once
// The COM port of the Windows line tests and what its far end does: every
// byte comes back, and the hang-up marker makes the far end vanish as an
// unplugged adapter does (tests/wine/pty_peer.cpp plays it under Wine).

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::testing {

inline constexpr std::string_view kHangupMarker = "\x1b[korvel-peer:hangup]";

inline constexpr const char* kNoComPortReason =
    "KORVEL_TEST_COM names no COM port with an echoing far end; tests/wine/run.sh sets it";

// KORVEL_TEST_COM, e.g. COM5.
inline std::optional<std::string> TestComPort() {
    const char* name = std::getenv("KORVEL_TEST_COM");
    if (name == nullptr || *name == '\0') {
        return std::nullopt;
    }
    return std::string(name);
}

// Wine's ntdll exports wine_get_version; Windows' does not.
inline bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace korvel::testing
