#pragma once
// One serial port driven the logger's way: opened exclusively with the line
// settings of protocol/LoggerLink.h through TComm, its received chunks kept in
// order for whoever waits on the EventQueue. Stays open (and so locked against
// other programs) until destroyed.

#include "cli/EventQueue.h"
#include "cli/Trace.h"
#include "platform/SerialDevice.h"
#include "serial/Comm.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

struct OpenFailure {
    platform::SerialError error = platform::SerialError::Other;
    std::string message; // what the user is told, with what to do next
};

// Why a port could not be opened, and what to do about it: permission names
// the dialout group, busy names another program.
OpenFailure DescribeOpenFailure(const std::string& path, platform::SerialError error,
                                const std::string& systemText);

class LoggerPort {
public:
    using Chunk = std::vector<std::uint8_t>;

    // `trace` may be null; it must outlive the port.
    LoggerPort(EventQueue& queue, std::string path, Trace* trace,
               serial::TComm::DeviceOpener opener = platform::OpenSerialDevice);

    std::optional<OpenFailure> Open();
    // Queues the bytes for the writer; false when the port is closed or gone.
    bool Send(const std::uint8_t* bytes, std::size_t count);

    // A reply has begun to arrive since the port was opened: its first bytes
    // were noticed, whether or not its chunk is complete or taken.
    bool Begun() const { return begun_; }
    // Whether Begun() comes with the first byte; where it cannot (the driver
    // holds a read's bytes until it completes) it comes with the whole chunk.
    bool TellsFirstBytes() const { return comm_.ReportsFirstBytes(); }

    bool HasChunk() const { return !chunks_.empty(); }
    // The oldest chunk not yet taken. Precondition: HasChunk().
    Chunk TakeChunk();
    // Forgets chunks that came without being asked for.
    void DropChunks() { chunks_.clear(); }
    // The device failed or went away (unplugged, the other end closed).
    bool Gone() const { return gone_; }
    // The port's threads are asked to end; its destruction then closes it.
    void BeginClose() { comm_.BeginClose(); }

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    Trace* trace_;
    std::deque<Chunk> chunks_;
    bool gone_ = false;
    bool begun_ = false;
    serial::TComm comm_; // last: its threads stop before the rest goes
};

} // namespace korvel::cli
