#include "platform/SerialErrno.h"

#include <cerrno>

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

} // namespace korvel::platform
