#include "platform/StopSignals.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include <windows.h>

namespace korvel::platform {

namespace {

std::atomic<int> requests{0};
std::atomic<bool> closed{false};

// Windows ends the program when the handler of a close, logoff or shutdown
// returns; it waits about five seconds for it. That time is given to the
// saves in flight.
constexpr DWORD kCloseGraceMs = 4500;

// Saves in flight, and the hidden window that answers logoff and shutdown:
// only services get those as console events, every other program as window
// messages. Never destroyed: the window's thread runs until the process ends.
struct Session {
    std::mutex mutex;
    std::condition_variable savesEnded;
    int saves = 0;
    HWND window = nullptr;
};

Session& TheSession() {
    static Session* const session = new Session;
    return *session;
}

constexpr UINT kSavesChanged = WM_APP + 1;
constexpr const wchar_t* kWindowClass = L"KorvelSessionEnd";

// Waits for the saves in flight to end, as long as Windows waits for us.
void GiveSavesTheirTime() {
    Session& session = TheSession();
    std::unique_lock lock(session.mutex);
    session.savesEnded.wait_for(lock, std::chrono::milliseconds(kCloseGraceMs),
                                [&] { return session.saves == 0; });
}

LRESULT CALLBACK SessionWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        // Asked, not told: the session may still go on, so nothing is counted yet.
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            closed = true;
            requests.fetch_add(1);
            GiveSavesTheirTime();
        }
        return 0;
    case kSavesChanged: {
        // The reason must be given on the window's own thread.
        int saves = 0;
        {
            std::lock_guard lock(TheSession().mutex);
            saves = TheSession().saves;
        }
        if (saves > 0) {
            ::ShutdownBlockReasonCreate(window, L"Korvel is saving a logger's settings");
        } else {
            ::ShutdownBlockReasonDestroy(window);
        }
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void RunSessionWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SessionWindow;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassW(&windowClass);
    // A top-level window that is never shown: message-only windows get no
    // broadcasts, and the end of a session is one.
    const HWND window = ::CreateWindowExW(0, kWindowClass, L"Korvel", WS_OVERLAPPED, 0, 0, 0, 0,
                                          nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return;
    }
    {
        std::lock_guard lock(TheSession().mutex);
        TheSession().window = window;
    }
    ::PostMessageW(window, kSavesChanged, 0, 0);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
}

void TellSessionWindow() {
    Session& session = TheSession();
    std::lock_guard lock(session.mutex);
    if (session.window != nullptr) {
        ::PostMessageW(session.window, kSavesChanged, 0, 0);
    }
}

BOOL WINAPI countRequest(DWORD event) {
    const int count = requests.fetch_add(1) + 1;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // A third request is left to the default handler, which ends the program.
        return count >= 3 ? FALSE : TRUE;
    default:
        closed = true;
        GiveSavesTheirTime();
        return FALSE;
    }
}

} // namespace

void CatchStopSignals() {
    // Windows has no SIGPIPE: a write to a closed pipe already fails.
    ::SetConsoleCtrlHandler(countRequest, TRUE);
    static std::once_flag started;
    std::call_once(started, [] {
        try {
            std::thread(RunSessionWindow).detach();
        } catch (const std::system_error&) {
            // Without it a logoff ends the program as before; the console's close still counts.
        }
    });
}

int StopSignalCount() {
    return requests.load();
}

bool SessionEnded() {
    return closed.load();
}

SaveInFlight::SaveInFlight() {
    {
        std::lock_guard lock(TheSession().mutex);
        ++TheSession().saves;
    }
    TellSessionWindow();
}

SaveInFlight::~SaveInFlight() {
    {
        std::lock_guard lock(TheSession().mutex);
        --TheSession().saves;
    }
    TheSession().savesEnded.notify_all();
    TellSessionWindow();
}

} // namespace korvel::platform
