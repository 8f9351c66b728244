#include "platform/SerialErrno_win.h"

#include <windows.h>

#include <string>

#include "platform/WideText_win.h"

namespace korvel::platform {

namespace {

// Not in mingw-w64's winerror.h.
constexpr DWORD kErrorNoSuchDevice = 433;

} // namespace

SerialError SerialErrorFromWin32(std::uint32_t code, Win32Site site) {
    switch (code) {
    case ERROR_SUCCESS:
        return SerialError::None;
    // Our handle closes only once both threads have ended, so during a transfer
    // an invalid handle is one the driver let go of with its device.
    case ERROR_INVALID_HANDLE:
        return site == Win32Site::Open ? SerialError::InvalidHandle : SerialError::DeviceGone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return site == Win32Site::Open ? SerialError::NotFound : SerialError::DeviceGone;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return SerialError::Busy;
    case ERROR_ACCESS_DENIED:
        return site == Win32Site::Open ? SerialError::Busy : SerialError::DeviceGone;
    case ERROR_INVALID_FUNCTION:
        return SerialError::NotATerminal;
    // What USB serial drivers answer once their device has been unplugged: usbser
    // aborts the pending request, FTDI's and Prolific's fail it with one of the rest.
    case ERROR_OPERATION_ABORTED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case kErrorNoSuchDevice:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BROKEN_PIPE:
        return SerialError::DeviceGone;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
        return SerialError::NotSupported;
    default:
        return SerialError::Other;
    }
}

SystemError SystemErrorFromWin32(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return {static_cast<int>(code), Utf8FromWide(text)};
}

} // namespace korvel::platform
