#pragma once
// The logger's exchanges on an open port, and how long each may take. A reply
// is the next chunk the port delivers: the line's 200 ms read interval after
// its last byte completes it, as in the window.

#include "cli/EventQueue.h"
#include "cli/LoggerPort.h"
#include "protocol/ParameterBlock.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

// How long after the read command a searched port may take to show the first
// byte of its answer. What it waits for, at most:
//   the 7-byte command on the line                          7.3 ms
//   the logger's turn-around (it answers as the command's
//   trailer is in; the simulated logger at once)             a few byte times
//   the first byte on the line                               1.0 ms
//   the USB adapter: its latency timer (FTDI 16 ms by
//   default; CP210x and CH340 a few ms) and a 1 ms full-
//   speed frame each way                                    18 ms
// about 30 ms on an idle computer. The rest is for a busy one: the tty layer,
// the reader and this program's thread being scheduled, which on a loaded
// machine (or under a sanitizer) can take tens of milliseconds.
inline constexpr std::chrono::milliseconds kFirstByteLimit{150};

struct Timing {
    // After opening a port, before the command: the logger's pause.
    std::chrono::milliseconds openPause;
    // A searched port whose first byte shows as it arrives and has shown none
    // this long after the command is silent.
    std::chrono::milliseconds firstByteAfter{kFirstByteLimit};
    // A port that has not begun to answer this long after the command is
    // silent, where only whole chunks show.
    std::chrono::milliseconds silentAfter{500};
    // No reply takes longer than this after its command.
    std::chrono::milliseconds replyLimit{1000};
};
Timing DefaultTiming();

// How long to wait for the first chunk after a command before a port counts as
// silent, and what a port that has begun to answer gets for its whole reply. A
// reply begun just before silentAfter shows once its 210 bytes and the read
// interval have passed; never beyond replyLimit.
std::chrono::milliseconds SilenceLimit(const Timing& timing);

// The time `count` bytes take on the logger's line.
std::chrono::milliseconds LineTime(std::size_t count);

// A chunk as the answer to the read command: the parameter block, or what is
// wrong with it ("a reply with a bad checksum").
struct ReplyCheck {
    std::optional<protocol::Block> block;
    std::string problem;
};
ReplyCheck CheckReadReply(const LoggerPort::Chunk& chunk);

// Empty when the chunk is the save acknowledgement, else what it is instead.
std::string CheckSaveAcknowledgement(const LoggerPort::Chunk& chunk);

// Delivers what is queued and forgets the chunks nobody asked for, so that
// stray bytes are not taken for the answer to the next command.
void DropUnasked(LoggerPort& port, EventQueue& queue);

// Waits for `port`'s next chunk until `deadline`; empty on time-out or when the
// port is gone.
std::optional<LoggerPort::Chunk> NextChunk(LoggerPort& port, EventQueue& queue,
                                           EventQueue::Clock::time_point deadline);

// Sends the read command on an open port that a logger answered before and
// takes its reply. `problem` says why there is no block.
ReplyCheck ReadParameters(LoggerPort& port, EventQueue& queue, const Timing& timing);

enum class SaveAnswer { Acknowledged, NotSent, NoAnswer, OtherAnswer, Gone };
struct SaveResult {
    SaveAnswer answer = SaveAnswer::NoAnswer;
    std::string problem;
};
// Sends the save command and waits for the acknowledgement.
SaveResult SendSave(LoggerPort& port, EventQueue& queue, const protocol::Block& frame,
                    const Timing& timing);

} // namespace korvel::cli
