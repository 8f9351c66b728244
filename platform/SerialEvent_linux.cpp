#include "platform/SerialEvent.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <optional>
#include <system_error>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace korvel::platform {

SerialEvent::SerialEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

SerialEvent::~SerialEvent() {
    ::close(fd_);
}

void SerialEvent::Set() {
    // The counter only grows while set, so the descriptor stays readable: a
    // level that every poll() sees, which is what makes it manual-reset.
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void SerialEvent::Reset() {
    std::uint64_t value = 0;
    [[maybe_unused]] const auto read = ::read(fd_, &value, sizeof value);
}

bool SerialEvent::IsSet() const {
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

namespace {

// poll() over the events; -1 as the time limit waits without one.
int PollEvents(std::initializer_list<const SerialEvent*> events,
               std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::vector<pollfd> entries;
    for (const SerialEvent* event : events) {
        entries.push_back({event->NativeHandle(), POLLIN, 0});
    }
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        const int ready = ::poll(entries.data(), entries.size(), timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0 && deadline) {
            return kWaitTimedOut;
        }
        if (ready <= 0) {
            return -1;
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].revents & POLLIN) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
}

} // namespace

int WaitForAnyEvent(std::initializer_list<const SerialEvent*> events) {
    return PollEvents(events, std::nullopt);
}

int WaitForAnyEvent(std::initializer_list<const SerialEvent*> events,
                    std::chrono::nanoseconds timeout) {
    return PollEvents(events, std::chrono::steady_clock::now() + timeout);
}

} // namespace korvel::platform
