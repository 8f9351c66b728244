#include "serial/ReadThread.h"

#include <algorithm>
#include <new>
#include <optional>

#include "platform/SerialThread.h"

namespace korvel::serial {

using platform::InputResult;

void TReadThread::Start() {
    thread_ = std::thread([this] { Execute(); });
}

void TReadThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TReadThread::Execute() {
    platform::RaiseCurrentThreadPriority(platform::ThreadPriority::Highest);
    platform::SerialDevice& device = link_.device();
    inputGeneration_ = link_.generation();
    if (!device.SetEventMask(kWatchedLineEvents)) {
        link_.RequestHangup();
    } else {
        platform::ReadRequest read(buffer_);
        for (bool running = true; running;) {
            const InputResult result = device.WaitForInput(read, link_.readerWake());
            switch (result.kind) {
            case InputResult::Kind::Stopped:
                running = !link_.stop().IsSet() && TakePurge(read);
                break;
            case InputResult::Kind::Failed:
                link_.EndAfterFailure(result.error);
                running = false;
                break;
            case InputResult::Kind::LineEvent:
                running = HandleLineEvent(result.events);
                break;
            case InputResult::Kind::FirstBytes:
                running = AnnounceChunk(read);
                break;
            case InputResult::Kind::ReadDone:
                running = (read.count == 0 || read.firstBytesReported || AnnounceChunk(read)) &&
                          DeliverChunk(read.count);
                read.Restart();
                break;
            }
        }
    }
    device.Purge(platform::kPurgeRxAbort | platform::kPurgeRxClear);
    link_.ReaderEnded();
}

bool TReadThread::TakePurge(platform::ReadRequest& read) {
    if (const std::optional<std::uint64_t> generation = link_.TakePurgeRequest()) {
        // The bytes of the pending read came before the purge: they go, and
        // what arrives from now on starts a chunk of its own.
        read.Restart();
        link_.device().Purge(platform::kPurgeRxClear);
        inputGeneration_ = *generation;
        link_.PurgeDone(*generation);
    }
    // The wake-up was cleared: a stop that came with it is only seen here.
    return !link_.stop().IsSet();
}

bool TReadThread::AnnounceChunk(platform::ReadRequest& read) {
    read.firstBytesReported = true;
    if (!link_.Post({MessageId::MsgFirstBytes, 0, nullptr, 0, inputGeneration_})) {
        link_.RequestHangup();
        return false;
    }
    return true;
}

bool TReadThread::DeliverChunk(std::size_t count) {
    // An empty completion comes with total or "at once" time-outs, but also
    // from a driver whose device went away. The port is asked: a port that
    // still answers gets its read again, one that does not is gone, so the
    // next exchange is not left to look like a logger that does not reply.
    if (count == 0) {
        const platform::LineErrorResult check = link_.device().TakeLineErrors();
        if (!check.ok) {
            link_.EndAfterFailure(check.error == platform::SerialError::None
                                      ? platform::SerialError::DeviceGone
                                      : check.error);
            return false;
        }
        return true;
    }
    Notification chunk{MessageId::MsgReceivedData, 0, nullptr, static_cast<std::uint16_t>(count),
                       inputGeneration_};
    try {
        chunk.block = std::make_unique<std::uint8_t[]>(count + 1);
    } catch (const std::bad_alloc&) {
        link_.RequestHangup();
        return false;
    }
    std::copy_n(buffer_.begin(), count, chunk.block.get());
    if (!link_.Post(std::move(chunk))) {
        link_.RequestHangup();
        return false;
    }
    return true;
}

bool TReadThread::HandleLineEvent(std::uint32_t events) {
    bool handled = false;
    if (events & platform::kEventError) {
        const platform::LineErrorResult errors = link_.device().TakeLineErrors();
        if (!errors.ok) {
            link_.EndAfterFailure(errors.error);
            return false;
        }
        if (!link_.Post(MessageId::MsgReceiveError, errors.flags)) {
            link_.RequestHangup();
            return false;
        }
        handled = true;
    }
    const std::uint32_t modem = ((events & platform::kEventCarrierDetect) ? 8u : 0u) |
                                ((events & platform::kEventRing) ? 4u : 0u);
    if (modem != 0) {
        if (!link_.Post(MessageId::MsgModemStateChange, modem)) {
            link_.RequestHangup();
            return false;
        }
        handled = true;
    }
    if (!handled) {
        // An event the reader never asked for: the device is not behaving.
        link_.RequestHangup();
    }
    return handled;
}

} // namespace korvel::serial
