#pragma once
// What the reader and the writer of one open port share with the component:
// the device, the stop event and the sink, all owned by the component and
// outliving both threads, plus the rule that ends a thread after a failure.

#include <atomic>
#include <utility>

#include "platform/SerialDevice.h"
#include "serial/Notification.h"

namespace korvel::serial {

class PortLink {
public:
    PortLink(platform::SerialDevice& device, const platform::SerialEvent& stop,
             INotificationSink& sink)
        : device_(device), stop_(stop), sink_(sink) {}

    platform::SerialDevice& device() const { return device_; }
    const platform::SerialEvent& stop() const { return stop_; }

    bool Post(MessageId id, std::uint32_t value = 0) { return sink_.Post({id, value, nullptr, 0}); }
    bool Post(Notification notification) { return sink_.Post(std::move(notification)); }

    // Posts MsgRequestHangup, once for the whole open port: an unplugged
    // adapter fails the reader and the writer together, and the owner wants
    // one notice for it.
    void RequestHangup() {
        if (!hangupPosted_.exchange(true)) {
            sink_.Post({MessageId::MsgRequestHangup, 0, nullptr, 0});
        }
    }

    // The error rule after a failed call: an invalid handle ends quietly,
    // anything else with a hang-up notice.
    void EndAfterFailure(platform::SerialError error) {
        if (error != platform::SerialError::InvalidHandle) {
            RequestHangup();
        }
    }

private:
    platform::SerialDevice& device_;
    const platform::SerialEvent& stop_;
    INotificationSink& sink_;
    std::atomic<bool> hangupPosted_{false};
};

} // namespace korvel::serial
