#pragma once
// A scripted serial device for what a pseudo-terminal cannot show: line
// events, partial writes and failures. The test keeps the shared state; the
// component owns (and destroys) the device itself.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/SerialDevice.h"

namespace korvel::testing {

struct FakeState {
    // Reader script: each step ends one WaitForInput, except that bytes of a
    // step marked `gathered` join the pending read, which stays pending; an
    // empty script waits for the stop (or a step added later).
    struct Step {
        platform::InputResult::Kind kind;
        std::vector<std::uint8_t> bytes; // ReadDone, FirstBytes, gathered: bytes the read receives
        std::uint32_t events = 0;        // LineEvent
        platform::SerialError error = platform::SerialError::None;
        bool gathered = false;
    };

    void AddStep(Step step) {
        std::lock_guard lock(mutex);
        steps.push_back(std::move(step));
        stepReady.Set();
    }
    std::vector<std::uint8_t> Written() {
        std::lock_guard lock(mutex);
        return written;
    }
    // Waits until `done` holds under the lock; false after `limit`.
    template <typename Predicate>
    bool WaitFor(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, done);
    }
    // The reader's and the writer's end steps each purge their own direction;
    // before ClosePort nothing else does.
    bool ReaderEnded() {
        return WaitFor(
            [this] { return HasPurge(platform::kPurgeRxAbort | platform::kPurgeRxClear); });
    }
    bool WriterEnded() {
        return WaitFor(
            [this] { return HasPurge(platform::kPurgeTxAbort | platform::kPurgeTxClear); });
    }
    // For tests on the main thread while the worker threads run.
    bool PurgedWith(std::uint32_t flags) {
        std::lock_guard lock(mutex);
        return HasPurge(flags);
    }
    // Callers hold the lock.
    bool HasPurge(std::uint32_t flags) const {
        return std::find(purges.begin(), purges.end(), flags) != purges.end();
    }

    std::mutex mutex;
    std::condition_variable changed;
    platform::SerialEvent stepReady;
    std::deque<Step> steps;
    // Lets a close that waits on closeBlocks end; the close waits 10 s at most.
    void ReleaseClose() {
        std::lock_guard lock(mutex);
        closeBlocks = false;
        changed.notify_all();
    }

    bool setupOk = true;
    bool eventMaskOk = true;
    bool reportsFirstBytes = true; // set before the open
    platform::SettingsResult lineSettingsResult;
    bool closeBlocks = false; // the destructor waits for ReleaseClose()
    platform::LineErrorResult lineErrors{true, 0, platform::SerialError::None};
    std::size_t writeChunk = SIZE_MAX;       // largest part one Write takes
    std::size_t blockWritesAfter = SIZE_MAX; // from this many bytes on, writes wait for the stop
    std::optional<platform::SerialError> writeFailure;
    std::vector<std::uint8_t> written;
    std::vector<platform::LineSettings> lineSettings;
    std::vector<platform::Timeouts> timeouts;
    std::vector<std::uint32_t> purges;
    std::size_t purgesBeforeLineSettings = 0; // at the last ApplyLineSettings
    int opened = 0;
    int closed = 0;
};

class FakeDevice final : public platform::SerialDevice {
public:
    explicit FakeDevice(std::shared_ptr<FakeState> state) : state_(std::move(state)) {
        std::lock_guard lock(state_->mutex);
        ++state_->opened;
    }
    ~FakeDevice() override {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait_for(lock, std::chrono::seconds(10),
                                 [this] { return !state_->closeBlocks; });
        ++state_->closed;
        state_->changed.notify_all();
    }

    std::intptr_t NativeHandle() const override { return 42; }
    bool SetupQueues(std::size_t, std::size_t) override { return state_->setupOk; }
    bool Purge(std::uint32_t flags) override {
        std::lock_guard lock(state_->mutex);
        state_->purges.push_back(flags);
        state_->changed.notify_all();
        return true;
    }
    platform::SettingsResult ApplyLineSettings(const platform::LineSettings& settings) override {
        std::lock_guard lock(state_->mutex);
        state_->lineSettings.push_back(settings);
        state_->purgesBeforeLineSettings = state_->purges.size();
        return state_->lineSettingsResult;
    }
    bool ApplyTimeouts(const platform::Timeouts& timeouts) override {
        std::lock_guard lock(state_->mutex);
        state_->timeouts.push_back(timeouts);
        return true;
    }
    bool SetEventMask(std::uint32_t) override { return state_->eventMaskOk; }

    platform::InputResult WaitForInput(platform::ReadRequest& read,
                                       const platform::SerialEvent& stop) override {
        for (;;) {
            if (stop.IsSet()) {
                return {platform::InputResult::Kind::Stopped};
            }
            {
                std::lock_guard lock(state_->mutex);
                if (!state_->steps.empty()) {
                    FakeState::Step step = std::move(state_->steps.front());
                    state_->steps.pop_front();
                    state_->changed.notify_all();
                    std::copy(step.bytes.begin(), step.bytes.end(),
                              read.buffer.begin() + static_cast<std::ptrdiff_t>(read.count));
                    read.count += step.bytes.size();
                    if (step.gathered) {
                        continue;
                    }
                    if (step.kind == platform::InputResult::Kind::FirstBytes) {
                        read.firstBytesReported = true;
                    }
                    return {step.kind, step.events, step.error};
                }
                state_->stepReady.Reset();
            }
            if (platform::WaitForAnyEvent({&stop, &state_->stepReady}) < 0) {
                return {platform::InputResult::Kind::Failed, 0, platform::SerialError::Other};
            }
        }
    }

    bool ReportsFirstBytes() const override { return state_->reportsFirstBytes; }

    platform::LineErrorResult TakeLineErrors() override {
        std::lock_guard lock(state_->mutex);
        return state_->lineErrors;
    }

    platform::WriteResult Write(std::span<const std::uint8_t> bytes,
                                const platform::SerialEvent& stop) override {
        if (stop.IsSet()) {
            return {platform::WriteResult::Kind::Stopped};
        }
        std::unique_lock lock(state_->mutex);
        if (state_->writeFailure) {
            return {platform::WriteResult::Kind::Failed, 0, *state_->writeFailure};
        }
        if (state_->written.size() >= state_->blockWritesAfter) {
            lock.unlock();
            platform::WaitForAnyEvent({&stop});
            return {platform::WriteResult::Kind::Stopped};
        }
        const std::size_t room = state_->blockWritesAfter - state_->written.size();
        const std::size_t n = std::min({bytes.size(), state_->writeChunk, room});
        state_->written.insert(state_->written.end(), bytes.begin(), bytes.begin() + n);
        state_->changed.notify_all();
        return {platform::WriteResult::Kind::Written, n};
    }

private:
    std::shared_ptr<FakeState> state_;
};

// Opens the fake exclusively, as the real layer does: the port is held from
// the open until the device's close has returned.
inline auto FakeOpener(std::shared_ptr<FakeState> state) {
    return [state](const std::string&) {
        {
            std::lock_guard lock(state->mutex);
            if (state->opened > state->closed) {
                return platform::OpenResult{
                    nullptr, platform::SerialError::Busy, {EBUSY, "Device or resource busy"}};
            }
        }
        return platform::OpenResult{
            std::make_unique<FakeDevice>(state), platform::SerialError::None, {}};
    };
}

} // namespace korvel::testing
