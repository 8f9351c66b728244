#pragma once
// A serial device whose far end is a simulated logger in this process: what the
// tool writes reaches the logger through a LineEnd of the device's own, and the
// logger's replies become input at the times the logger sends them, read under
// the same time-outs a real port keeps. Lets --demo run where there is no
// pseudo-terminal. Line settings are taken as given and line events never
// happen; writes go out at once.

#include "platform/SerialDevice.h"
#include "tools/sim/SimulatedLogger.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace korvel::sim {

class SimulatedDevice final : public platform::SerialDevice {
public:
    // Throws std::system_error when the operating system has no event left.
    explicit SimulatedDevice(std::shared_ptr<SimulatedLogger> logger);

    std::intptr_t NativeHandle() const override;
    bool SetupQueues(std::size_t input, std::size_t output) override;
    bool Purge(std::uint32_t purgeFlags) override;
    platform::SettingsResult ApplyLineSettings(const platform::LineSettings& settings) override;
    bool ApplyTimeouts(const platform::Timeouts& timeouts) override;
    bool SetEventMask(std::uint32_t mask) override;
    platform::InputResult WaitForInput(platform::ReadRequest& read,
                                       const platform::SerialEvent& stop) override;
    bool ReportsFirstBytes() const override { return true; }
    platform::LineErrorResult TakeLineErrors() override;
    platform::WriteResult Write(std::span<const std::uint8_t> bytes,
                                const platform::SerialEvent& stop) override;

private:
    using Clock = std::chrono::steady_clock;

    // Bytes the logger sends, from `sent` on, once `due` has come.
    struct Pending {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
    };

    // Moves what is due into `read`; the time the next bytes are due, if any.
    std::optional<Clock::time_point> TakeDue(platform::ReadRequest& read, Clock::time_point now);

    std::shared_ptr<SimulatedLogger> logger_;
    LineEnd line_; // the writer's
    // Set whenever bytes are added, so a waiting reader looks again.
    platform::SerialEvent added_;

    std::mutex mutex_;
    std::deque<Pending> input_;     // guarded by mutex_
    platform::Timeouts timeouts_{}; // guarded by mutex_
};

} // namespace korvel::sim
