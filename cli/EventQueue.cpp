#include "cli/EventQueue.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace korvel::cli {

class EventQueue::Sink final : public serial::INotificationSink {
public:
    Sink(EventQueue& queue, serial::NotificationHandler handler)
        : queue_(queue), handler_(std::move(handler)) {}
    // The component's threads have ended before it destroys its sink; what
    // they left in the queue is dropped with it.
    ~Sink() override { queue_.Forget(this); }

    bool Post(serial::Notification notification) override {
        return queue_.Post(this, std::move(notification));
    }
    void Deliver(serial::Notification& notification) const { handler_(notification); }

private:
    EventQueue& queue_;
    serial::NotificationHandler handler_;
};

serial::NotificationSinkFactory EventQueue::SinkFactory() {
    return
        [this](serial::NotificationHandler handler) -> std::unique_ptr<serial::INotificationSink> {
            return std::make_unique<Sink>(*this, std::move(handler));
        };
}

bool EventQueue::Post(const Sink* sink, serial::Notification notification) {
    {
        std::lock_guard lock(mutex_);
        items_.push_back({sink, std::move(notification)});
    }
    posted_.notify_all();
    return true;
}

void EventQueue::Forget(const Sink* sink) {
    std::lock_guard lock(mutex_);
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [sink](const Item& item) { return item.sink == sink; }),
                 items_.end());
}

void EventQueue::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    posted_.notify_all();
}

bool EventQueue::Interrupted() const {
    std::lock_guard lock(mutex_);
    return interrupted_;
}

bool EventQueue::PumpUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    while (!done()) {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_until(lock, deadline,
                                [this] { return interrupted_ || !items_.empty(); }) ||
            interrupted_) {
            lock.unlock();
            return done();
        }
        Item next = std::move(items_.front());
        items_.pop_front();
        lock.unlock();
        next.sink->Deliver(next.notification);
    }
    return true;
}

} // namespace korvel::cli
