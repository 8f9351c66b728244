#include "serial/WriteThread.h"

#include <algorithm>
#include <optional>

#include "platform/SerialThread.h"

namespace korvel::serial {

using platform::WriteResult;

void TWriteThread::Start() {
    thread_ = std::thread([this] { Execute(); });
}

void TWriteThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TWriteThread::Execute() {
    platform::RaiseCurrentThreadPriority(platform::ThreadPriority::AboveNormal);
    bool notifyIdle = true;
    for (;;) {
        std::optional<SendRequest> request = queue_.TryTake();
        if (!request) {
            sendQueueEmpty_ = true;
            if (notifyIdle && !link_.Post(MessageId::MsgSendDataEmpty)) {
                link_.RequestHangup();
                break;
            }
            notifyIdle = false;
            const int woken = platform::WaitForAnyEvent({&link_.stop(), &queue_.Ready()});
            if (woken == 0) {
                break;
            }
            if (woken != 1) {
                link_.RequestHangup();
                break;
            }
            continue;
        }
        if (link_.stop().IsSet()) {
            break;
        }
        if (!WriteBlock({request->block.get(), request->count})) {
            break;
        }
        notifyIdle = true;
    }
    // Marked before the end step, so a SendData that sees the writer still
    // running can only lose its block to the stop, never to a writer that is gone.
    ended_ = true;
    link_.device().Purge(platform::kPurgeTxAbort | platform::kPurgeTxClear);
    sendQueueEmpty_ = true;
}

bool TWriteThread::WriteBlock(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const WriteResult result = link_.device().Write(bytes, link_.stop());
        if (result.kind == WriteResult::Kind::Stopped) {
            return false;
        }
        if (result.kind == WriteResult::Kind::Failed) {
            link_.EndAfterFailure(result.error);
            return false;
        }
        // A write time-out can complete with nothing written; the next call
        // waits its own time-out again, so this never spins.
        bytes = bytes.subspan(std::min(result.written, bytes.size()));
    }
    return true;
}

} // namespace korvel::serial
