#include "cli/LoggerPort.h"

#include "platform/OpenHints.h"
#include "protocol/LoggerLink.h"

#include <utility>

namespace korvel::cli {

using platform::SerialError;

OpenFailure DescribeOpenFailure(const std::string& path, SerialError error,
                                const std::string& systemText) {
    const std::string because = systemText.empty() ? "" : " (" + systemText + ")";
    switch (error) {
    case SerialError::AccessDenied:
        if (platform::PortOpenHints().accessDeniedMeansBusy) {
            return {error,
                    path + " is busy" + because + ": " + platform::PortOpenHints().accessDenied};
        }
        return {error, "permission denied on " + path + because + ": " +
                           platform::PortOpenHints().accessDenied};
    case SerialError::Busy:
        return {error, path + " is busy" + because + ": " + platform::PortOpenHints().busy};
    case SerialError::NotFound:
    case SerialError::DeviceGone:
        return {error, path + " is gone" + because +
                           ": plug the logger in again, or see korvel-cli list for the ports"};
    case SerialError::NotATerminal:
        return {error, path + " is not a serial port" + because};
    default:
        return {error, "cannot open " + path + because};
    }
}

LoggerPort::LoggerPort(EventQueue& queue, std::string path, Trace* trace,
                       serial::TComm::DeviceOpener opener)
    : path_(std::move(path)), trace_(trace), comm_(queue.SinkFactory(), std::move(opener)) {
    comm_.OnReceiveData = [this](serial::TComm&, const std::uint8_t* bytes, std::uint16_t length) {
        if (trace_ != nullptr) {
            trace_->Chunk(path_, Trace::Direction::Received, bytes, length);
        }
        chunks_.emplace_back(bytes, bytes + length);
    };
    comm_.OnFirstBytes = [this](serial::TComm&) { begun_ = true; };
    comm_.OnRequestHangup = [this](serial::TComm&) { gone_ = true; };
}

std::optional<OpenFailure> LoggerPort::Open() {
    namespace link = protocol::link;
    comm_.setCommName(path_);
    comm_.setBaudRate(link::kBaudRate);
    comm_.setReadIntervalTimeout(static_cast<std::uint32_t>(link::kReadInterval.count()));
    // The frames are binary: XON and XOFF bytes are data, never flow control.
    comm_.setOutx_XonXoffFlow(link::kFlowControl);
    comm_.setInx_XonXoffFlow(link::kFlowControl);
    try {
        comm_.OpenPort();
    } catch (const serial::ECommsError& failure) {
        return DescribeOpenFailure(path_, failure.Error(), failure.System().text);
    }
    return std::nullopt;
}

bool LoggerPort::Send(const std::uint8_t* bytes, std::size_t count) {
    if (gone_ || count > UINT16_MAX) {
        return false;
    }
    if (trace_ != nullptr) {
        trace_->Chunk(path_, Trace::Direction::Sent, bytes, count);
    }
    return comm_.SendData(bytes, static_cast<std::uint16_t>(count));
}

LoggerPort::Chunk LoggerPort::TakeChunk() {
    Chunk chunk = std::move(chunks_.front());
    chunks_.pop_front();
    return chunk;
}

} // namespace korvel::cli
