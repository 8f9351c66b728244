#pragma once
// The reader of an open port: keeps one read outstanding with the line events
// armed, posts MsgFirstBytes once a chunk has begun to arrive (as its first
// bytes come where the device can tell, else right before the chunk), each
// completed chunk (1 to 2048 bytes) as MsgReceivedData and
// each line event as MsgReceiveError / MsgModemStateChange, purges its input
// when the owner asks, and ends on the stop event or after a failure (with
// MsgRequestHangup unless quiet).

#include <array>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "serial/PortLink.h"

namespace korvel::serial {

inline constexpr std::size_t kReadBufferSize = 2048;
// Carrier detect, line error and ring.
inline constexpr std::uint32_t kWatchedLineEvents =
    platform::kEventCarrierDetect | platform::kEventError | platform::kEventRing;

class TReadThread {
public:
    explicit TReadThread(PortLink& link) : link_(link) {}
    ~TReadThread() { Join(); }
    TReadThread(const TReadThread&) = delete;
    TReadThread& operator=(const TReadThread&) = delete;

    // Throws std::system_error when no thread can be created.
    void Start();
    // Returns once the thread body has ended; the stop event ends it promptly.
    void Join();

private:
    void Execute();
    bool AnnounceChunk(platform::ReadRequest& read);
    bool DeliverChunk(std::size_t count);
    bool HandleLineEvent(std::uint32_t events);
    bool TakePurge(platform::ReadRequest& read);

    PortLink& link_;
    // Stamps the chunks: the generation of the last input purge, or of the open.
    std::uint64_t inputGeneration_ = 0;
    std::array<std::uint8_t, kReadBufferSize> buffer_{};
    std::thread thread_;
};

} // namespace korvel::serial
