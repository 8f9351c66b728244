#pragma once
// The Win32 calls the Windows serial device makes on an open port, behind one
// interface, so that tests can stand in for drivers that misbehave (a read
// that is never completed once cancelled, a write that never ends), which
// neither Wine nor a well-behaved adapter shows. Each call keeps its Win32
// contract: FALSE with the reason in GetLastError(). Waits on the requests'
// events stay the device's own.

#include <windows.h>

#include <memory>

namespace korvel::platform {

class CommDriver {
public:
    virtual ~CommDriver() = default;
    virtual BOOL SetupComm(HANDLE port, DWORD inputQueue, DWORD outputQueue) = 0;
    virtual BOOL PurgeComm(HANDLE port, DWORD flags) = 0;
    virtual BOOL SetCommState(HANDLE port, DCB* settings) = 0;
    virtual BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommMask(HANDLE port, DWORD mask) = 0;
    virtual BOOL WaitCommEvent(HANDLE port, DWORD* events, OVERLAPPED* request) = 0;
    virtual BOOL ClearCommError(HANDLE port, DWORD* errors) = 0;
    virtual BOOL ReadFile(HANDLE port, void* into, DWORD size, OVERLAPPED* request) = 0;
    virtual BOOL WriteFile(HANDLE port, const void* bytes, DWORD size, OVERLAPPED* request) = 0;
    virtual BOOL GetOverlappedResult(HANDLE port, OVERLAPPED* request, DWORD* transferred,
                                     BOOL wait) = 0;
    virtual BOOL CancelIoEx(HANDLE port, OVERLAPPED* request) = 0;
    virtual BOOL CloseHandle(HANDLE port) = 0;
};

// The operating system's own calls.
std::shared_ptr<CommDriver> SystemCommDriver();

class SerialDevice;
// The device over an open overlapped port handle, which it owns from now on;
// null when its request events cannot be created (the handle is then closed).
std::unique_ptr<SerialDevice> MakeWinSerialDevice(HANDLE port, std::shared_ptr<CommDriver> driver);

} // namespace korvel::platform
