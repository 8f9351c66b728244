#include "serial/Comm.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "serial/BoundedOpen.h"
#include "serial/DeviceCloser.h"
#include "serial/PortLink.h"
#include "serial/ReadThread.h"
#include "serial/SendQueue.h"
#include "serial/WriteThread.h"

namespace korvel::serial {

namespace {

constexpr std::size_t kDriverQueueSize = 4096;
// How long ClosePort waits for the closer: any close that is not stuck in a
// driver's closing wait ends well within it, so a reopen right after finds the
// port free; a stuck one costs the owner no more than this.
constexpr std::chrono::milliseconds kCloseWait{250};
// How long PurgeInput waits for the reader, which only has to wake up.
constexpr std::chrono::milliseconds kPurgeWait{1000};

} // namespace

TComm::TComm(const NotificationSinkFactory& sinkFactory, DeviceOpener opener)
    : opener_(std::move(opener)),
      sink_(sinkFactory([this](Notification& notification) { Dispatch(notification); })) {}

TComm::~TComm() {
    ClosePort();
}

void TComm::OpenPort() {
    if (device_) {
        throw ECommsError("This serial port already opened");
    }
    // Whatever the earlier open left queued belongs to another exchange, even
    // when this open fails.
    openGeneration_ = inputGeneration_ = ++generation_;
    platform::OpenResult opened =
        openLimit_ ? OpenWithin(opener_, p_.commName, *openLimit_) : opener_(p_.commName);
    if (!opened.device) {
        throw ECommsError("Can't Open the Port", opened.error, std::move(opened.system));
    }
    if (!opened.device->SetupQueues(kDriverQueueSize, kDriverQueueSize)) {
        CloseDevice(std::move(opened.device), kCloseWait);
        throw ECommsError("不能设置通讯缓冲区");
    }
    device_ = std::move(opened.device);
    device_->Purge(platform::kPurgeTxAbort | platform::kPurgeRxAbort | platform::kPurgeTxClear |
                   platform::kPurgeRxClear);
    sendQueueEmpty_ = true;
    ApplyTimeouts();
    // A refused setting would leave whatever the previous user of the port set
    // (echo, canonical input), which no reply survives.
    if (platform::SettingsResult applied = device_->ApplyLineSettings(LineSettingsFrom(p_));
        !applied.ok) {
        ReleasePort();
        throw ECommsError("Can't Apply the Line Settings", applied.error,
                          std::move(applied.system));
    }
    // A new baud rate and the modem lines going up can make the device send,
    // or the line produce, bytes that must not join the first reply.
    device_->Purge(platform::kPurgeRxClear);

    try {
        stopEvent_ = std::make_unique<platform::SerialEvent>();
        // The writer's queue exists before OpenPort returns, so that a
        // SendData right after it is never refused.
        sendQueue_ = std::make_unique<SendQueue>();
        link_ = std::make_unique<PortLink>(*device_, *stopEvent_, *sink_, openGeneration_);
    } catch (const std::system_error&) {
        ReleasePort();
        throw ECommsError("Unable to create event");
    }

    readerThread_ = std::make_unique<TReadThread>(*link_);
    try {
        readerThread_->Start();
    } catch (const std::system_error&) {
        readerThread_.reset();
        ReleasePort();
        throw ECommsError("Unable to create read thread");
    }
    writerThread_ = std::make_unique<TWriteThread>(*link_, *sendQueue_, sendQueueEmpty_);
    try {
        writerThread_->Start();
    } catch (const std::system_error&) {
        StopReader();
        writerThread_.reset();
        ReleasePort();
        throw ECommsError("Unable to create write thread");
    }
}

void TComm::ClosePort() {
    if (!device_) {
        return;
    }
    StopReader();
    StopWriter();
    ReleasePort();
}

void TComm::BeginClose() {
    if (!device_) {
        return;
    }
    stopEvent_->Set();
    if (readerThread_) {
        link_->WakeReader();
    }
}

void TComm::StopReader() {
    if (!readerThread_) {
        return;
    }
    stopEvent_->Set();
    link_->WakeReader();
    device_->Purge(platform::kPurgeRxAbort | platform::kPurgeRxClear);
    readerThread_->Join();
    readerThread_.reset();
}

void TComm::StopWriter() {
    if (!writerThread_) {
        return;
    }
    stopEvent_->Set();
    device_->Purge(platform::kPurgeTxAbort | platform::kPurgeTxClear);
    sendQueueEmpty_ = true;
    writerThread_->Join();
    writerThread_.reset();
}

void TComm::ReleasePort() {
    // Only after both threads have ended: the device is closed exactly once,
    // and requests still queued are freed with the queue.
    link_.reset();
    sendQueue_.reset();
    stopEvent_.reset();
    CloseDevice(std::move(device_), kCloseWait);
}

void TComm::PurgeInput() {
    if (!device_) {
        return;
    }
    const std::uint64_t generation = ++generation_;
    if (!link_->PurgeInput(generation, kPurgeWait)) {
        // No reader to do it (it ended after a failure): the driver's queue is all there is.
        device_->Purge(platform::kPurgeRxClear);
    }
    inputGeneration_ = generation;
}

bool TComm::SendData(const std::uint8_t* bytes, std::uint16_t count) {
    if (!writerThread_ || writerThread_->HasEnded() || count == 0) {
        return false;
    }
    SendRequest request;
    try {
        request.block = std::make_unique<std::uint8_t[]>(std::size_t{count} + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::copy_n(bytes, count, request.block.get());
    request.count = count;
    // Cleared before the hand-over, so the writer's "empty" cannot be
    // overwritten by a late "busy" after it has already written the block.
    const bool wasEmpty = sendQueueEmpty_.exchange(false);
    if (!sendQueue_->Push(std::move(request))) {
        sendQueueEmpty_ = wasEmpty;
        return false;
    }
    return true;
}

std::intptr_t TComm::PortHandle() const {
    return device_ ? device_->NativeHandle() : 0;
}

void TComm::ApplyLineSettings() {
    // While open a refused change leaves the port as it was; only OpenPort fails on it.
    if (device_) {
        device_->ApplyLineSettings(LineSettingsFrom(p_));
    }
}

void TComm::ApplyTimeouts() {
    if (device_) {
        device_->ApplyTimeouts(TimeoutsFrom(p_));
    }
}

void TComm::Dispatch(Notification& notification) {
    // Stale: from an earlier open, or bytes received before the last input
    // purge. The window takes any chunk as the reply to its latest command.
    const bool input = notification.id == MessageId::MsgReceivedData ||
                       notification.id == MessageId::MsgFirstBytes;
    if (notification.generation < openGeneration_ ||
        (input && notification.generation < inputGeneration_)) {
        return;
    }
    // Each handler is called through a copy, so one that reassigns its own
    // event while it runs does not pull the callable out from under itself.
    switch (notification.id) {
    case MessageId::MsgReceivedData:
        if (auto handler = OnReceiveData) {
            handler(*this, notification.block.get(), notification.length);
        }
        break;
    case MessageId::MsgReceiveError:
        if (auto handler = OnReceiveError) {
            handler(*this, notification.value);
        }
        break;
    case MessageId::MsgRequestHangup:
        if (auto handler = OnRequestHangup) {
            handler(*this);
        }
        break;
    case MessageId::MsgModemStateChange:
        if (auto handler = OnModemStateChange) {
            handler(*this, notification.value);
        }
        break;
    case MessageId::MsgSendDataEmpty:
        if (auto handler = OnSendDataEmpty) {
            handler(*this);
        }
        break;
    case MessageId::MsgFirstBytes:
        if (auto handler = OnFirstBytes) {
            handler(*this);
        }
        break;
    }
}

} // namespace korvel::serial
