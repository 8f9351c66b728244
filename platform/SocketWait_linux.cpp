#include "platform/SocketWait.h"

#include <cerrno>
#include <poll.h>

namespace korvel::platform {

SocketReady WaitForSocket(long long socket, bool forWriting, std::chrono::milliseconds limit) {
    pollfd entry{static_cast<int>(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count() > 0 ? left.count() : 0));
        if (ready > 0) {
            return SocketReady::Ready;
        }
        if (ready == 0) {
            return SocketReady::TimedOut;
        }
        if (errno != EINTR) {
            return SocketReady::Failed;
        }
    }
}

} // namespace korvel::platform
