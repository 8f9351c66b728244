#pragma once
// What the worker threads tell the port component, and the seam that carries
// it to the component's own thread. The owner supplies the sink: the window
// uses Qt posted events (window/QtNotificationSink.h), tests a plain queue.

#include <cstdint>
#include <functional>
#include <memory>

namespace korvel::serial {

enum class MessageId : std::uint32_t {
    MsgReceivedData = 0x401,     // block + length: 1 to 2048 received bytes
    MsgReceiveError = 0x402,     // value: the line error flags
    MsgRequestHangup = 0x403,    // a worker thread failed and is ending
    MsgModemStateChange = 0x404, // value: 8 carrier detect changed, + 4 ring
    MsgSendDataEmpty = 0x405,    // the writer found its queue empty
    MsgFirstBytes = 0x406,       // a chunk has begun to arrive; its MsgReceivedData follows
};

struct Notification {
    MessageId id = MessageId::MsgRequestHangup;
    std::uint32_t value = 0;
    // Received bytes followed by one zero byte that `length` does not count.
    // The notification owns them; whoever drops it frees them.
    std::unique_ptr<std::uint8_t[]> block;
    std::uint16_t length = 0;
    // The component's generation (its count of opens and input purges) when
    // the content was gathered; the component drops what a later open or
    // purge has made stale.
    std::uint64_t generation = 0;
};

// Runs on the thread the sink delivers on, once per notification, in posting order.
using NotificationHandler = std::function<void(Notification& notification)>;

class INotificationSink {
public:
    virtual ~INotificationSink() = default;
    // Called from any thread; never blocks on the delivering thread. False
    // when the notification cannot be queued (it is then freed).
    virtual bool Post(Notification notification) = 0;
};

// Builds a sink that delivers to `handler` on the thread that calls the factory.
using NotificationSinkFactory =
    std::function<std::unique_ptr<INotificationSink>(NotificationHandler handler)>;

} // namespace korvel::serial
