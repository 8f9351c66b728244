// Arrivals and removals of COM ports from the configuration manager
// (CM_Register_Notification, Windows 8 on), which needs no window. Loaded at
// run time: the program also starts where cfgmgr32 lacks it, and the watch
// then lists the ports once a second instead.

#include "platform/TtyMonitor.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace korvel::platform {

namespace {

// The declarations mingw's headers give only for newer targets than ours.
constexpr DWORD kFilterDeviceInterface = 0; // CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE
constexpr DWORD kSuccess = 0;               // CR_SUCCESS
constexpr std::size_t kMaxDeviceIdLength = 200;

struct NotifyFilter { // CM_NOTIFY_FILTER
    DWORD cbSize;
    DWORD Flags;
    DWORD FilterType;
    DWORD Reserved;
    union {
        GUID ClassGuid;
        HANDLE Target;
        WCHAR InstanceId[kMaxDeviceIdLength];
    } u;
};

using NotifyCallback = DWORD(CALLBACK*)(HANDLE notification, void* context, DWORD action,
                                        const void* eventData, DWORD eventDataSize);
using RegisterFn = DWORD(WINAPI*)(NotifyFilter* filter, void* context, NotifyCallback callback,
                                  HANDLE* notification);
using UnregisterFn = DWORD(WINAPI*)(HANDLE notification);

// GUID_DEVINTERFACE_COMPORT: the interface every COM port's driver registers.
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

class WinTtyMonitor final : public TtyMonitor {
public:
    WinTtyMonitor(HANDLE changed, UnregisterFn unregister)
        : changed_(changed), unregister_(unregister) {}
    ~WinTtyMonitor() override {
        if (notification_ != nullptr) {
            unregister_(notification_); // waits for a callback still running
        }
        ::CloseHandle(changed_);
    }
    WinTtyMonitor(const WinTtyMonitor&) = delete;
    WinTtyMonitor& operator=(const WinTtyMonitor&) = delete;

    bool Wait(std::chrono::milliseconds timeout) override {
        const auto ms = static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(
            0, std::min<std::chrono::milliseconds::rep>(timeout.count(), INFINITE - 1)));
        if (::WaitForSingleObject(changed_, ms) != WAIT_OBJECT_0) {
            return false;
        }
        ::ResetEvent(changed_);
        return true;
    }

    // Runs on a thread of the system's pool.
    static DWORD CALLBACK Changed(HANDLE, void* context, DWORD, const void*, DWORD) {
        ::SetEvent(static_cast<WinTtyMonitor*>(context)->changed_);
        return ERROR_SUCCESS;
    }

    HANDLE notification_ = nullptr;

private:
    const HANDLE changed_;
    const UnregisterFn unregister_;
};

// GetProcAddress's result as the function it is; through void (*)(), which
// -Wcast-function-type accepts as "any function".
template <typename F> F Function(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

protocol::Failure NoMonitor(const std::string& why) {
    return protocol::Failure{protocol::Failure::Kind::System,
                             "no word of ports coming and going (" + why + ")"};
}

} // namespace

protocol::Result<std::unique_ptr<TtyMonitor>> OpenTtyMonitor() {
    const HMODULE library = ::LoadLibraryW(L"cfgmgr32.dll"); // kept for the process
    if (library == nullptr) {
        return NoMonitor("cfgmgr32.dll cannot be loaded");
    }
    const auto registerFn = Function<RegisterFn>(library, "CM_Register_Notification");
    const auto unregisterFn = Function<UnregisterFn>(library, "CM_Unregister_Notification");
    if (registerFn == nullptr || unregisterFn == nullptr) {
        return NoMonitor("this Windows has no CM_Register_Notification");
    }
    const HANDLE changed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (changed == nullptr) {
        return NoMonitor("no event, error " + std::to_string(::GetLastError()));
    }
    auto monitor = std::make_unique<WinTtyMonitor>(changed, unregisterFn);
    NotifyFilter filter{};
    filter.cbSize = sizeof filter;
    filter.FilterType = kFilterDeviceInterface;
    filter.u.ClassGuid = kComPortInterface;
    if (const DWORD result =
            registerFn(&filter, monitor.get(), &WinTtyMonitor::Changed, &monitor->notification_);
        result != kSuccess) {
        monitor->notification_ = nullptr;
        return NoMonitor("CM_Register_Notification refused, code " + std::to_string(result));
    }
    return std::unique_ptr<TtyMonitor>(std::move(monitor));
}

} // namespace korvel::platform
