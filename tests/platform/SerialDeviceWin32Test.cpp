// The Windows device on a COM port whose far end echoes (under Wine: a
// pseudo-terminal behind a dosdevices link, played by tests/wine/pty_peer).
#include "platform/SerialDevice.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/ComPeer_win.h"

namespace korvel::platform {
namespace {

using korvel::testing::kHangupMarker;
using korvel::testing::kNoComPortReason;
using korvel::testing::RunningUnderWine;
using korvel::testing::TestComPort;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kWatchedEvents = kEventCarrierDetect | kEventError | kEventRing;
constexpr Timeouts kWindowTimeouts{200, 0, 0, 0, 0};

LineSettings WindowLine() {
    LineSettings line;
    line.flags = line_flag::kBinary | (1u << line_flag::kDtrControlShift) |
                 line_flag::kTxContinueOnXoff | (1u << line_flag::kRtsControlShift);
    line.xonLimit = 500;
    line.xoffLimit = 500;
    return line;
}

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

struct NameCase {
    const char* name;
    SerialError error;
    DWORD code;
};

TEST(OpenSerialDevice, NamesThatAreNoPortFailWithTheSystemsAccount) {
    const NameCase cases[] = {
        {"COM250", SerialError::NotFound, ERROR_FILE_NOT_FOUND},
        {"..\\COM1", SerialError::NotFound, ERROR_INVALID_NAME},
        {"C:COM1", SerialError::NotFound, ERROR_INVALID_NAME},
        {"", SerialError::NotFound, ERROR_INVALID_NAME},
    };
    for (const NameCase& c : cases) {
        const OpenResult opened = OpenSerialDevice(c.name);
        EXPECT_EQ(opened.device, nullptr) << c.name;
        EXPECT_EQ(opened.error, c.error) << c.name;
        EXPECT_EQ(opened.system.code, static_cast<int>(c.code)) << c.name;
        EXPECT_FALSE(opened.system.text.empty()) << c.name;
    }
}

TEST(SerialDevicePath, PutsBareNamesUnderTheDeviceNamespace) {
    EXPECT_EQ(SerialDevicePath("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(SerialDevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
}

class SerialDeviceComTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto port = TestComPort();
        if (!port) {
            GTEST_SKIP() << kNoComPortReason;
        }
        name_ = *port;
        OpenResult opened = OpenSerialDevice(name_);
        ASSERT_NE(opened.device, nullptr) << name_ << ": " << opened.system.text;
        device_ = std::move(opened.device);
        ASSERT_TRUE(device_->SetupQueues(4096, 4096));
        ASSERT_TRUE(device_->Purge(kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear));
        ASSERT_TRUE(device_->ApplyTimeouts(kWindowTimeouts));
        ASSERT_TRUE(device_->ApplyLineSettings(WindowLine()).ok);
        ASSERT_TRUE(device_->SetEventMask(kWatchedEvents));
    }

    void WriteAll(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const WriteResult result = device_->Write(bytes, stop_);
            ASSERT_EQ(result.kind, WriteResult::Kind::Written);
            bytes = bytes.subspan(result.written);
        }
    }
    void WriteAll(std::string_view text) {
        WriteAll({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }

    void TearDown() override {
        if (reader_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                quit_ = true;
            }
            stop_.Set();
            wake_.notify_all();
            reader_.join();
        }
    }

    // One completed read, done by the test's one reader thread so that a read
    // that never ends fails the test instead of hanging it. The thread lives
    // as long as the test: Windows cancels a thread's pending I/O when the
    // thread ends, so a read must not outlive the thread that started it.
    std::vector<std::uint8_t> ReadChunk(std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex_);
        if (!reader_.joinable()) {
            reader_ = std::thread([this] { Serve(); });
        }
        done_.reset();
        wanted_ = true;
        wake_.notify_all();
        if (!wake_.wait_for(lock, limit, [this] { return done_.has_value(); })) {
            stop_.Set();
            wake_.wait_for(lock, 5s, [this] { return done_.has_value(); });
            ADD_FAILURE() << "no read completed within " << limit.count() << " ms";
            return {};
        }
        auto [result, bytes] = std::move(*done_);
        done_.reset();
        EXPECT_EQ(result.kind, InputResult::Kind::ReadDone);
        return bytes;
    }

    void Serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return wanted_ || quit_; });
            if (quit_) {
                return;
            }
            wanted_ = false;
            lock.unlock();
            ReadRequest read(buffer_);
            InputResult result;
            do {
                result = device_->WaitForInput(read, stop_);
            } while (result.kind == InputResult::Kind::LineEvent ||
                     result.kind == InputResult::Kind::FirstBytes);
            std::vector<std::uint8_t> bytes(buffer_.begin(), buffer_.begin() + read.count);
            lock.lock();
            done_.emplace(result, std::move(bytes));
            wake_.notify_all();
        }
    }

    std::string name_;
    std::unique_ptr<SerialDevice> device_;
    SerialEvent stop_;
    std::array<std::uint8_t, 2048> buffer_{};
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool wanted_ = false;
    bool quit_ = false;
    std::optional<std::pair<InputResult, std::vector<std::uint8_t>>> done_;
};

// Every byte value, XON and XOFF among them, crosses both ways unchanged:
// the control block leaves no flow control or character translation on.
TEST_F(SerialDeviceComTest, EveryByteValueComesBackAsOneChunk) {
    const auto all = Bytes(256);
    WriteAll(all);
    EXPECT_EQ(ReadChunk(), all);
}

// The interval runs while a read is outstanding, as it does for the reader
// thread: bytes that wait in the driver's queue carry no pause between them.
TEST_F(SerialDeviceComTest, APauseLongerThanTheIntervalSplitsTheInput) {
    auto chunks = std::async(std::launch::async, [this] {
        auto first = ReadChunk();
        return std::make_pair(first, ReadChunk());
    });
    WriteAll(Bytes(5, 1));
    std::this_thread::sleep_for(400ms); // the pause on the line is what is tested
    WriteAll(Bytes(5, 6));
    const auto [first, second] = chunks.get();
    EXPECT_EQ(first, Bytes(5, 1));
    EXPECT_EQ(second, Bytes(5, 6));
}

TEST_F(SerialDeviceComTest, MoreThanTheBufferArrivesInBufferSizedPieces) {
    std::vector<std::uint8_t> sent(3000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i * 7);
    }
    WriteAll(sent);
    const auto first = ReadChunk();
    const auto second = ReadChunk();
    ASSERT_EQ(first.size(), 2048u);
    std::vector<std::uint8_t> both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(both, sent);
}

// What ClosePort does to a reader that waits with a read outstanding: the
// stop event, then the purge from the owner's thread.
TEST_F(SerialDeviceComTest, StopAndPurgeEndAnOutstandingReadAtOnce) {
    auto reading = std::async(std::launch::async, [this] {
        ReadRequest read(buffer_);
        return device_->WaitForInput(read, stop_);
    });
    ASSERT_EQ(reading.wait_for(300ms), std::future_status::timeout) << "nothing was sent";
    const auto start = Clock::now();
    stop_.Set();
    EXPECT_TRUE(device_->Purge(kPurgeRxAbort | kPurgeRxClear));
    ASSERT_EQ(reading.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(reading.get().kind, InputResult::Kind::Stopped);
    EXPECT_LT(Clock::now() - start, 1s);

    // The device reads again once the stop is taken back.
    stop_.Reset();
    WriteAll(Bytes(3));
    EXPECT_EQ(ReadChunk(), Bytes(3));
}

// The device does not rely on this (its reads end on their own), but a
// program that stops a reader by purging alone does.
TEST_F(SerialDeviceComTest, PurgeCommAloneAbortsAnOutstandingRead) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine's PurgeComm does not abort an outstanding read; the device's "
                        "reads end on their own (StopAndPurgeEndAnOutstandingReadAtOnce)";
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(device_->NativeHandle());
    OVERLAPPED request{};
    request.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_FALSE(
        ::ReadFile(handle, buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr, &request));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_TRUE(::PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR));
    const DWORD woke = ::WaitForSingleObject(request.hEvent, 1000);
    if (woke != WAIT_OBJECT_0) {
        ::CancelIoEx(handle, &request);
    }
    DWORD got = 0;
    EXPECT_FALSE(::GetOverlappedResult(handle, &request, &got, TRUE));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(woke, WAIT_OBJECT_0) << "the purge left the read outstanding";
    ::CloseHandle(request.hEvent);
}

TEST_F(SerialDeviceComTest, AFarEndThatVanishesIsDeviceGone) {
    auto reading = std::async(std::launch::async, [this] {
        ReadRequest read(buffer_);
        return device_->WaitForInput(read, stop_);
    });
    WriteAll(kHangupMarker);
    if (reading.wait_for(5s) != std::future_status::ready) {
        stop_.Set();
        FAIL() << "the reader did not notice the far end going away";
    }
    const InputResult result = reading.get();
    EXPECT_EQ(result.kind, InputResult::Kind::Failed);
    EXPECT_EQ(result.error, SerialError::DeviceGone);
}

TEST_F(SerialDeviceComTest, TheDriverKeepsTheFramingAndFlowControl) {
    DCB kept{};
    kept.DCBlength = sizeof kept;
    const HANDLE handle = reinterpret_cast<HANDLE>(device_->NativeHandle());
    ASSERT_TRUE(::GetCommState(handle, &kept));
    EXPECT_EQ(kept.BaudRate, 9600u);
    EXPECT_EQ(kept.ByteSize, 8);
    EXPECT_EQ(kept.Parity, NOPARITY);
    EXPECT_EQ(kept.StopBits, ONESTOPBIT);
    EXPECT_EQ(kept.fOutX, 0u);
    EXPECT_EQ(kept.fInX, 0u);
    EXPECT_EQ(kept.fOutxCtsFlow, 0u);
}

TEST_F(SerialDeviceComTest, TheDriverKeepsDtrAndRtsAsserted) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "a pseudo-terminal has no modem lines: Wine cannot set or report DTR "
                        "and RTS on it (covered by BuildDcbTest)";
    }
    DCB kept{};
    kept.DCBlength = sizeof kept;
    ASSERT_TRUE(::GetCommState(reinterpret_cast<HANDLE>(device_->NativeHandle()), &kept));
    EXPECT_EQ(kept.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(kept.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
}

TEST_F(SerialDeviceComTest, ASecondOpenIsRefusedAsBusy) {
    if (RunningUnderWine()) {
        GTEST_SKIP()
            << "Wine ignores share mode 0 on devices and opens the port twice "
               "(the mapping of ERROR_ACCESS_DENIED at open is in SerialErrorFromWin32Test)";
    }
    const OpenResult second = OpenSerialDevice(name_);
    EXPECT_EQ(second.device, nullptr);
    EXPECT_EQ(second.error, SerialError::Busy);
    EXPECT_EQ(second.system.code, ERROR_ACCESS_DENIED);
}

TEST_F(SerialDeviceComTest, TheDriverWatchesTheLineStatusEvents) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine cannot wait for line-status or modem events on a pseudo-terminal: "
                        "WaitCommEvent fails with ERROR_NOT_SUPPORTED, and the device reads on "
                        "without line events";
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(device_->NativeHandle());
    OVERLAPPED request{};
    request.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD events = 0;
    const BOOL done = ::WaitCommEvent(handle, &events, &request);
    const DWORD code = done ? ERROR_SUCCESS : ::GetLastError();
    EXPECT_TRUE(done || code == ERROR_IO_PENDING) << code;
    ::CancelIoEx(handle, &request);
    DWORD ignored = 0;
    ::GetOverlappedResult(handle, &request, &ignored, TRUE);
    ::CloseHandle(request.hEvent);
}

} // namespace
} // namespace korvel::platform
