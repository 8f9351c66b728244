// Logoff and shutdown reach a console program only as window messages.
#include "platform/StopSignals.h"

#include <windows.h>

#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Whether this process can make a window at all: Wine without a display cannot.
bool WindowsCanBeMade() {
    const HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                         nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) {
        return false;
    }
    ::DestroyWindow(probe);
    return true;
}

HWND SessionWindow() {
    const auto deadline = Clock::now() + 5s;
    HWND window = nullptr;
    while ((window = ::FindWindowW(L"KorvelSessionEnd", nullptr)) == nullptr &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    return window;
}

// The query changes nothing (the session may go on); the end counts as a
// stop request from a session that has gone, and waits for the save in flight
// to end, not for the whole grace.
TEST(StopSignalsWin32, LogoffWaitsForTheSaveInFlight) {
    if (!WindowsCanBeMade()) {
        GTEST_SKIP() << "no desktop to make a window on (Wine without a display)";
    }
    CatchStopSignals();
    const HWND window = SessionWindow();
    ASSERT_NE(window, nullptr) << "no hidden window answers the end of the session";
    const int before = StopSignalCount();
    EXPECT_EQ(::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(StopSignalCount(), before);
    EXPECT_FALSE(SessionEnded());

    auto save = std::make_unique<SaveInFlight>();
    const auto start = Clock::now();
    std::thread saving([&save] {
        std::this_thread::sleep_for(300ms); // the rest of the save
        save.reset();
    });
    ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    const auto waited = Clock::now() - start;
    saving.join();
    EXPECT_GE(waited, 250ms) << "the session ended before the save did";
    EXPECT_LT(waited, 4s) << "the save's end did not release the session";
    EXPECT_TRUE(SessionEnded());
    EXPECT_EQ(StopSignalCount(), before + 1);
}

} // namespace
} // namespace korvel::platform
