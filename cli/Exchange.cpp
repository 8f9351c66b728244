#include "cli/Exchange.h"

#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"

#include <algorithm>
#include <cstdio>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;

std::string codeText(std::uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

// Header, trailer and checksum as CheckFrame sees them, told apart for the user.
std::string frameProblem(const LoggerPort::Chunk& chunk) {
    const std::size_t n = chunk.size();
    if (n < kMinFrameSize || n > kFrameSize) {
        return "a reply of " + std::to_string(n) + " bytes, which is no frame";
    }
    if (chunk[0] != kHeader0 || chunk[1] != kHeader1 || chunk[n - 1] != kTrailer) {
        return "a reply of " + std::to_string(n) + " bytes without the frame's header and trailer";
    }
    return "a reply with a bad checksum";
}

} // namespace

void DropUnasked(LoggerPort& port, EventQueue& queue) {
    queue.PumpUntil([] { return false; }, EventQueue::Clock::now());
    port.DropChunks();
}

Timing DefaultTiming() {
    return Timing{link::kPortPause};
}

std::chrono::milliseconds LineTime(std::size_t count) {
    return std::chrono::ceil<std::chrono::milliseconds>(link::kByteTime *
                                                        static_cast<long long>(count));
}

std::chrono::milliseconds SilenceLimit(const Timing& timing) {
    return std::min(timing.replyLimit,
                    timing.silentAfter + LineTime(frame_size::kReadReply) + link::kReadInterval);
}

ReplyCheck CheckReadReply(const LoggerPort::Chunk& chunk) {
    if (!CheckFrame(chunk.data(), chunk.size())) {
        return {std::nullopt, frameProblem(chunk)};
    }
    if (chunk[offset::kCommand] != command::kReadReply) {
        return {std::nullopt, "a frame of command " + codeText(chunk[offset::kCommand]) +
                                  " instead of the read reply"};
    }
    if (chunk.size() != frame_size::kReadReply) {
        return {std::nullopt, "a read reply of " + std::to_string(chunk.size()) +
                                  " bytes instead of " + std::to_string(frame_size::kReadReply)};
    }
    Block block{};
    std::copy(chunk.begin(), chunk.end(), block.begin());
    return {block, {}};
}

std::string CheckSaveAcknowledgement(const LoggerPort::Chunk& chunk) {
    if (!CheckFrame(chunk.data(), chunk.size())) {
        return frameProblem(chunk);
    }
    if (chunk[offset::kCommand] != command::kSaveAck) {
        return "a frame of command " + codeText(chunk[offset::kCommand]) +
               " instead of the save acknowledgement";
    }
    return {};
}

std::optional<LoggerPort::Chunk> NextChunk(LoggerPort& port, EventQueue& queue,
                                           EventQueue::Clock::time_point deadline) {
    queue.PumpUntil([&] { return port.HasChunk() || port.Gone(); }, deadline);
    if (!port.HasChunk()) {
        return std::nullopt;
    }
    return port.TakeChunk();
}

ReplyCheck ReadParameters(LoggerPort& port, EventQueue& queue, const Timing& timing) {
    DropUnasked(port, queue);
    if (!port.Send(kReadCommand.data(), kReadCommand.size())) {
        return {std::nullopt, port.Path() + " is gone"};
    }
    const auto deadline =
        EventQueue::Clock::now() + LineTime(kReadCommand.size()) + timing.replyLimit;
    const std::optional<LoggerPort::Chunk> chunk = NextChunk(port, queue, deadline);
    if (!chunk) {
        return {std::nullopt, port.Gone() ? port.Path() + " went away (unplugged?)"
                                          : "no reply within " +
                                                std::to_string(timing.replyLimit.count()) + " ms"};
    }
    return CheckReadReply(*chunk);
}

SaveResult SendSave(LoggerPort& port, EventQueue& queue, const Block& frame, const Timing& timing) {
    DropUnasked(port, queue);
    if (!port.Send(frame.data(), frame.size())) {
        return {SaveAnswer::NotSent, port.Path() + " is gone"};
    }
    const auto deadline = EventQueue::Clock::now() + LineTime(frame.size()) + timing.replyLimit;
    const std::optional<LoggerPort::Chunk> chunk = NextChunk(port, queue, deadline);
    if (!chunk) {
        if (port.Gone()) {
            return {SaveAnswer::Gone, port.Path() + " went away (unplugged?) after the save"};
        }
        return {SaveAnswer::NoAnswer,
                "no acknowledgement within " + std::to_string(timing.replyLimit.count()) + " ms"};
    }
    if (std::string problem = CheckSaveAcknowledgement(*chunk); !problem.empty()) {
        return {SaveAnswer::OtherAnswer, "the logger answered the save with " + problem};
    }
    return {SaveAnswer::Acknowledged, {}};
}

} // namespace korvel::cli
