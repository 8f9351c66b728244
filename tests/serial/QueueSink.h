#pragma once
// A plain C++ notification sink for tests: the worker threads queue, the test
// thread delivers when it pumps. No Qt, so ThreadSanitizer sees every access.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "serial/Comm.h"
#include "serial/Notification.h"

namespace korvel::testing {

using namespace std::chrono_literals;

class QueueSink final : public serial::INotificationSink {
public:
    explicit QueueSink(serial::NotificationHandler handler) : handler_(std::move(handler)) {}

    bool Post(serial::Notification notification) override {
        std::lock_guard lock(mutex_);
        if (refusing_) {
            return false;
        }
        queue_.push_back(std::move(notification));
        posted_.notify_all();
        return true;
    }

    // From now on Post fails, as a full or gone queue would.
    void Refuse() {
        std::lock_guard lock(mutex_);
        refusing_ = true;
    }

    // Delivers on this thread until `done` holds; false after `limit`.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
                return done();
            }
            serial::Notification next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            handler_(next);
            if (next.id == serial::MessageId::MsgReceivedData) {
                ++deliveredChunks;
            }
        }
        return true;
    }

    // Waits, without delivering, until a notification of kind `id` is queued.
    bool WaitUntilQueued(serial::MessageId id, std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, limit, [&] {
            return std::any_of(queue_.begin(), queue_.end(),
                               [&](const serial::Notification& n) { return n.id == id; });
        });
    }

    // Delivers what is queued right now.
    void PumpPending() {
        PumpUntil([this] {
            std::lock_guard lock(mutex_);
            return queue_.empty();
        });
    }

    // Chunks delivered, whether or not a handler took them.
    std::size_t deliveredChunks = 0;

private:
    serial::NotificationHandler handler_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<serial::Notification> queue_;
    bool refusing_ = false;
};

// Everything the component reported, in order.
struct EventLog {
    struct Entry {
        serial::MessageId id;
        std::uint32_t value;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> entries;
    std::vector<std::vector<std::uint8_t>> chunks;

    void Attach(serial::TComm& comm) {
        comm.OnReceiveData = [this](serial::TComm&, const std::uint8_t* bytes,
                                    std::uint16_t length) {
            chunks.emplace_back(bytes, bytes + length);
            entries.push_back({serial::MessageId::MsgReceivedData, length});
        };
        comm.OnReceiveError = [this](serial::TComm&, std::uint32_t flags) {
            entries.push_back({serial::MessageId::MsgReceiveError, flags});
        };
        comm.OnModemStateChange = [this](serial::TComm&, std::uint32_t bits) {
            entries.push_back({serial::MessageId::MsgModemStateChange, bits});
        };
        comm.OnRequestHangup = [this](serial::TComm&) {
            entries.push_back({serial::MessageId::MsgRequestHangup, 0});
        };
        comm.OnSendDataEmpty = [this](serial::TComm&) {
            entries.push_back({serial::MessageId::MsgSendDataEmpty, 0});
        };
        comm.OnFirstBytes = [this](serial::TComm&) {
            entries.push_back({serial::MessageId::MsgFirstBytes, 0});
        };
    }

    std::size_t Count(serial::MessageId id) const {
        std::size_t n = 0;
        for (const Entry& entry : entries) {
            n += entry.id == id ? 1 : 0;
        }
        return n;
    }
    std::size_t ReceivedBytes() const {
        std::size_t n = 0;
        for (const auto& chunk : chunks) {
            n += chunk.size();
        }
        return n;
    }
};

// A component whose notifications go through a QueueSink.
struct QueuedComm {
    explicit QueuedComm(serial::TComm::DeviceOpener opener = platform::OpenSerialDevice)
        : comm(
              [this](serial::NotificationHandler handler) {
                  auto created = std::make_unique<QueueSink>(std::move(handler));
                  sink = created.get();
                  return created;
              },
              std::move(opener)) {
        log.Attach(comm);
    }
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        return sink->PumpUntil(done, limit);
    }

    QueueSink* sink = nullptr;
    EventLog log;
    serial::TComm comm;
};

} // namespace korvel::testing
