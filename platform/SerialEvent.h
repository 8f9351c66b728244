#pragma once
// A manual-reset event that worker threads can wait on together with a device:
// once Set it stays set until Reset, and every waiter sees it.

#include <chrono>
#include <initializer_list>

namespace korvel::platform {

class SerialEvent {
public:
    // Throws std::system_error when the operating system has no event left.
    SerialEvent();
    ~SerialEvent();
    SerialEvent(const SerialEvent&) = delete;
    SerialEvent& operator=(const SerialEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // The descriptor that polls readable while the event is set (Linux).
    int NativeHandle() const { return fd_; }

private:
    int fd_ = -1;
};

// Blocks without a time limit until one of the events is set and returns the
// position of the first one that is (the lowest position wins); -1 when the
// wait itself fails.
int WaitForAnyEvent(std::initializer_list<const SerialEvent*> events);

// As WaitForAnyEvent, but gives up after `timeout` (rounded up to whole
// milliseconds) and then returns kWaitTimedOut.
inline constexpr int kWaitTimedOut = -2;
int WaitForAnyEvent(std::initializer_list<const SerialEvent*> events,
                    std::chrono::nanoseconds timeout);

} // namespace korvel::platform
