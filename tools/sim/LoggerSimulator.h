#pragma once
// A simulated logger on a pseudo-terminal. The tool opens `PortPath()` like any
// serial port; a worker thread answers the read command with the parameter block
// and takes save commands, optionally at the pace of the logger's line speed and with
// the faults a real line or logger can show.
//
// The simulator keeps its own descriptor of the terminal's slave side open for its
// whole life, so the master never sees a hang-up between the tool's opens and the
// raw line settings persist. All public members are safe to call from any thread.
//
// Windows has no pseudo-terminal: there Available() is false and the constructor
// throws; the mode names and reply shapes are the Linux build's only.

#include "platform/SerialEvent.h"
#include "tools/sim/SimBlock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korvel::sim {

enum class Mode {
    Normal,      // answers as a logger does
    Silent,      // takes commands, never answers
    Garbage,     // answers with random bytes that are no frame
    BadChecksum, // answers with the checksum byte off by one
    Split,       // answers in two halves with a 300 ms pause between them
    Short,       // answers with a truncated reply
};

// "normal", "silent", "garbage", "bad-checksum", "split", "short".
std::string_view ModeName(Mode mode);
std::optional<Mode> ModeFromName(std::string_view name);

// One write of a reply: wait `pauseBefore`, then send `bytes`.
struct ReplyPart {
    std::chrono::milliseconds pauseBefore{0};
    std::vector<std::uint8_t> bytes;
};

inline constexpr std::chrono::milliseconds kSplitPause{300};
inline constexpr std::size_t kShortReplySize = 100;

// How a reply goes out in `mode`: empty for Silent; a truncated reply keeps the
// first 100 bytes (half of a reply no longer than that); garbage never begins with
// a header byte, so it can never pass a frame check. `randomSeed` feeds Garbage.
std::vector<ReplyPart> ShapeReply(Mode mode, const std::vector<std::uint8_t>& reply,
                                  std::uint32_t randomSeed = 0);

class LoggerSimulator {
public:
    struct Options {
        Block block = DefaultBlock();
        Mode mode = Mode::Normal;
        bool pace = false; // send at the logger's line speed instead of in one write
        std::chrono::milliseconds replyDelay{0};
        // An unfinished frame followed by this much silence is dropped.
        std::chrono::milliseconds frameSilence{500};
        // Called on the worker thread with every block taken from a save command.
        std::function<void(const Block&)> onSave;
    };

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

    // The block as last saved (the save frame as received) or as first given.
    Block CurrentBlock() const;
    void SetBlock(const Block& block);

    void SetMode(Mode mode) { mode_ = mode; }
    Mode CurrentMode() const { return mode_; }
    void SetPace(bool pace) { pace_ = pace; }
    void SetReplyDelay(std::chrono::milliseconds delay) { replyDelayMs_ = delay.count(); }

    std::uint64_t ReadCount() const { return reads_; }
    std::uint64_t SaveCount() const { return saves_; }

    // Wait until at least `count` read (save) commands have arrived; false on time-out.
    bool WaitForReads(std::uint64_t count, std::chrono::milliseconds timeout) const;
    bool WaitForSaves(std::uint64_t count, std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void Handle(const std::vector<std::uint8_t>& frame);
    bool Answer(const std::vector<std::uint8_t>& reply);
    bool WritePart(const std::vector<std::uint8_t>& bytes);
    bool WriteAll(const std::uint8_t* bytes, std::size_t count);
    bool SleepUntil(Clock::time_point deadline);
    void Count(std::atomic<std::uint64_t>& counter);
    bool WaitFor(const std::atomic<std::uint64_t>& counter, std::uint64_t count,
                 std::chrono::milliseconds timeout) const;

    int master_ = -1;
    int slave_ = -1;
    // Set once, by the destructor: wakes the worker from any wait.
    platform::SerialEvent stop_;
    std::string portPath_;
    std::function<void(const Block&)> onSave_;
    std::chrono::milliseconds frameSilence_;

    std::atomic<Mode> mode_;
    std::atomic<bool> pace_;
    std::atomic<std::int64_t> replyDelayMs_;
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> saves_{0};
    std::uint32_t replies_ = 0; // worker only: varies the garbage

    mutable std::mutex mutex_;
    mutable std::condition_variable counted_;
    Block block_; // guarded by mutex_

    std::thread worker_;
};

} // namespace korvel::sim
