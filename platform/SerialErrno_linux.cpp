#include "platform/SerialErrno.h"

#include <cerrno>
#include <cstring>

namespace korvel::platform {

SerialError SerialErrorFromErrno(int code) {
    switch (code) {
    case 0:
        return SerialError::None;
    case EBADF:
        return SerialError::InvalidHandle;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return SerialError::NotFound;
    case EBUSY:
    case EWOULDBLOCK:
        return SerialError::Busy;
    case EACCES:
    case EPERM:
        return SerialError::AccessDenied;
    case ENOTTY:
        return SerialError::NotATerminal;
    case EIO:
    case EPIPE:
    case ESHUTDOWN:
        return SerialError::DeviceGone;
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP:
        return SerialError::NotSupported;
    default:
        return SerialError::Other;
    }
}

SystemError SystemErrorFromErrno(int code) {
    // strerror_r's GNU form may return a static string instead of filling buf.
    char buffer[256] = {};
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    return {code, text != nullptr ? text : ""};
}

} // namespace korvel::platform
