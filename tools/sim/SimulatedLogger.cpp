#include "tools/sim/SimulatedLogger.h"

#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"

#include <algorithm>
#include <array>
#include <random>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;

constexpr std::array<std::string_view, 6> kModeNames = {"normal",       "silent", "garbage",
                                                        "bad-checksum", "split",  "short"};
constexpr std::array<Mode, 6> kModes = {Mode::Normal,      Mode::Silent, Mode::Garbage,
                                        Mode::BadChecksum, Mode::Split,  Mode::Short};

// Small batches on a steady schedule keep the gaps between bytes a few
// milliseconds long, far below the logger's read interval time-out.
constexpr std::size_t kPaceBatch = 4;

std::vector<std::uint8_t> Garbage(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 0xFF);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    if (!bytes.empty() && bytes.front() == kHeader0) {
        bytes.front() = static_cast<std::uint8_t>(~kHeader0);
    }
    return bytes;
}

std::vector<std::uint8_t> WithBadChecksum(std::vector<std::uint8_t> reply) {
    if (reply.size() >= kMinFrameSize) {
        reply[reply.size() - 2] = static_cast<std::uint8_t>(reply[reply.size() - 2] + 1);
    }
    return reply;
}

} // namespace

std::string_view ModeName(Mode mode) {
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModes[i] == mode) {
            return kModeNames[i];
        }
    }
    return "normal";
}

std::optional<Mode> ModeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModeNames[i] == name) {
            return kModes[i];
        }
    }
    return std::nullopt;
}

std::vector<ReplyPart> ShapeReply(Mode mode, const std::vector<std::uint8_t>& reply,
                                  std::uint32_t randomSeed) {
    switch (mode) {
    case Mode::Normal:
        return {{{}, reply}};
    case Mode::Silent:
        return {};
    case Mode::Garbage:
        return {{{}, Garbage(reply.size(), randomSeed)}};
    case Mode::BadChecksum:
        return {{{}, WithBadChecksum(reply)}};
    case Mode::Split: {
        const auto half = reply.begin() + static_cast<std::ptrdiff_t>(reply.size() / 2);
        return {{{}, {reply.begin(), half}}, {kSplitPause, {half, reply.end()}}};
    }
    case Mode::Short: {
        const std::size_t size =
            reply.size() > kShortReplySize ? kShortReplySize : reply.size() / 2;
        return {{{}, {reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(size)}}};
    }
    }
    return {};
}

TimedReply Schedule(const std::vector<ReplyPart>& parts, bool pace,
                    std::chrono::milliseconds delay) {
    TimedReply reply;
    std::chrono::nanoseconds at = delay;
    for (const ReplyPart& part : parts) {
        at += part.pauseBefore;
        if (!pace) {
            reply.pieces.push_back({at, part.bytes});
            continue;
        }
        for (std::size_t sent = 0; sent < part.bytes.size(); sent += kPaceBatch) {
            const auto first = part.bytes.begin() + static_cast<std::ptrdiff_t>(sent);
            const auto last =
                part.bytes.begin() +
                static_cast<std::ptrdiff_t>(std::min(sent + kPaceBatch, part.bytes.size()));
            reply.pieces.push_back(
                {at + link::kByteTime * static_cast<long long>(sent), {first, last}});
        }
        at += link::kByteTime * static_cast<long long>(part.bytes.size());
    }
    reply.end = at;
    return reply;
}

SimulatedLogger::SimulatedLogger(Options options)
    : onSave_(std::move(options.onSave)), frameSilence_(options.frameSilence), mode_(options.mode),
      pace_(options.pace), replyDelayMs_(options.replyDelay.count()), block_(options.block) {}

TimedReply SimulatedLogger::Take(const FrameAssembler::Frame& frame) {
    std::vector<std::uint8_t> reply;
    if (frame[offset::kCommand] == command::kRead) {
        Count(reads_);
        const Block answer = ReadReplyFrom(CurrentBlock());
        reply.assign(answer.begin(), answer.end());
    } else {
        Block taken{};
        std::copy(frame.begin(), frame.end(), taken.begin());
        SetBlock(taken);
        if (onSave_) {
            onSave_(taken);
        }
        Count(saves_);
        reply.assign(kSaveAcknowledgement.begin(), kSaveAcknowledgement.end());
    }
    return Schedule(ShapeReply(mode_, reply, replies_++), pace_,
                    std::chrono::milliseconds(replyDelayMs_.load()));
}

Block SimulatedLogger::CurrentBlock() const {
    std::lock_guard lock(mutex_);
    return block_;
}

void SimulatedLogger::SetBlock(const Block& block) {
    std::lock_guard lock(mutex_);
    block_ = block;
}

bool SimulatedLogger::WaitForReads(std::uint64_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(reads_, count, timeout);
}

bool SimulatedLogger::WaitForSaves(std::uint64_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(saves_, count, timeout);
}

bool SimulatedLogger::WaitFor(const std::atomic<std::uint64_t>& counter, std::uint64_t count,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return counted_.wait_for(lock, timeout, [&] { return counter >= count; });
}

void SimulatedLogger::Count(std::atomic<std::uint64_t>& counter) {
    {
        std::lock_guard lock(mutex_);
        ++counter;
    }
    counted_.notify_all();
}

std::vector<TimedBytes> LineEnd::Receive(const std::uint8_t* bytes, std::size_t count,
                                         Clock::time_point time) {
    if (assembler_.HasPartial() && time - lastByte_ >= logger_.FrameSilence()) {
        assembler_.DropPartial();
    }
    lastByte_ = time;
    std::vector<TimedBytes> out;
    for (const auto& frame : assembler_.Feed(bytes, count)) {
        TimedReply reply = logger_.Take(frame);
        const Clock::time_point start = std::max(time, replyEnd_);
        for (TimedBytes& piece : reply.pieces) {
            out.push_back({start - time + piece.at, std::move(piece.bytes)});
        }
        replyEnd_ = start + std::chrono::duration_cast<Clock::duration>(reply.end);
    }
    return out;
}

} // namespace korvel::sim
