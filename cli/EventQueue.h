#pragma once
// The command-line program's event loop for its port components: every TComm
// it creates posts into one queue, and the program's thread delivers the
// notifications while it waits for a reply, each wait bounded by a deadline.
// Plain C++; no Qt.

#include "serial/Notification.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace korvel::cli {

class EventQueue {
public:
    using Clock = std::chrono::steady_clock;

    EventQueue() = default;
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // For TComm's constructor: sinks that post here and deliver to the
    // component on the thread that calls PumpUntil. The queue must outlive
    // every component built with it.
    serial::NotificationSinkFactory SinkFactory();

    // Delivers notifications in posting order until `done` holds, `deadline`
    // passes or the queue is interrupted, sleeping while there are none;
    // returns done().
    bool PumpUntil(const std::function<bool()>& done, Clock::time_point deadline);

    // Ends the current wait and every later one at once, for good: the user
    // aborted the exchanges in flight. Safe to call from any thread.
    void Interrupt();
    bool Interrupted() const;

private:
    class Sink;
    struct Item {
        const Sink* sink;
        serial::Notification notification;
    };

    bool Post(const Sink* sink, serial::Notification notification);
    void Forget(const Sink* sink);

    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Item> items_;
    bool interrupted_ = false;
};

} // namespace korvel::cli
