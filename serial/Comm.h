#pragma once
// TComm: the serial port component. Opens a port by name exclusively, applies
// the line settings and time-outs held in its properties, and moves bytes on a
// reader and a writer thread. What the threads report reaches the thread that
// constructed the component as the On* events, in posting order, through the
// notification sink its owner supplies.
//
// All operations, setters and events belong to the constructing thread.
// Failures of OpenPort throw ECommsError (what() is the UTF-8 message); nothing
// else throws. Setting a property to its current value touches nothing; line
// and time-out properties are re-applied while open, except CommName and
// Parity, which take effect at the next open (Parity also at the next change
// of another line property). Destroying an open component closes it.
//
// Notifications still queued when the port is closed are delivered after the
// close; once the port has been opened again they are stale and dropped
// before any handler sees them, as are chunks received before a PurgeInput.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/SerialDevice.h"
#include "serial/CommSettings.h"
#include "serial/Notification.h"

namespace korvel::serial {

class PortLink;
class SendQueue;
class TReadThread;
class TWriteThread;

// what() is the component's fixed message; an open failure also carries the
// layer's failure value and what the operating system said, so that whoever
// tells the user can say why (permission denied, busy, gone).
class ECommsError : public std::runtime_error {
public:
    explicit ECommsError(const std::string& message,
                         platform::SerialError error = platform::SerialError::Other,
                         platform::SystemError system = {})
        : std::runtime_error(message), error_(error), system_(std::move(system)) {}
    platform::SerialError Error() const { return error_; }
    const platform::SystemError& System() const { return system_; }

private:
    platform::SerialError error_;
    platform::SystemError system_;
};

class TComm {
public:
    using TReceiveDataEvent =
        std::function<void(TComm& sender, const std::uint8_t* buffer, std::uint16_t length)>;
    using TReceiveErrorEvent = std::function<void(TComm& sender, std::uint32_t eventMask)>;
    using TModemStateChangeEvent = std::function<void(TComm& sender, std::uint32_t modemEvent)>;
    using TNotifyEvent = std::function<void(TComm& sender)>;
    using TSendDataEmptyEvent = std::function<void(TComm& sender)>;
    using DeviceOpener = std::function<platform::OpenResult(const std::string& name)>;

    // Events through the sink that `sinkFactory` builds on this thread; real
    // devices unless another opener is given (tests pass a fake).
    explicit TComm(const NotificationSinkFactory& sinkFactory,
                   DeviceOpener opener = platform::OpenSerialDevice);
    ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // Opens CommName, applies the settings, discards input that arrived until
    // they were in force, and starts both threads. Fails with "Can't Open the
    // Port" (Error() Busy while the port is held, also by this component's own
    // close still running) and with "Can't Apply the Line Settings" when the
    // driver refuses them, each with the system's error.
    void OpenPort();
    // Stops both threads and hands the device to a closer thread, waiting for
    // the close a short while only: a driver may hold a close for up to 30 s.
    // Until that close has ended the port stays held. Nothing when closed;
    // safe from inside an event handler.
    void ClosePort();
    // Asks both threads to end and returns at once; ClosePort then finishes
    // the close. Where a reader's read ends on its own, stopping waits for it,
    // so a caller closing many ports asks them all first. Nothing when closed.
    void BeginClose();
    // Discards the input received so far: what the driver holds, what the
    // reader has gathered of a chunk, and chunks not yet handed to
    // OnReceiveData. Bytes that arrive afterwards start a new chunk. Call it
    // right before sending a command whose reply must stand alone. Nothing
    // when closed.
    void PurgeInput();
    // Queues a copy of the bytes for the writer; false when closed, when the
    // writer has ended, for a count of 0, or when the copy cannot be queued.
    bool SendData(const std::uint8_t* bytes, std::uint16_t count);
    // Non-zero exactly while open.
    std::intptr_t PortHandle() const;
    // Advisory: true while no send request is outstanding.
    bool SendQueueEmpty() const { return sendQueueEmpty_.load(); }
    // True while open on a device whose OnFirstBytes comes as a chunk's first
    // bytes arrive; elsewhere it comes right before the chunk's OnReceiveData.
    bool ReportsFirstBytes() const { return device_ && device_->ReportsFirstBytes(); }

    // A chunk has begun to arrive; once per chunk, before its OnReceiveData.
    // Dropped with the chunk by a later open or PurgeInput.
    TNotifyEvent OnFirstBytes;
    // Bytes are valid only during the call.
    TReceiveDataEvent OnReceiveData;
    TReceiveErrorEvent OnReceiveError;
    TModemStateChangeEvent OnModemStateChange;
    TNotifyEvent OnRequestHangup;
    TSendDataEmptyEvent OnSendDataEmpty;

    // How long OpenPort waits for the device to open: without limit (none),
    // or OpenWithin's bound, after which it fails with "Can't Open the Port"
    // and the late device is closed on its own thread.
    void setOpenLimit(std::optional<std::chrono::milliseconds> limit) { openLimit_ = limit; }

    const std::string& CommName() const { return p_.commName; }
    void setCommName(const std::string& value) { p_.commName = value; }
    std::uint32_t BaudRate() const { return p_.baudRate; }
    void setBaudRate(std::uint32_t value) { SetLine(&CommProperties::baudRate, value); }
    bool ParityCheck() const { return p_.parityCheck; }
    void setParityCheck(bool value) { SetLine(&CommProperties::parityCheck, value); }
    bool Outx_CtsFlow() const { return p_.outxCtsFlow; }
    void setOutx_CtsFlow(bool value) { SetLine(&CommProperties::outxCtsFlow, value); }
    bool Outx_DsrFlow() const { return p_.outxDsrFlow; }
    void setOutx_DsrFlow(bool value) { SetLine(&CommProperties::outxDsrFlow, value); }
    TDtrControl DtrControl() const { return p_.dtrControl; }
    void setDtrControl(TDtrControl value) { SetLine(&CommProperties::dtrControl, value); }
    bool DsrSensitivity() const { return p_.dsrSensitivity; }
    void setDsrSensitivity(bool value) { SetLine(&CommProperties::dsrSensitivity, value); }
    bool TxContinueOnXoff() const { return p_.txContinueOnXoff; }
    void setTxContinueOnXoff(bool value) { SetLine(&CommProperties::txContinueOnXoff, value); }
    bool Outx_XonXoffFlow() const { return p_.outxXonXoffFlow; }
    void setOutx_XonXoffFlow(bool value) { SetLine(&CommProperties::outxXonXoffFlow, value); }
    bool Inx_XonXoffFlow() const { return p_.inxXonXoffFlow; }
    void setInx_XonXoffFlow(bool value) { SetLine(&CommProperties::inxXonXoffFlow, value); }
    bool ReplaceWhenParityError() const { return p_.replaceWhenParityError; }
    void setReplaceWhenParityError(bool value) {
        SetLine(&CommProperties::replaceWhenParityError, value);
    }
    bool IgnoreNullChar() const { return p_.ignoreNullChar; }
    void setIgnoreNullChar(bool value) { SetLine(&CommProperties::ignoreNullChar, value); }
    TRtsControl RtsControl() const { return p_.rtsControl; }
    void setRtsControl(TRtsControl value) { SetLine(&CommProperties::rtsControl, value); }
    std::uint16_t XonLimit() const { return p_.xonLimit; }
    void setXonLimit(std::uint16_t value) { SetLine(&CommProperties::xonLimit, value); }
    std::uint16_t XoffLimit() const { return p_.xoffLimit; }
    void setXoffLimit(std::uint16_t value) { SetLine(&CommProperties::xoffLimit, value); }
    TByteSize ByteSize() const { return p_.byteSize; }
    void setByteSize(TByteSize value) { SetLine(&CommProperties::byteSize, value); }
    TParity Parity() const { return p_.parity; }
    void setParity(TParity value) { p_.parity = value; }
    TStopBits StopBits() const { return p_.stopBits; }
    void setStopBits(TStopBits value) { SetLine(&CommProperties::stopBits, value); }
    std::uint8_t XonChar() const { return p_.xonChar; }
    void setXonChar(std::uint8_t value) { SetLine(&CommProperties::xonChar, value); }
    std::uint8_t XoffChar() const { return p_.xoffChar; }
    void setXoffChar(std::uint8_t value) { SetLine(&CommProperties::xoffChar, value); }
    std::uint8_t ReplacedChar() const { return p_.replacedChar; }
    void setReplacedChar(std::uint8_t value) { SetLine(&CommProperties::replacedChar, value); }
    std::uint32_t ReadIntervalTimeout() const { return p_.readIntervalTimeout; }
    void setReadIntervalTimeout(std::uint32_t value) {
        SetTimeout(&CommProperties::readIntervalTimeout, value);
    }
    std::uint32_t ReadTotalTimeoutMultiplier() const { return p_.readTotalTimeoutMultiplier; }
    void setReadTotalTimeoutMultiplier(std::uint32_t value) {
        SetTimeout(&CommProperties::readTotalTimeoutMultiplier, value);
    }
    std::uint32_t ReadTotalTimeoutConstant() const { return p_.readTotalTimeoutConstant; }
    void setReadTotalTimeoutConstant(std::uint32_t value) {
        SetTimeout(&CommProperties::readTotalTimeoutConstant, value);
    }
    std::uint32_t WriteTotalTimeoutMultiplier() const { return p_.writeTotalTimeoutMultiplier; }
    void setWriteTotalTimeoutMultiplier(std::uint32_t value) {
        SetTimeout(&CommProperties::writeTotalTimeoutMultiplier, value);
    }
    std::uint32_t WriteTotalTimeoutConstant() const { return p_.writeTotalTimeoutConstant; }
    void setWriteTotalTimeoutConstant(std::uint32_t value) {
        SetTimeout(&CommProperties::writeTotalTimeoutConstant, value);
    }

private:
    template <typename T> void SetLine(T CommProperties::*field, T value) {
        if (p_.*field == value) {
            return;
        }
        p_.*field = value;
        ApplyLineSettings();
    }
    template <typename T> void SetTimeout(T CommProperties::*field, T value) {
        if (p_.*field == value) {
            return;
        }
        p_.*field = value;
        ApplyTimeouts();
    }
    void ApplyLineSettings();
    void ApplyTimeouts();
    void StopReader();
    void StopWriter();
    void ReleasePort();
    void Dispatch(Notification& notification);

    CommProperties p_;
    DeviceOpener opener_;
    std::optional<std::chrono::milliseconds> openLimit_;
    std::atomic<bool> sendQueueEmpty_{true};
    // Counts opens and input purges; notifications carry it (owner's thread only).
    std::uint64_t generation_ = 0;
    std::uint64_t openGeneration_ = 0;  // of the last open
    std::uint64_t inputGeneration_ = 0; // of the last open or input purge
    // Declared before everything the threads use, so it goes last.
    std::unique_ptr<INotificationSink> sink_;
    std::unique_ptr<platform::SerialDevice> device_;
    std::unique_ptr<platform::SerialEvent> stopEvent_;
    std::unique_ptr<SendQueue> sendQueue_;
    std::unique_ptr<PortLink> link_;
    std::unique_ptr<TReadThread> readerThread_;
    std::unique_ptr<TWriteThread> writerThread_;
};

} // namespace korvel::serial
