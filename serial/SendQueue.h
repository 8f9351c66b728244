#pragma once
// The writer's queue of send requests: filled by the owner's thread, drained
// in arrival order by the writer, with an event that is set while it holds a
// request so the writer can wait on it together with the stop event.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/SerialEvent.h"

namespace korvel::serial {

struct SendRequest {
    std::unique_ptr<std::uint8_t[]> block; // count bytes and a zero byte
    std::uint16_t count = 0;
};

class SendQueue {
public:
    // False when the request could not be queued; it is freed then.
    bool Push(SendRequest request);
    // The oldest request, or none (and Ready() reset) when the queue is empty.
    std::optional<SendRequest> TryTake();
    const platform::SerialEvent& Ready() const { return ready_; }

private:
    std::mutex mutex_;
    std::deque<SendRequest> requests_;
    platform::SerialEvent ready_;
};

} // namespace korvel::serial
