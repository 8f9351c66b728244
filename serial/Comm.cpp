#include "serial/Comm.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "serial/PortLink.h"
#include "serial/ReadThread.h"
#include "serial/SendQueue.h"
#include "serial/WriteThread.h"

namespace korvel::serial {

namespace {

constexpr std::size_t kDriverQueueSize = 4096;

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
    platform::OpenResult opened = opener_(p_.commName);
    if (!opened.device) {
        throw ECommsError("Can't Open the Port", opened.error, std::move(opened.system));
    }
    if (!opened.device->SetupQueues(kDriverQueueSize, kDriverQueueSize)) {
        throw ECommsError("不能设置通讯缓冲区");
    }
    device_ = std::move(opened.device);
    device_->Purge(platform::kPurgeTxAbort | platform::kPurgeRxAbort | platform::kPurgeTxClear |
                   platform::kPurgeRxClear);
    sendQueueEmpty_ = true;
    ApplyTimeouts();
    ApplyLineSettings();

    try {
        stopEvent_ = std::make_unique<platform::SerialEvent>();
        // The writer's queue exists before OpenPort returns, so that a
        // SendData right after it is never refused.
        sendQueue_ = std::make_unique<SendQueue>();
    } catch (const std::system_error&) {
        ReleasePort();
        throw ECommsError("Unable to create event");
    }
    link_ = std::make_unique<PortLink>(*device_, *stopEvent_, *sink_);

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

void TComm::StopReader() {
    if (!readerThread_) {
        return;
    }
    stopEvent_->Set();
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
    device_.reset();
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
    }
}

} // namespace korvel::serial
