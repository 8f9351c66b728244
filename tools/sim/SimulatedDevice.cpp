#include "tools/sim/SimulatedDevice.h"

#include "platform/SerialTimeouts.h"

#include <algorithm>

namespace korvel::sim {
namespace {

using platform::InputResult;
using std::chrono::milliseconds;

milliseconds Since(std::chrono::steady_clock::time_point then,
                   std::chrono::steady_clock::time_point now) {
    return std::chrono::duration_cast<milliseconds>(now - then);
}

} // namespace

SimulatedDevice::SimulatedDevice(std::shared_ptr<SimulatedLogger> logger)
    : logger_(std::move(logger)), line_(*logger_) {}

std::intptr_t SimulatedDevice::NativeHandle() const {
    return reinterpret_cast<std::intptr_t>(this);
}

bool SimulatedDevice::SetupQueues(std::size_t, std::size_t) {
    return true;
}

bool SimulatedDevice::Purge(std::uint32_t purgeFlags) {
    if (purgeFlags & platform::kPurgeRxClear) {
        // What has arrived goes; what the logger has yet to send still comes.
        const auto now = Clock::now();
        std::lock_guard lock(mutex_);
        while (!input_.empty() && input_.front().due <= now) {
            input_.pop_front();
        }
    }
    return true;
}

platform::SettingsResult SimulatedDevice::ApplyLineSettings(const platform::LineSettings&) {
    return {};
}

bool SimulatedDevice::ApplyTimeouts(const platform::Timeouts& timeouts) {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return true;
}

bool SimulatedDevice::SetEventMask(std::uint32_t) {
    return true;
}

std::optional<SimulatedDevice::Clock::time_point>
SimulatedDevice::TakeDue(platform::ReadRequest& read, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    while (!input_.empty() && read.count < read.buffer.size()) {
        Pending& next = input_.front();
        if (next.due > now) {
            return next.due;
        }
        const std::size_t count =
            std::min(next.bytes.size() - next.sent, read.buffer.size() - read.count);
        std::copy_n(next.bytes.begin() + static_cast<std::ptrdiff_t>(next.sent), count,
                    read.buffer.begin() + static_cast<std::ptrdiff_t>(read.count));
        read.count += count;
        read.lastByteTime = std::max(next.due, read.startTime);
        next.sent += count;
        if (next.sent == next.bytes.size()) {
            input_.pop_front();
        }
    }
    return std::nullopt;
}

InputResult SimulatedDevice::WaitForInput(platform::ReadRequest& read,
                                          const platform::SerialEvent& stop) {
    if (!read.started) {
        read.started = true;
        read.startTime = Clock::now();
    }
    for (;;) {
        if (stop.IsSet()) {
            return {InputResult::Kind::Stopped};
        }
        // Cleared before looking, so bytes added after the look wake the wait.
        added_.Reset();
        const auto now = Clock::now();
        const std::optional<Clock::time_point> nextDue = TakeDue(read, now);
        if (read.count > 0 && !read.firstBytesReported) {
            read.firstBytesReported = true;
            return {InputResult::Kind::FirstBytes};
        }
        platform::Timeouts timeouts;
        {
            std::lock_guard lock(mutex_);
            timeouts = timeouts_;
        }
        const platform::ReadPlan plan = platform::PlanRead(
            timeouts, {read.buffer.size(), read.count, Since(read.startTime, now),
                       Since(read.lastByteTime, now)});
        if (plan.complete) {
            return {InputResult::Kind::ReadDone};
        }
        std::optional<Clock::duration> wait;
        if (plan.wait) {
            wait = *plan.wait;
        }
        if (nextDue) {
            wait = std::min(wait.value_or(Clock::duration::max()), *nextDue - now);
        }
        const int woken = wait ? platform::WaitForAnyEvent({&stop, &added_}, *wait)
                               : platform::WaitForAnyEvent({&stop, &added_});
        if (woken == 0) {
            return {InputResult::Kind::Stopped};
        }
        if (woken == -1) {
            return {InputResult::Kind::Failed, 0, platform::SerialError::Other};
        }
    }
}

platform::LineErrorResult SimulatedDevice::TakeLineErrors() {
    return {true, 0, platform::SerialError::None};
}

platform::WriteResult SimulatedDevice::Write(std::span<const std::uint8_t> bytes,
                                             const platform::SerialEvent& stop) {
    if (stop.IsSet()) {
        return {platform::WriteResult::Kind::Stopped};
    }
    const auto now = Clock::now();
    std::vector<TimedBytes> replies = line_.Receive(bytes.data(), bytes.size(), now);
    if (!replies.empty()) {
        {
            std::lock_guard lock(mutex_);
            for (TimedBytes& piece : replies) {
                input_.push_back({now + std::chrono::duration_cast<Clock::duration>(piece.at),
                                  std::move(piece.bytes)});
            }
        }
        added_.Set();
    }
    return {platform::WriteResult::Kind::Written, bytes.size()};
}

} // namespace korvel::sim
