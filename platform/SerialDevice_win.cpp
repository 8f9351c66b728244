// The serial device on Windows: a COM port opened for overlapped I/O, with
// the stop event in every wait. The driver keeps the time-outs, so a read is
// one ReadFile that stays outstanding across WaitForInput calls until the
// driver completes it; a stop cancels it with CancelIoEx, since PurgeComm's
// abort is not honoured by every driver (nor by Wine).

#include "platform/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/SerialDcb_win.h"
#include "platform/SerialErrno_win.h"
#include "platform/SerialEvent_win.h"
#include "platform/WideText_win.h"

namespace korvel::platform {

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

// One overlapped request record with its own manual-reset completion event.
class Request {
public:
    Request() { overlapped_.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Request() {
        if (overlapped_.hEvent != nullptr) {
            ::CloseHandle(overlapped_.hEvent);
        }
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    bool Valid() const { return overlapped_.hEvent != nullptr; }
    // The record cleared for a new request, its event not signalled.
    OVERLAPPED* Get() {
        const HANDLE event = overlapped_.hEvent;
        overlapped_ = {};
        overlapped_.hEvent = event;
        ::ResetEvent(event);
        return &overlapped_;
    }
    OVERLAPPED* Pending() { return &overlapped_; }
    HANDLE Event() const { return overlapped_.hEvent; }

private:
    OVERLAPPED overlapped_{};
};

// Codes with which a driver says it cannot watch line events at all (Wine's
// pseudo-terminals among them); reads then go on without them, as on a Linux
// pseudo-terminal.
bool LineEventsUnsupported(DWORD code) {
    return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_PARAMETER ||
           code == ERROR_INVALID_FUNCTION;
}

class WinSerialDevice final : public SerialDevice {
public:
    explicit WinSerialDevice(HANDLE handle) : handle_(handle) {}

    ~WinSerialDevice() override {
        // Both threads have ended; the reader may have left its line-event
        // wait outstanding, and it must finish before its record goes away.
        // An empty mask ends a pending WaitCommEvent at once, even with drivers
        // that never complete a cancelled request; the device closer runs this
        // off the window's thread, so a read such a driver keeps blocks no window.
        ::SetCommMask(handle_, 0);
        ::CancelIoEx(handle_, nullptr);
        DWORD ignored = 0;
        if (eventPending_) {
            ::GetOverlappedResult(handle_, lineEvent_.Pending(), &ignored, TRUE);
        }
        if (readPending_) {
            ::GetOverlappedResult(handle_, read_.Pending(), &ignored, TRUE);
        }
        ::CloseHandle(handle_);
    }

    bool Valid() const { return read_.Valid() && lineEvent_.Valid() && write_.Valid(); }

    std::intptr_t NativeHandle() const override { return reinterpret_cast<std::intptr_t>(handle_); }

    // The queue sizes are advice that many drivers ignore and some refuse (as
    // virtual and Bluetooth ports do); a refusal leaves the driver's own queues,
    // which serve as well, so it is only reported to a debugger.
    bool SetupQueues(std::size_t input, std::size_t output) override {
        if (::SetupComm(handle_, static_cast<DWORD>(input), static_cast<DWORD>(output)) == 0) {
            ::OutputDebugStringW(L"korvel: SetupComm refused the queue sizes; the driver's own "
                                 L"queues stay");
        }
        return true;
    }

    bool Purge(std::uint32_t flags) override {
        const bool purged = ::PurgeComm(handle_, flags) != 0;
        if (flags & kPurgeRxAbort) {
            SettleRead();
        }
        if (flags & kPurgeTxAbort) {
            // The writer sees its request end and, with the stop event set, stops.
            ::CancelIoEx(handle_, write_.Pending());
        }
        return purged;
    }

    SettingsResult ApplyLineSettings(const LineSettings& settings) override {
        DCB dcb = BuildDcb(settings);
        if (::SetCommState(handle_, &dcb) != 0) {
            return {};
        }
        const DWORD code = ::GetLastError();
        return {false, SerialErrorFromWin32(code, Win32Site::Transfer), SystemErrorFromWin32(code)};
    }

    bool ApplyTimeouts(const Timeouts& timeouts) override {
        COMMTIMEOUTS record = BuildCommTimeouts(timeouts);
        return ::SetCommTimeouts(handle_, &record) != 0;
    }

    bool SetEventMask(std::uint32_t mask) override {
        watchedEvents_ = mask;
        lineEventsSupported_ = ::SetCommMask(handle_, mask) != 0;
        return lineEventsSupported_ || LineEventsUnsupported(::GetLastError());
    }

    InputResult WaitForInput(ReadRequest& read, const SerialEvent& stop) override {
        for (;;) {
            if (stop.IsSet()) {
                return Stopped();
            }
            if (!read.started) {
                read.started = true;
                read.count = 0;
                if (auto done = StartRead(read, stop)) {
                    return *done;
                }
            } else if (!IsReadPending()) {
                // Settled by Purge from the owner, which sets the stop event first.
                return Stopped();
            }
            if (auto event = ArmLineEventWait(stop)) {
                return *event;
            }

            // Stop first, then the line event, then the read: the lowest
            // signalled position is the one reported.
            const bool watching = eventPending_;
            const std::array<HANDLE, 3> waits{
                EventHandle(stop), watching ? lineEvent_.Event() : read_.Event(), read_.Event()};
            const DWORD count = watching ? 3 : 2;
            const DWORD woke = ::WaitForMultipleObjects(count, waits.data(), FALSE, INFINITE);
            if (woke == WAIT_OBJECT_0) {
                return Stopped();
            }
            if (watching && woke == WAIT_OBJECT_0 + 1) {
                if (auto event = FinishLineEventWait(stop)) {
                    return *event;
                }
                continue;
            }
            if (woke == WAIT_OBJECT_0 + count - 1) {
                if (auto done = FinishRead(read, stop)) {
                    return *done;
                }
                continue;
            }
            return Failed(::GetLastError(), stop);
        }
    }

    // The driver fills the outstanding ReadFile and says nothing until the
    // read completes under its time-outs.
    bool ReportsFirstBytes() const override { return false; }

    LineErrorResult TakeLineErrors() override {
        DWORD errors = 0;
        if (::ClearCommError(handle_, &errors, nullptr) == 0) {
            const DWORD code = ::GetLastError();
            return {false, 0, SerialErrorFromWin32(code, Win32Site::Transfer)};
        }
        return {true, errors, SerialError::None};
    }

    WriteResult Write(std::span<const std::uint8_t> bytes, const SerialEvent& stop) override {
        if (stop.IsSet()) {
            return {WriteResult::Kind::Stopped};
        }
        DWORD written = 0;
        OVERLAPPED* request = write_.Get();
        if (::WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr,
                        request) == 0) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_IO_PENDING) {
                return WriteFailed(code, stop);
            }
            const std::array<HANDLE, 2> waits{EventHandle(stop), write_.Event()};
            const DWORD woke = ::WaitForMultipleObjects(2, waits.data(), FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 + 1) {
                // The bytes must not be read after Write returns: end the request first.
                const DWORD failure = ::GetLastError();
                ::CancelIoEx(handle_, request);
                ::GetOverlappedResult(handle_, request, &written, TRUE);
                return woke == WAIT_OBJECT_0 ? WriteResult{WriteResult::Kind::Stopped}
                                             : WriteFailed(failure, stop);
            }
        }
        if (::GetOverlappedResult(handle_, request, &written, FALSE) == 0) {
            return WriteFailed(::GetLastError(), stop);
        }
        return {WriteResult::Kind::Written, written};
    }

private:
    // Issues the request's ReadFile: a result when it completed or failed at
    // once, nothing while it is outstanding.
    std::optional<InputResult> StartRead(ReadRequest& read, const SerialEvent& stop) {
        DWORD failure = ERROR_SUCCESS;
        {
            std::lock_guard lock(readMutex_);
            if (readPending_) {
                // A cancelled read the driver never completed: it still owns
                // the buffer, and a port that keeps a request forever is lost.
                return InputResult{InputResult::Kind::Failed, 0, SerialError::DeviceGone};
            }
            // The driver fills the device's own buffer, which lives until the
            // handle is closed, so a request it keeps past a bounded settle
            // never writes into the caller's memory.
            readBuffer_.resize(read.buffer.size());
            OVERLAPPED* request = read_.Get();
            DWORD got = 0;
            if (::ReadFile(handle_, readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()),
                           nullptr, request) != 0) {
                if (::GetOverlappedResult(handle_, request, &got, FALSE) != 0) {
                    return ReadDone(read, got);
                }
                failure = ::GetLastError();
            } else if (failure = ::GetLastError(); failure == ERROR_IO_PENDING) {
                readPending_ = true;
                return std::nullopt;
            }
        }
        return Failed(failure, stop);
    }

    std::optional<InputResult> FinishRead(ReadRequest& read, const SerialEvent& stop) {
        DWORD failure = ERROR_SUCCESS;
        {
            std::lock_guard lock(readMutex_);
            if (!readPending_) {
                return std::nullopt; // settled by Purge: the stop event is set
            }
            DWORD got = 0;
            if (::GetOverlappedResult(handle_, read_.Pending(), &got, FALSE) != 0) {
                readPending_ = false;
                return ReadDone(read, got);
            }
            failure = ::GetLastError();
            if (failure == ERROR_IO_INCOMPLETE) {
                return std::nullopt;
            }
            readPending_ = false;
        }
        return Failed(failure, stop);
    }

    InputResult ReadDone(ReadRequest& read, DWORD got) {
        std::copy_n(readBuffer_.begin(), got, read.buffer.begin());
        read.count = got;
        return InputResult{InputResult::Kind::ReadDone};
    }

    // Keeps one WaitCommEvent outstanding while line events are watched; a
    // result when one was already there.
    std::optional<InputResult> ArmLineEventWait(const SerialEvent& stop) {
        // A driver that keeps completing the wait at once with nothing watched
        // would spin this loop: after a few such completions line events count
        // as unsupported, and a stop is seen on every pass.
        constexpr int kEmptyCompletionLimit = 4;
        while (lineEventsSupported_ && watchedEvents_ != 0 && !eventPending_) {
            if (stop.IsSet()) {
                return Stopped();
            }
            if (::WaitCommEvent(handle_, &occurredEvents_, lineEvent_.Get()) != 0) {
                if (const DWORD events = occurredEvents_ & watchedEvents_) {
                    emptyEventCompletions_ = 0;
                    return InputResult{InputResult::Kind::LineEvent, events};
                }
                if (++emptyEventCompletions_ >= kEmptyCompletionLimit) {
                    lineEventsSupported_ = false;
                }
                continue;
            }
            const DWORD code = ::GetLastError();
            if (code == ERROR_IO_PENDING) {
                eventPending_ = true;
            } else if (LineEventsUnsupported(code)) {
                lineEventsSupported_ = false;
            } else {
                return Failed(code, stop);
            }
        }
        return std::nullopt;
    }

    std::optional<InputResult> FinishLineEventWait(const SerialEvent& stop) {
        DWORD ignored = 0;
        eventPending_ = false;
        if (::GetOverlappedResult(handle_, lineEvent_.Pending(), &ignored, FALSE) == 0) {
            const DWORD code = ::GetLastError();
            if (LineEventsUnsupported(code)) {
                lineEventsSupported_ = false;
                return std::nullopt;
            }
            return Failed(code, stop);
        }
        if (const DWORD events = occurredEvents_ & watchedEvents_) {
            return InputResult{InputResult::Kind::LineEvent, events};
        }
        return std::nullopt;
    }

    bool IsReadPending() {
        std::lock_guard lock(readMutex_);
        return readPending_;
    }

    // Ends an outstanding read, from whichever thread asks first. The owner
    // asks from the window's thread when it stops the reader, so the wait is
    // bounded: some drivers (CH340, Cypress) never complete a cancelled
    // request, which then stays pending for the closer thread's destructor.
    void SettleRead() {
        constexpr DWORD kSettleWaitMs = 500;
        std::lock_guard lock(readMutex_);
        if (!readPending_ || readAbandoned_) {
            return;
        }
        ::CancelIoEx(handle_, read_.Pending());
        if (::WaitForSingleObject(read_.Event(), kSettleWaitMs) != WAIT_OBJECT_0) {
            readAbandoned_ = true; // waited once; later stops go on at once
            return;
        }
        DWORD ignored = 0;
        ::GetOverlappedResult(handle_, read_.Pending(), &ignored, FALSE);
        readPending_ = false;
    }

    InputResult Stopped() {
        SettleRead();
        return {InputResult::Kind::Stopped};
    }

    // A request that failed while the stop event is set was ended by us.
    InputResult Failed(DWORD code, const SerialEvent& stop) {
        if (stop.IsSet()) {
            return Stopped();
        }
        return {InputResult::Kind::Failed, 0, SerialErrorFromWin32(code, Win32Site::Transfer)};
    }

    static WriteResult WriteFailed(DWORD code, const SerialEvent& stop) {
        if (stop.IsSet()) {
            return {WriteResult::Kind::Stopped};
        }
        return {WriteResult::Kind::Failed, 0, SerialErrorFromWin32(code, Win32Site::Transfer)};
    }

    const HANDLE handle_;
    Request write_;
    // Reader-thread state; readPending_ also for Purge from the owner.
    std::mutex readMutex_;
    Request read_;
    std::vector<std::uint8_t> readBuffer_;
    bool readPending_ = false;
    bool readAbandoned_ = false;
    Request lineEvent_;
    DWORD occurredEvents_ = 0; // written by the driver while the wait is outstanding
    bool eventPending_ = false;
    std::uint32_t watchedEvents_ = 0;
    bool lineEventsSupported_ = true;
    int emptyEventCompletions_ = 0;
};

// A bare name stays a device name under \\.\: no separators that would make
// it a path to a file.
bool IsBareDeviceName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos;
}

OpenResult OpenFailure(DWORD code) {
    return {nullptr, SerialErrorFromWin32(code, Win32Site::Open), SystemErrorFromWin32(code)};
}

} // namespace

std::string SerialDevicePath(const std::string& name) {
    if (name.rfind("\\\\", 0) == 0) {
        return name;
    }
    return std::string(kDevicePrefix) + name;
}

OpenResult OpenSerialDevice(const std::string& name) {
    if (name.rfind("\\\\", 0) != 0 && !IsBareDeviceName(name)) {
        return OpenFailure(ERROR_INVALID_NAME);
    }
    // Share mode 0: the port is ours alone until it is closed.
    const HANDLE handle = ::CreateFileW(WideFromUtf8(SerialDevicePath(name)).c_str(),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return OpenFailure(::GetLastError());
    }
    auto device = std::make_unique<WinSerialDevice>(handle);
    if (!device->Valid()) {
        const DWORD code = ::GetLastError();
        return OpenFailure(code);
    }
    return {std::move(device), SerialError::None, {}};
}

} // namespace korvel::platform
