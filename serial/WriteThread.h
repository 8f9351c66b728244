#pragma once
// The writer of an open port: takes send requests in arrival order and writes
// each completely (continuing partial writes), posts MsgSendDataEmpty once
// after the start and once after each run of writes, and ends on the stop
// event (dropping what is left) or after a failure.

#include <atomic>
#include <span>
#include <thread>

#include "serial/PortLink.h"
#include "serial/SendQueue.h"

namespace korvel::serial {

class TWriteThread {
public:
    TWriteThread(PortLink& link, SendQueue& queue, std::atomic<bool>& sendQueueEmpty)
        : link_(link), queue_(queue), sendQueueEmpty_(sendQueueEmpty) {}
    ~TWriteThread() { Join(); }
    TWriteThread(const TWriteThread&) = delete;
    TWriteThread& operator=(const TWriteThread&) = delete;

    // Throws std::system_error when no thread can be created.
    void Start();
    void Join();
    // True once the writer will take no more requests.
    bool HasEnded() const { return ended_.load(); }

private:
    void Execute();
    bool WriteBlock(std::span<const std::uint8_t> bytes);

    PortLink& link_;
    SendQueue& queue_;
    std::atomic<bool>& sendQueueEmpty_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

} // namespace korvel::serial
