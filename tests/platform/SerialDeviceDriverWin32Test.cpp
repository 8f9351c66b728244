// The Windows device over drivers that misbehave as real adapters' drivers
// do and Wine's never does: a read or write the driver never completes once
// it was cancelled (CH340, Cypress), and a write that never ends.
#include "platform/CommDriver_win.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/SerialDevice.h"
#include "platform/SerialTimeouts.h"

namespace korvel::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A driver with one read and one write outstanding at most, which completes a
// read under its COMMTIMEOUTS (a total time-out ends it on the bytes there or
// after the total; an interval alone waits for a first byte without limit)
// and never completes a request it was told to cancel or abort.
class FakeDriver final : public CommDriver {
public:
    FakeDriver() : clock_([this] { Run(); }) {}
    ~FakeDriver() override {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        clock_.join();
    }

    bool readsEnd = true;       // false: no read ever completes, time-outs or not
    bool writesComplete = true; // false: every write stays outstanding

    void Feed(std::vector<std::uint8_t> bytes) {
        std::lock_guard lock(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        lastFeed_ = Clock::now();
        changed_.notify_all();
    }
    bool WaitForPendingRead(std::chrono::milliseconds limit = 2s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return read_ && !read_->done; });
    }
    bool WaitForWrites(int count, std::chrono::milliseconds limit = 2s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return writes_ >= count; });
    }
    int CancelsOfReads() {
        std::lock_guard lock(mutex_);
        return readCancels_;
    }
    bool Closed() {
        std::lock_guard lock(mutex_);
        return closed_;
    }
    COMMTIMEOUTS LastTimeouts() {
        std::lock_guard lock(mutex_);
        return timeouts_;
    }

    BOOL SetupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL PurgeComm(HANDLE, DWORD flags) override {
        std::lock_guard lock(mutex_);
        if ((flags & PURGE_RXABORT) && read_ && !read_->done) {
            ++readCancels_;
            read_->cancelled = true;
        }
        if (flags & PURGE_RXCLEAR) {
            input_.clear();
        }
        return TRUE;
    }
    BOOL SetCommState(HANDLE, DCB*) override { return TRUE; }
    BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS* timeouts) override {
        std::lock_guard lock(mutex_);
        timeouts_ = *timeouts;
        return TRUE;
    }
    BOOL SetCommMask(HANDLE, DWORD) override { return TRUE; }
    // As under Wine: no line events.
    BOOL WaitCommEvent(HANDLE, DWORD*, OVERLAPPED*) override {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    BOOL ClearCommError(HANDLE, DWORD* errors) override {
        *errors = 0;
        return TRUE;
    }
    BOOL ReadFile(HANDLE, void* into, DWORD size, OVERLAPPED* request) override {
        std::lock_guard lock(mutex_);
        read_ = Pending{request, static_cast<std::uint8_t*>(into), size, Clock::now()};
        changed_.notify_all();
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    BOOL WriteFile(HANDLE, const void*, DWORD size, OVERLAPPED* request) override {
        std::lock_guard lock(mutex_);
        write_ = Pending{request, nullptr, size, Clock::now()};
        ++writes_;
        if (writesComplete) {
            Complete(*write_, size);
        }
        changed_.notify_all();
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    BOOL GetOverlappedResult(HANDLE, OVERLAPPED* request, DWORD* transferred, BOOL wait) override {
        std::unique_lock lock(mutex_);
        Pending* pending = read_ && read_->request == request     ? &*read_
                           : write_ && write_->request == request ? &*write_
                                                                  : nullptr;
        if (pending == nullptr) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (!pending->done) {
            if (!wait) {
                ::SetLastError(ERROR_IO_INCOMPLETE);
                return FALSE;
            }
            lock.unlock();
            ::WaitForSingleObject(request->hEvent, INFINITE); // as a driver's own wait
            lock.lock();
        }
        *transferred = pending->transferred;
        return TRUE;
    }
    BOOL CancelIoEx(HANDLE, OVERLAPPED* request) override {
        std::lock_guard lock(mutex_);
        if (read_ && !read_->done && (request == nullptr || request == read_->request)) {
            ++readCancels_;
            read_->cancelled = true;
        }
        if (write_ && !write_->done && (request == nullptr || request == write_->request)) {
            write_->cancelled = true;
        }
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override {
        std::lock_guard lock(mutex_);
        closed_ = true;
        return TRUE;
    }

private:
    struct Pending {
        OVERLAPPED* request;
        std::uint8_t* into;
        DWORD size;
        Clock::time_point started;
        bool cancelled = false;
        bool done = false;
        DWORD transferred = 0;
    };

    void Complete(Pending& pending, DWORD transferred) {
        pending.done = true;
        pending.transferred = transferred;
        ::SetEvent(pending.request->hEvent);
    }

    // Called with the lock held: when the outstanding read ends, if ever.
    std::optional<Clock::time_point> ReadEnd() const {
        if (!read_ || read_->done || read_->cancelled || !readsEnd) {
            return std::nullopt;
        }
        const COMMTIMEOUTS& t = timeouts_;
        if (t.ReadTotalTimeoutConstant != 0) { // a slice: ends on bytes or after its total
            return input_.empty()
                       ? read_->started + std::chrono::milliseconds(t.ReadTotalTimeoutConstant)
                       : Clock::now();
        }
        if (input_.empty()) {
            return std::nullopt;
        }
        return lastFeed_ + std::chrono::milliseconds(t.ReadIntervalTimeout);
    }

    void Run() {
        std::unique_lock lock(mutex_);
        while (!quit_) {
            const auto end = ReadEnd();
            if (!end) {
                changed_.wait(lock);
                continue;
            }
            if (Clock::now() < *end) {
                changed_.wait_until(lock, *end);
                continue;
            }
            const DWORD got = std::min<DWORD>(read_->size, static_cast<DWORD>(input_.size()));
            std::copy_n(input_.begin(), got, read_->into);
            input_.erase(input_.begin(), input_.begin() + got);
            Complete(*read_, got);
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    COMMTIMEOUTS timeouts_{};
    std::vector<std::uint8_t> input_;
    Clock::time_point lastFeed_{};
    std::optional<Pending> read_;
    std::optional<Pending> write_;
    int readCancels_ = 0;
    int writes_ = 0;
    bool closed_ = false;
    bool quit_ = false;
    std::thread clock_;
};

constexpr Timeouts kWindowTimeouts{200, 0, 0, 0, 0};

// A stand-in handle: the fake never looks at it.
HANDLE FakePort() {
    return reinterpret_cast<HANDLE>(std::intptr_t{0x4242});
}

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver_ = std::make_shared<FakeDriver>();
        device_ = MakeWinSerialDevice(FakePort(), driver_);
        ASSERT_NE(device_, nullptr);
        ASSERT_TRUE(device_->ApplyTimeouts(kWindowTimeouts));
        ASSERT_TRUE(device_->SetEventMask(kEventCarrierDetect | kEventError | kEventRing));
    }

    // WaitForInput on a thread of its own, as the reader calls it.
    std::future<InputResult> StartWaiting(ReadRequest& read) {
        return std::async(std::launch::async,
                          [this, &read] { return device_->WaitForInput(read, stop_); });
    }

    // Runs `body` on a thread that the test leaves behind if it never ends,
    // so that a hang fails the test instead of stopping the run.
    template <typename Body> static bool EndsWithin(std::chrono::milliseconds limit, Body body) {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> ended = done->get_future();
        std::thread([done, body]() mutable {
            body();
            done->set_value();
        }).detach();
        return ended.wait_for(limit) == std::future_status::ready;
    }

    std::shared_ptr<FakeDriver> driver_;
    std::unique_ptr<SerialDevice> device_;
    SerialEvent stop_;
    std::array<std::uint8_t, 2048> buffer_{};
};

// The window purges before every Read and Save, and ClosePort stops the
// reader the same way: neither may cancel the read, and the read after it
// works. Such a driver used to cost half a second and then lose the port.
TEST_F(DriverTest, StopAndPurgeLeaveTheReadToEndOnItsOwnAndTheNextReadWorks) {
    ReadRequest read(buffer_);
    auto waiting = StartWaiting(read);
    ASSERT_TRUE(driver_->WaitForPendingRead());

    const auto start = Clock::now();
    stop_.Set();
    EXPECT_TRUE(device_->Purge(kPurgeRxAbort | kPurgeRxClear));
    EXPECT_LT(Clock::now() - start, 100ms) << "the purge waited for the read";
    ASSERT_EQ(waiting.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(waiting.get().kind, InputResult::Kind::Stopped);
    EXPECT_EQ(driver_->CancelsOfReads(), 0);

    stop_.Reset();
    read.Restart();
    driver_->Feed({0xAA, 0x55, 0x15});
    InputResult result;
    do {
        result = device_->WaitForInput(read, stop_);
    } while (result.kind == InputResult::Kind::FirstBytes);
    EXPECT_EQ(result.kind, InputResult::Kind::ReadDone);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + read.count),
              (std::vector<std::uint8_t>{0xAA, 0x55, 0x15}));
}

// The end of a reply is ours to decide: its first bytes are told at once,
// bytes that follow within the interval join them, and the chunk ends once
// the interval has passed after the last byte.
TEST_F(DriverTest, TheFirstBytesAreToldAtOnceAndTheIntervalEndsTheChunk) {
    ASSERT_TRUE(device_->ReportsFirstBytes());
    ReadRequest read(buffer_);
    driver_->Feed({1, 2, 3});
    EXPECT_EQ(device_->WaitForInput(read, stop_).kind, InputResult::Kind::FirstBytes);
    driver_->Feed({4, 5});
    const auto lastByte = Clock::now();
    EXPECT_EQ(device_->WaitForInput(read, stop_).kind, InputResult::Kind::ReadDone);
    EXPECT_GE(Clock::now() - lastByte, 190ms);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + read.count),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    // Every slice ends on its own: after a burst of bytes, or after at most kReadSlice.
    const COMMTIMEOUTS slice = driver_->LastTimeouts();
    EXPECT_EQ(slice.ReadIntervalTimeout, 1u);
    EXPECT_EQ(slice.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_GT(slice.ReadTotalTimeoutConstant, 0u);
    EXPECT_LE(slice.ReadTotalTimeoutConstant, static_cast<DWORD>(kReadSlice.count()));
}

// A driver that keeps its read whatever happens: the close still ends, and
// the port is closed, not held for the next open.
TEST_F(DriverTest, ClosingIsBoundedWhenTheDriverNeverEndsTheRead) {
    driver_->readsEnd = false;
    ReadRequest read(buffer_);
    auto waiting = StartWaiting(read);
    ASSERT_TRUE(driver_->WaitForPendingRead());
    stop_.Set();
    ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(waiting.get().kind, InputResult::Kind::Stopped);

    SerialDevice* const device = device_.release();
    EXPECT_TRUE(EndsWithin(3s, [device] { delete device; }))
        << "closing waited for the read without a limit";
    EXPECT_TRUE(driver_->Closed());
}

// A stalled adapter whose driver never completes the cancel either: the
// write ends after its time limit, a stop ends it at once, and the port's
// next write fails at once instead of waiting again.
TEST_F(DriverTest, AWriteTheDriverNeverEndsIsBounded) {
    driver_->writesComplete = false;
    ASSERT_TRUE(device_->ApplyTimeouts({200, 0, 0, 0, 100}));
    const std::vector<std::uint8_t> frame(210, 0x5A);

    auto timedOut = std::make_shared<WriteResult>();
    std::shared_ptr<SerialDevice> device(std::move(device_));
    ASSERT_TRUE(EndsWithin(5s, [device, frame, timedOut, this] {
        *timedOut = device->Write(frame, stop_);
    })) << "the write had no time limit";
    EXPECT_EQ(timedOut->kind, WriteResult::Kind::Failed);
    EXPECT_EQ(device->Write(frame, stop_).kind, WriteResult::Kind::Failed);

    std::shared_ptr<SerialDevice> second(MakeWinSerialDevice(FakePort(), driver_));
    auto stopped = std::async(std::launch::async, [&] { return second->Write(frame, stop_); });
    ASSERT_TRUE(driver_->WaitForWrites(2));
    stop_.Set();
    ASSERT_EQ(stopped.wait_for(2s), std::future_status::ready)
        << "a stop did not end the stalled write";
    EXPECT_EQ(stopped.get().kind, WriteResult::Kind::Stopped);
}

// Without write time-outs of the caller's, the driver is still given a bound
// that the frame's length at the line speed fits in.
TEST_F(DriverTest, TheDriverGetsAWriteBoundFromTheLineSpeed) {
    const COMMTIMEOUTS applied = driver_->LastTimeouts();
    EXPECT_GT(applied.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_GT(applied.WriteTotalTimeoutConstant, 0u);
}

} // namespace
} // namespace korvel::platform
