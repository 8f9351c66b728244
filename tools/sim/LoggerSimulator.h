#pragma once
// A simulated logger on a pseudo-terminal. The tool opens `PortPath()` like any
// serial port; a worker thread hands what arrives to the logger (SimulatedLogger),
// which answers the read command with the parameter block and takes save commands,
// optionally at the pace of the logger's line speed and with the faults a real line
// or logger can show, and writes its replies back at their times.
//
// The simulator keeps its own descriptor of the terminal's slave side open for its
// whole life, so the master never sees a hang-up between the tool's opens and the
// raw line settings persist. All public members are safe to call from any thread.
//
// Windows has no pseudo-terminal: there Available() is false and the constructor
// throws (the in-process SimulatedDevice serves there instead).

#include "platform/SerialEvent.h"
#include "tools/sim/SimulatedLogger.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace korvel::sim {

class LoggerSimulator {
public:
    using Options = SimulatedLogger::Options;

    // Whether this build can host a simulated logger at all.
    static bool Available();

    // Opens the pseudo-terminal and starts the worker. Throws std::system_error
    // when the terminal or the thread cannot be created.
    explicit LoggerSimulator(Options options);
    LoggerSimulator() : LoggerSimulator(Options{}) {}
    // Stops the worker, even in the middle of a paced reply or a delay.
    ~LoggerSimulator();

    LoggerSimulator(const LoggerSimulator&) = delete;
    LoggerSimulator& operator=(const LoggerSimulator&) = delete;

    // The slave side, e.g. "/dev/pts/7".
    const std::string& PortPath() const { return portPath_; }

    // The logger behind the terminal: its block, mode, pace, delay and counts.
    SimulatedLogger& Logger() { return logger_; }
    const SimulatedLogger& Logger() const { return logger_; }

    Block CurrentBlock() const { return logger_.CurrentBlock(); }
    void SetBlock(const Block& block) { logger_.SetBlock(block); }
    void SetMode(Mode mode) { logger_.SetMode(mode); }
    Mode CurrentMode() const { return logger_.CurrentMode(); }
    void SetPace(bool pace) { logger_.SetPace(pace); }
    void SetReplyDelay(std::chrono::milliseconds delay) { logger_.SetReplyDelay(delay); }
    std::uint64_t ReadCount() const { return logger_.ReadCount(); }
    std::uint64_t SaveCount() const { return logger_.SaveCount(); }
    bool WaitForReads(std::uint64_t count, std::chrono::milliseconds timeout) const {
        return logger_.WaitForReads(count, timeout);
    }
    bool WaitForSaves(std::uint64_t count, std::chrono::milliseconds timeout) const {
        return logger_.WaitForSaves(count, timeout);
    }

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    bool Send(const std::vector<TimedBytes>& replies, Clock::time_point from);
    bool WriteAll(const std::uint8_t* bytes, std::size_t count);
    bool SleepUntil(Clock::time_point deadline);

    SimulatedLogger logger_;
    int master_ = -1;
    int slave_ = -1;
    // Set once, by the destructor: wakes the worker from any wait.
    platform::SerialEvent stop_;
    std::string portPath_;
    std::thread worker_;
};

} // namespace korvel::sim
