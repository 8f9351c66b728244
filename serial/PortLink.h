#pragma once
// What the reader and the writer of one open port share with the component:
// the device, the stop event and the sink, all owned by the component and
// outliving both threads, plus the rule that ends a thread after a failure
// and the hand-shake through which the owner has the reader purge its input.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/SerialDevice.h"
#include "serial/Notification.h"

namespace korvel::serial {

class PortLink {
public:
    // `generation` stamps every notification of this open. Throws
    // std::system_error when the reader's wake-up event cannot be created.
    PortLink(platform::SerialDevice& device, const platform::SerialEvent& stop,
             INotificationSink& sink, std::uint64_t generation)
        : device_(device), stop_(stop), sink_(sink), generation_(generation) {}

    platform::SerialDevice& device() const { return device_; }
    const platform::SerialEvent& stop() const { return stop_; }
    std::uint64_t generation() const { return generation_; }
    // What the reader waits on: set with every stop and for every input purge.
    const platform::SerialEvent& readerWake() const { return readerWake_; }
    void WakeReader() { readerWake_.Set(); }

    bool Post(MessageId id, std::uint32_t value = 0) {
        return sink_.Post({id, value, nullptr, 0, generation_});
    }
    // The caller stamps the notification.
    bool Post(Notification notification) { return sink_.Post(std::move(notification)); }

    // Posts MsgRequestHangup, once for the whole open port: an unplugged
    // adapter fails the reader and the writer together, and the owner wants
    // one notice for it.
    void RequestHangup() {
        if (!hangupPosted_.exchange(true)) {
            Post(MessageId::MsgRequestHangup);
        }
    }

    // The error rule after a failed call: an invalid handle ends quietly,
    // anything else with a hang-up notice.
    void EndAfterFailure(platform::SerialError error) {
        if (error != platform::SerialError::InvalidHandle) {
            RequestHangup();
        }
    }

    // Owner: asks the reader to drop the bytes it holds and flush the driver's
    // input, stamping later chunks with `generation`, and waits up to `limit`
    // for it. False when the reader has ended or did not answer in time.
    bool PurgeInput(std::uint64_t generation, std::chrono::milliseconds limit) {
        std::unique_lock lock(purgeMutex_);
        if (readerEnded_) {
            return false;
        }
        purgeAsked_ = generation;
        readerWake_.Set();
        return purgeDone_.wait_for(lock, limit, [&] {
            return purgeAnswered_ >= generation || readerEnded_;
        }) && purgeAnswered_ >= generation;
    }

    // Reader, woken without a stop: the purge asked for, if any. Clears the
    // wake-up, so the caller checks the stop again before it waits.
    std::optional<std::uint64_t> TakePurgeRequest() {
        std::lock_guard lock(purgeMutex_);
        readerWake_.Reset();
        if (purgeAsked_ <= purgeAnswered_) {
            return std::nullopt;
        }
        return purgeAsked_;
    }
    void PurgeDone(std::uint64_t generation) {
        std::lock_guard lock(purgeMutex_);
        purgeAnswered_ = generation;
        purgeDone_.notify_all();
    }
    void ReaderEnded() {
        std::lock_guard lock(purgeMutex_);
        readerEnded_ = true;
        purgeDone_.notify_all();
    }

private:
    platform::SerialDevice& device_;
    const platform::SerialEvent& stop_;
    INotificationSink& sink_;
    const std::uint64_t generation_;
    std::atomic<bool> hangupPosted_{false};

    platform::SerialEvent readerWake_;
    std::mutex purgeMutex_;
    std::condition_variable purgeDone_;
    std::uint64_t purgeAsked_ = 0;
    std::uint64_t purgeAnswered_ = 0;
    bool readerEnded_ = false;
};

} // namespace korvel::serial
