#pragma once
// The byte trace (--trace FILE): a header line with the UTC start time, the
// version and the arguments, then one line per chunk sent or received:
//   <seconds.microseconds since start> <port> tx|rx <hex bytes>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korvel::cli {

class Trace {
public:
    enum class Direction { Sent, Received };

    // Creates (or empties) `path` and writes the header; null with `error` set
    // when the file cannot be written.
    static std::unique_ptr<Trace> Open(const std::string& path, const std::string& version,
                                       const std::vector<std::string>& arguments,
                                       std::chrono::system_clock::time_point start,
                                       std::string& error);

    // Safe to call from several threads: provisioning drives a port on each.
    void Chunk(const std::string& port, Direction direction, const std::uint8_t* bytes,
               std::size_t count);

    // False once a line could not be written.
    bool Good() const { return static_cast<bool>(out_); }

private:
    explicit Trace(std::ofstream out) : out_(std::move(out)) {}

    std::mutex mutex_; // guards out_
    std::ofstream out_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// "2025-06-01T12:00:00.123456Z"
std::string UtcMicrosecondsText(std::chrono::system_clock::time_point time);

// Bytes as upper-case hex pairs separated by spaces: "AA 55 14".
std::string HexText(const std::uint8_t* bytes, std::size_t count);

} // namespace korvel::cli
