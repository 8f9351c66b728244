// The serial device on Windows: a COM port opened for overlapped I/O, with
// the stop event in every wait. Reads end on their own: each ReadFile is one
// slice that ends right after a burst of bytes, or after at most kReadSlice
// with none (SliceTimeouts), and the caller's time-outs are decided here
// between slices (PlanRead), as on Linux. So the first bytes of a chunk are
// known as they come, and a stop or purge waits for one slice at most.
// Nothing on the read path is ever cancelled: some drivers (CH340, Cypress)
// never complete a cancelled read, and a port with such a read outstanding is
// lost.

#include "platform/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/CommDriver_win.h"
#include "platform/SerialDcb_win.h"
#include "platform/SerialErrno_win.h"
#include "platform/SerialEvent_win.h"
#include "platform/SerialTimeouts.h"
#include "platform/WideText_win.h"

namespace korvel::platform {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view kDevicePrefix = "\\\\.\\";

// How long the end of a request may take beyond its own time-out: a slice
// read that a stop waits for, a write after its time-out or a cancel, and
// each request at close. After it the request is left to the driver.
constexpr DWORD kSettleMs = 500;

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
    bool Ended(DWORD waitMs) const {
        return ::WaitForSingleObject(overlapped_.hEvent, waitMs) == WAIT_OBJECT_0;
    }

private:
    OVERLAPPED overlapped_{};
};

// What the driver may still write into while a request is outstanding: the
// records and the buffers. A request the driver keeps past every bound takes
// these with it (they are leaked, not freed under the driver).
struct Requests {
    Request read;
    Request lineEvent;
    Request write;
    std::vector<std::uint8_t> readBuffer;
    std::vector<std::uint8_t> writeBuffer;
    DWORD occurredEvents = 0; // written by the driver while the wait is outstanding
};

// Codes with which a driver says it cannot watch line events at all (Wine's
// pseudo-terminals among them); reads then go on without them, as on a Linux
// pseudo-terminal.
bool LineEventsUnsupported(DWORD code) {
    return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_PARAMETER ||
           code == ERROR_INVALID_FUNCTION;
}

milliseconds Since(Clock::time_point then, Clock::time_point now) {
    return std::chrono::duration_cast<milliseconds>(now - then);
}

DWORD WaitMs(milliseconds wait) {
    return static_cast<DWORD>(
        std::clamp<milliseconds::rep>(wait.count(), 0, std::int64_t{kMaxTimeout} - 1));
}

class WinSerialDevice final : public SerialDevice {
public:
    WinSerialDevice(HANDLE handle, std::shared_ptr<CommDriver> driver)
        : handle_(handle), driver_(std::move(driver)), io_(std::make_unique<Requests>()) {}

    ~WinSerialDevice() override {
        // Both threads have ended. An empty mask ends a pending WaitCommEvent
        // at once; a slice read ends on its own; a write was ended by its
        // writer. Each gets a bounded wait all the same, and one the driver
        // still keeps after it leaves its record and buffer behind: the port
        // is closed anyway, so it is not held after this.
        driver_->SetCommMask(handle_, 0);
        const bool ended = (!eventPending_ || io_->lineEvent.Ended(kSettleMs)) &&
                           (!readPending_ || io_->read.Ended(kSliceMs() + kSettleMs)) &&
                           (!writePending_ || io_->write.Ended(kSettleMs));
        driver_->CloseHandle(handle_);
        if (!ended) {
            static_cast<void>(io_.release());
        }
    }

    bool Valid() const { return io_->read.Valid() && io_->lineEvent.Valid() && io_->write.Valid(); }

    std::intptr_t NativeHandle() const override { return reinterpret_cast<std::intptr_t>(handle_); }

    // The queue sizes are advice that many drivers ignore and some refuse (as
    // virtual and Bluetooth ports do); a refusal leaves the driver's own queues,
    // which serve as well, so it is only reported to a debugger.
    bool SetupQueues(std::size_t input, std::size_t output) override {
        if (driver_->SetupComm(handle_, static_cast<DWORD>(input), static_cast<DWORD>(output)) ==
            0) {
            ::OutputDebugStringW(L"korvel: SetupComm refused the queue sizes; the driver's own "
                                 L"queues stay");
        }
        return true;
    }

    // No abort of the reception: the reader's slice ends on its own, and a
    // driver may never complete a read it was told to abort. A write ends on
    // the stop event, which its writer has seen before this.
    bool Purge(std::uint32_t flags) override {
        const DWORD kept = flags & ~kPurgeRxAbort;
        return kept == 0 || driver_->PurgeComm(handle_, kept) != 0;
    }

    SettingsResult ApplyLineSettings(const LineSettings& settings) override {
        DCB dcb = BuildDcb(settings);
        if (driver_->SetCommState(handle_, &dcb) != 0) {
            std::lock_guard lock(timeoutsMutex_);
            baudRate_ = settings.baudRate;
            appliedTimeouts_.reset();
            return {};
        }
        const DWORD code = ::GetLastError();
        return {false, SerialErrorFromWin32(code, Win32Site::Transfer), SystemErrorFromWin32(code)};
    }

    // Kept for the reads, which apply their slice of them; the write bound
    // goes to the driver at once, for a write already waiting.
    bool ApplyTimeouts(const Timeouts& timeouts) override {
        std::lock_guard lock(timeoutsMutex_);
        callerTimeouts_ = timeouts;
        return ApplyLocked(SliceTimeouts(timeouts, baudRate_, ReadPlan{}));
    }

    bool SetEventMask(std::uint32_t mask) override {
        watchedEvents_ = mask;
        lineEventsSupported_ = driver_->SetCommMask(handle_, mask) != 0;
        return lineEventsSupported_ || LineEventsUnsupported(::GetLastError());
    }

    InputResult WaitForInput(ReadRequest& read, const SerialEvent& stop) override {
        if (!read.started) {
            read.started = true;
            read.count = 0;
            read.startTime = Clock::now();
            sliced_ = false;
        }
        for (;;) {
            if (stop.IsSet()) {
                return Stopped(read, stop);
            }
            if (!readPending_) {
                if (read.count > 0 && !read.firstBytesReported) {
                    read.firstBytesReported = true;
                    return {InputResult::Kind::FirstBytes};
                }
                const auto now = Clock::now();
                const ReadPlan plan =
                    PlanRead(Caller(), {read.buffer.size(), read.count, Since(read.startTime, now),
                                        Since(read.lastByteTime, now)});
                // One slice at least: a read that ends at once still takes
                // what the driver holds.
                if (plan.complete && sliced_) {
                    return {InputResult::Kind::ReadDone};
                }
                sliced_ = true;
                if (auto failed = StartSlice(read, plan, stop)) {
                    return *failed;
                }
                if (!readPending_) {
                    continue; // the slice completed at once
                }
            }
            if (auto event = ArmLineEventWait(stop)) {
                return *event;
            }

            // Stop first, then the line event, then the read: the lowest
            // signalled position is the one reported. The read ends within
            // its slice, so this wait is never longer than that.
            const bool watching = eventPending_;
            const std::array<HANDLE, 3> waits{EventHandle(stop),
                                              watching ? io_->lineEvent.Event() : io_->read.Event(),
                                              io_->read.Event()};
            const DWORD count = watching ? 3 : 2;
            const DWORD woke = ::WaitForMultipleObjects(count, waits.data(), FALSE, INFINITE);
            if (woke == WAIT_OBJECT_0) {
                return Stopped(read, stop);
            }
            if (watching && woke == WAIT_OBJECT_0 + 1) {
                if (auto event = FinishLineEventWait(stop)) {
                    return *event;
                }
                continue;
            }
            if (woke == WAIT_OBJECT_0 + count - 1) {
                if (auto failed = FinishSlice(read, stop)) {
                    return *failed;
                }
                continue;
            }
            return Failed(::GetLastError(), stop);
        }
    }

    // Each slice hands over what has come, so the read gathers here.
    bool ReportsFirstBytes() const override { return true; }

    LineErrorResult TakeLineErrors() override {
        DWORD errors = 0;
        if (driver_->ClearCommError(handle_, &errors) == 0) {
            const DWORD code = ::GetLastError();
            return {false, 0, SerialErrorFromWin32(code, Win32Site::Transfer)};
        }
        return {true, errors, SerialError::None};
    }

    // Bounded twice: the driver's write time-out (WithWriteBound) and, for a
    // driver that ignores it, our own wait of that long plus kSettleMs; a
    // write past it is cancelled, and a cancel the driver never completes is
    // waited for no longer than kSettleMs.
    WriteResult Write(std::span<const std::uint8_t> bytes, const SerialEvent& stop) override {
        if (stop.IsSet()) {
            return {WriteResult::Kind::Stopped};
        }
        if (writePending_) {
            if (!io_->write.Ended(kSettleMs)) {
                return {WriteResult::Kind::Failed, 0, SerialError::DeviceGone};
            }
            DWORD ignored = 0;
            driver_->GetOverlappedResult(handle_, io_->write.Pending(), &ignored, FALSE);
            writePending_ = false;
        }
        // The driver reads our copy, so a write it keeps never reads the caller's bytes.
        io_->writeBuffer.assign(bytes.begin(), bytes.end());
        const auto limit = WriteTimeLimit(WithWriteBound(Caller(), BaudRate()), bytes.size());
        DWORD written = 0;
        OVERLAPPED* request = io_->write.Get();
        if (driver_->WriteFile(handle_, io_->writeBuffer.data(),
                               static_cast<DWORD>(io_->writeBuffer.size()), request) == 0) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_IO_PENDING) {
                return WriteFailed(code, stop);
            }
            const std::array<HANDLE, 2> waits{EventHandle(stop), io_->write.Event()};
            const DWORD woke = ::WaitForMultipleObjects(
                2, waits.data(), FALSE, WaitMs(limit.value_or(milliseconds(0))) + kSettleMs);
            if (woke != WAIT_OBJECT_0 + 1) {
                const DWORD failure = ::GetLastError();
                driver_->CancelIoEx(handle_, request);
                if (!io_->write.Ended(kSettleMs)) {
                    writePending_ = true;
                    return woke == WAIT_OBJECT_0
                               ? WriteResult{WriteResult::Kind::Stopped}
                               : WriteResult{WriteResult::Kind::Failed, 0, SerialError::DeviceGone};
                }
                driver_->GetOverlappedResult(handle_, request, &written, FALSE);
                if (woke == WAIT_OBJECT_0) {
                    return {WriteResult::Kind::Stopped};
                }
                if (woke != WAIT_TIMEOUT) {
                    return WriteFailed(failure, stop);
                }
                // Timed out: what went before the cancel counts, as with
                // the driver's own write time-out.
                return {WriteResult::Kind::Written, written};
            }
        }
        if (driver_->GetOverlappedResult(handle_, request, &written, FALSE) == 0) {
            return WriteFailed(::GetLastError(), stop);
        }
        return {WriteResult::Kind::Written, written};
    }

private:
    static DWORD kSliceMs() { return static_cast<DWORD>(kReadSlice.count()); }

    Timeouts Caller() {
        std::lock_guard lock(timeoutsMutex_);
        return callerTimeouts_;
    }
    std::uint32_t BaudRate() {
        std::lock_guard lock(timeoutsMutex_);
        return baudRate_;
    }

    // Called with timeoutsMutex_ held; the driver is asked only when the
    // record changes, which between slices of one read it seldom does.
    bool ApplyLocked(const Timeouts& timeouts) {
        COMMTIMEOUTS record = BuildCommTimeouts(timeouts);
        if (appliedTimeouts_ && *appliedTimeouts_ == timeouts) {
            return true;
        }
        if (driver_->SetCommTimeouts(handle_, &record) == 0) {
            appliedTimeouts_.reset();
            return false;
        }
        appliedTimeouts_ = timeouts;
        return true;
    }

    // Issues the next slice of the read into the rest of its buffer: a result
    // only when it failed at once.
    std::optional<InputResult> StartSlice(ReadRequest& read, const ReadPlan& plan,
                                          const SerialEvent& stop) {
        {
            std::lock_guard lock(timeoutsMutex_);
            if (!ApplyLocked(SliceTimeouts(callerTimeouts_, baudRate_, plan))) {
                const DWORD code = ::GetLastError();
                return Failed(code, stop);
            }
        }
        io_->readBuffer.resize(read.buffer.size() - read.count);
        OVERLAPPED* request = io_->read.Get();
        if (driver_->ReadFile(handle_, io_->readBuffer.data(),
                              static_cast<DWORD>(io_->readBuffer.size()), request) != 0) {
            return CollectSlice(read, request, stop);
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_IO_PENDING) {
            return Failed(code, stop);
        }
        readPending_ = true;
        return std::nullopt;
    }

    // Collects the slice that has ended: a result only when it failed.
    std::optional<InputResult> FinishSlice(ReadRequest& read, const SerialEvent& stop) {
        readPending_ = false;
        if (auto result = CollectSlice(read, io_->read.Pending(), stop)) {
            if (::GetLastError() == ERROR_IO_INCOMPLETE) {
                readPending_ = true;
                return std::nullopt;
            }
            return result;
        }
        return std::nullopt;
    }

    // A slice's end under its time-out is no failure: Windows completes it
    // with what came, Wine with ERROR_TIMEOUT and what came.
    std::optional<InputResult> CollectSlice(ReadRequest& read, OVERLAPPED* request,
                                            const SerialEvent& stop) {
        DWORD got = 0;
        if (driver_->GetOverlappedResult(handle_, request, &got, FALSE) == 0) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_TIMEOUT) {
                InputResult failed = code == ERROR_IO_INCOMPLETE
                                         ? InputResult{InputResult::Kind::Failed}
                                         : Failed(code, stop);
                ::SetLastError(code);
                return failed;
            }
        }
        Absorb(read, got);
        return std::nullopt;
    }

    void Absorb(ReadRequest& read, DWORD got) {
        const std::size_t taken = std::min<std::size_t>(got, read.buffer.size() - read.count);
        std::copy_n(io_->readBuffer.begin(), taken, read.buffer.begin() + read.count);
        read.count += taken;
        if (taken > 0) {
            read.lastByteTime = Clock::now();
        }
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
                return std::nullopt; // seen by the caller's wait
            }
            if (driver_->WaitCommEvent(handle_, &io_->occurredEvents, io_->lineEvent.Get()) != 0) {
                if (const DWORD events = io_->occurredEvents & watchedEvents_) {
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
        if (driver_->GetOverlappedResult(handle_, io_->lineEvent.Pending(), &ignored, FALSE) == 0) {
            const DWORD code = ::GetLastError();
            if (LineEventsUnsupported(code)) {
                lineEventsSupported_ = false;
                return std::nullopt;
            }
            return Failed(code, stop);
        }
        if (const DWORD events = io_->occurredEvents & watchedEvents_) {
            return InputResult{InputResult::Kind::LineEvent, events};
        }
        return std::nullopt;
    }

    // A stop or a purge lets the outstanding slice end on its own and keeps
    // what it brought with the read, which the reader then delivers or, for a
    // purge, drops; so what the driver still held goes before the purge that
    // follows. A slice past its bound is left pending and collected later.
    InputResult Stopped(ReadRequest& read, const SerialEvent& stop) {
        if (readPending_ && io_->read.Ended(kSliceMs() + kSettleMs)) {
            FinishSlice(read, stop);
        }
        return {InputResult::Kind::Stopped};
    }

    // A request that failed while the stop event is set was ended by us.
    InputResult Failed(DWORD code, const SerialEvent& stop) {
        if (stop.IsSet()) {
            return {InputResult::Kind::Stopped};
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
    const std::shared_ptr<CommDriver> driver_;
    std::unique_ptr<Requests> io_;
    // The caller's time-outs and the line speed, from the owner; the record
    // last given to the driver, shared by the reader's slices and the writer.
    std::mutex timeoutsMutex_;
    Timeouts callerTimeouts_;
    std::uint32_t baudRate_ = 9600;
    std::optional<Timeouts> appliedTimeouts_;
    // Reader-thread state.
    bool readPending_ = false;
    bool sliced_ = false; // the current read has issued a slice
    bool eventPending_ = false;
    std::uint32_t watchedEvents_ = 0;
    bool lineEventsSupported_ = true;
    int emptyEventCompletions_ = 0;
    // Writer-thread state: a write the driver kept past its cancel.
    bool writePending_ = false;
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

std::unique_ptr<SerialDevice> MakeWinSerialDevice(HANDLE port, std::shared_ptr<CommDriver> driver) {
    auto device = std::make_unique<WinSerialDevice>(port, std::move(driver));
    if (!device->Valid()) {
        const DWORD code = ::GetLastError();
        device.reset(); // closes the handle
        ::SetLastError(code);
        return nullptr;
    }
    return device;
}

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
    auto device = MakeWinSerialDevice(handle, SystemCommDriver());
    if (!device) {
        return OpenFailure(::GetLastError());
    }
    return {std::move(device), SerialError::None, {}};
}

} // namespace korvel::platform
