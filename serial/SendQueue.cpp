#include "serial/SendQueue.h"

#include <new>

namespace korvel::serial {

bool SendQueue::Push(SendRequest request) {
    std::lock_guard lock(mutex_);
    try {
        requests_.push_back(std::move(request));
    } catch (const std::bad_alloc&) {
        return false;
    }
    ready_.Set();
    return true;
}

std::optional<SendRequest> SendQueue::TryTake() {
    std::lock_guard lock(mutex_);
    if (requests_.empty()) {
        // Reset under the lock that Push sets it under: no wake-up is lost.
        ready_.Reset();
        return std::nullopt;
    }
    SendRequest request = std::move(requests_.front());
    requests_.pop_front();
    return request;
}

} // namespace korvel::serial
