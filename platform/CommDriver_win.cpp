#include "platform/CommDriver_win.h"

namespace korvel::platform {

namespace {

class SystemDriver final : public CommDriver {
public:
    BOOL SetupComm(HANDLE port, DWORD input, DWORD output) override {
        return ::SetupComm(port, input, output);
    }
    BOOL PurgeComm(HANDLE port, DWORD flags) override { return ::PurgeComm(port, flags); }
    BOOL SetCommState(HANDLE port, DCB* settings) override {
        return ::SetCommState(port, settings);
    }
    BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override {
        return ::SetCommTimeouts(port, timeouts);
    }
    BOOL SetCommMask(HANDLE port, DWORD mask) override { return ::SetCommMask(port, mask); }
    BOOL WaitCommEvent(HANDLE port, DWORD* events, OVERLAPPED* request) override {
        return ::WaitCommEvent(port, events, request);
    }
    BOOL ClearCommError(HANDLE port, DWORD* errors) override {
        return ::ClearCommError(port, errors, nullptr);
    }
    BOOL ReadFile(HANDLE port, void* into, DWORD size, OVERLAPPED* request) override {
        return ::ReadFile(port, into, size, nullptr, request);
    }
    BOOL WriteFile(HANDLE port, const void* bytes, DWORD size, OVERLAPPED* request) override {
        return ::WriteFile(port, bytes, size, nullptr, request);
    }
    BOOL GetOverlappedResult(HANDLE port, OVERLAPPED* request, DWORD* transferred,
                             BOOL wait) override {
        return ::GetOverlappedResult(port, request, transferred, wait);
    }
    BOOL CancelIoEx(HANDLE port, OVERLAPPED* request) override {
        return ::CancelIoEx(port, request);
    }
    BOOL CloseHandle(HANDLE port) override { return ::CloseHandle(port); }
};

} // namespace

std::shared_ptr<CommDriver> SystemCommDriver() {
    static const auto driver = std::make_shared<SystemDriver>();
    return driver;
}

} // namespace korvel::platform
