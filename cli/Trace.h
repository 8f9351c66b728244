#pragma once
// The byte trace (--trace FILE): a header line with the UTC start time, the
// version and the arguments, then one line per chunk sent or received:
//   <seconds.microseconds since start> <port> tx|rx <hex bytes>
// The file is new (the rule of CreateOutputFile) and its owner's only. A
// secret's bytes (the password, protocol::SecretFields) in a read reply or a
// save frame are written "**", and so is that frame's checksum, which would
// give away their sum; the line that completes the secret ends with
// "(password hidden)", and from the second such frame on a port with
// "(password hidden, unchanged)" or "(password hidden, changed)", against the
// frame before it.

#include "cli/OutputFile.h"
#include "platform/PrivateFiles.h"
#include "protocol/Result.h"
#include "protocol/SettingKeys.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korvel::cli {

class Trace {
public:
    enum class Direction { Sent, Received };

    // Creates `path` with `create` by the rule of CreateOutputFile (never a
    // path that exists) and writes the header.
    static protocol::Result<std::unique_ptr<Trace>>
    Open(const FileCreator& create, const std::string& path, const std::string& version,
         const std::vector<std::string>& arguments, std::chrono::system_clock::time_point start);

    // Writes the chunk's line whole. After a line that could not be written
    // nothing more is written: the trace ends there, and Close says so.
    // Safe to call from several threads: provisioning drives a port on each.
    void Chunk(const std::string& port, Direction direction, const std::uint8_t* bytes,
               std::size_t count);

    // Flushes the trace to the disk and says whether it is whole: a failure
    // names the first line that could not be written, or the flush.
    protocol::Result<void> Close();

    const std::string& Path() const { return path_; }

private:
    Trace(std::unique_ptr<platform::NewFile> file, std::string path)
        : file_(std::move(file)), path_(std::move(path)) {}

    // Where a port's bytes in one direction are: inside a read reply or save
    // frame (from its command byte on) or not.
    struct Stream {
        bool inFrame = false;
        std::size_t position = 0; // of the last byte, in its frame
        std::array<std::uint8_t, 2> previous{};
        std::map<protocol::SettingKey, std::vector<std::uint8_t>> secrets; // of this frame
    };
    struct Port {
        Stream sent;
        Stream received;
        // Each secret as the last frame on the port held it.
        std::map<protocol::SettingKey, std::vector<std::uint8_t>> last;
    };
    // The chunk's hex with its secrets hidden, and their notes.
    std::string hiddenText(Port& port, Stream& stream, const std::uint8_t* bytes,
                           std::size_t count);

    std::mutex mutex_; // guards everything below
    std::unique_ptr<platform::NewFile> file_;
    std::string path_;
    std::size_t lines_ = 1;          // written, the header included
    protocol::Result<void> written_; // the first failure
    std::map<std::string, Port> ports_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// "2025-06-01T12:00:00.123456Z"
std::string UtcMicrosecondsText(std::chrono::system_clock::time_point time);

// Bytes as upper-case hex pairs separated by spaces: "AA 55 14".
std::string HexText(const std::uint8_t* bytes, std::size_t count);

} // namespace korvel::cli
