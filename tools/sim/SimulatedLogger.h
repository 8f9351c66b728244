#pragma once
// The simulated logger itself, apart from the line its bytes travel on: the
// block it keeps, the commands it takes, how it answers (mode, pace, delay)
// and what it has counted. The pseudo-terminal simulator (LoggerSimulator) and
// the in-process device (SimulatedDevice) both answer through one, each line
// through a LineEnd of its own. All members are safe to call from any thread.

#include "tools/sim/FrameAssembler.h"
#include "tools/sim/SimBlock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
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

// Bytes the logger sends `at` after the command that called for them arrived.
struct TimedBytes {
    std::chrono::nanoseconds at{0};
    std::vector<std::uint8_t> bytes;
};

// A reply on the line: its pieces in order, and when its last byte is out.
struct TimedReply {
    std::vector<TimedBytes> pieces;
    std::chrono::nanoseconds end{0};
};

// `parts` laid out on the line after `delay`: each at once, or at the
// logger's line speed in small batches, after the pause before it.
TimedReply Schedule(const std::vector<ReplyPart>& parts, bool pace,
                    std::chrono::milliseconds delay);

class SimulatedLogger {
public:
    struct Options {
        Block block = DefaultBlock();
        Mode mode = Mode::Normal;
        bool pace = false; // send at the logger's line speed instead of in one write
        std::chrono::milliseconds replyDelay{0};
        // An unfinished frame followed by this much silence is dropped.
        std::chrono::milliseconds frameSilence{500};
        // Called with every block taken from a save command, on the thread
        // that delivered the command.
        std::function<void(const Block&)> onSave;
    };

    explicit SimulatedLogger(Options options);
    SimulatedLogger() : SimulatedLogger(Options{}) {}
    SimulatedLogger(const SimulatedLogger&) = delete;
    SimulatedLogger& operator=(const SimulatedLogger&) = delete;

    // Takes one command (a frame FrameAssembler found) and returns the reply
    // as it leaves the logger in the current mode, pace and delay.
    TimedReply Take(const FrameAssembler::Frame& frame);

    // The block as last saved (the save frame as received) or as first given.
    Block CurrentBlock() const;
    void SetBlock(const Block& block);

    void SetMode(Mode mode) { mode_ = mode; }
    Mode CurrentMode() const { return mode_; }
    void SetPace(bool pace) { pace_ = pace; }
    void SetReplyDelay(std::chrono::milliseconds delay) { replyDelayMs_ = delay.count(); }
    std::chrono::milliseconds FrameSilence() const { return frameSilence_; }

    std::uint64_t ReadCount() const { return reads_; }
    std::uint64_t SaveCount() const { return saves_; }

    // Wait until at least `count` read (save) commands have arrived; false on time-out.
    bool WaitForReads(std::uint64_t count, std::chrono::milliseconds timeout) const;
    bool WaitForSaves(std::uint64_t count, std::chrono::milliseconds timeout) const;

private:
    void Count(std::atomic<std::uint64_t>& counter);
    bool WaitFor(const std::atomic<std::uint64_t>& counter, std::uint64_t count,
                 std::chrono::milliseconds timeout) const;

    const std::function<void(const Block&)> onSave_;
    const std::chrono::milliseconds frameSilence_;
    std::atomic<Mode> mode_;
    std::atomic<bool> pace_;
    std::atomic<std::int64_t> replyDelayMs_;
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> saves_{0};
    std::atomic<std::uint32_t> replies_{0}; // varies the garbage

    mutable std::mutex mutex_;
    mutable std::condition_variable counted_;
    Block block_; // guarded by mutex_
};

// The logger's end of one line: gathers what the tool writes into commands,
// dropping an unfinished one that the logger's frame silence cut off, and
// hands them to the logger. Used by the one thread that delivers the line's bytes.
class LineEnd {
public:
    using Clock = std::chrono::steady_clock;

    explicit LineEnd(SimulatedLogger& logger) : logger_(logger) {}

    // The bytes that arrived at `time`; returns the replies they called for,
    // timed from `time`, in order. A reply starts once the one before it on
    // this line is out, as the logger answers one command after the other.
    std::vector<TimedBytes> Receive(const std::uint8_t* bytes, std::size_t count,
                                    Clock::time_point time);

private:
    SimulatedLogger& logger_;
    FrameAssembler assembler_;
    Clock::time_point lastByte_{};
    Clock::time_point replyEnd_{};
};

} // namespace korvel::sim
