#include "platform/SocketWait.h"

#include <winsock2.h>

namespace korvel::platform {

SocketReady WaitForSocket(long long socket, bool forWriting, std::chrono::milliseconds limit) {
    WSAPOLLFD entry{};
    entry.fd = static_cast<SOCKET>(socket);
    entry.events = forWriting ? POLLWRNORM : POLLRDNORM;
    const int ready = ::WSAPoll(&entry, 1, static_cast<INT>(limit.count()));
    if (ready > 0) {
        return SocketReady::Ready;
    }
    return ready == 0 ? SocketReady::TimedOut : SocketReady::Failed;
}

} // namespace korvel::platform
