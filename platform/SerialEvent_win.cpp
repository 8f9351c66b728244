// The stop event on Windows: a manual-reset event object, waited on with the
// device's completion events in one WaitForMultipleObjects.

#include "platform/SerialEvent.h"

#include <windows.h>

#include <algorithm>
#include <system_error>
#include <vector>

#include "platform/SerialEvent_win.h"

namespace korvel::platform {

// The header keeps an int: kernel handles are 32-bit values sign-extended on
// 64-bit Windows (documented for handles shared with 32-bit processes), so
// HandleToLong and LongToHandle carry one through it unchanged.
SerialEvent::SerialEvent() : fd_(::HandleToLong(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {
    if (fd_ == 0) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEventW");
    }
}

SerialEvent::~SerialEvent() {
    ::CloseHandle(EventHandle(*this));
}

void SerialEvent::Set() {
    ::SetEvent(EventHandle(*this));
}

void SerialEvent::Reset() {
    ::ResetEvent(EventHandle(*this));
}

bool SerialEvent::IsSet() const {
    return ::WaitForSingleObject(EventHandle(*this), 0) == WAIT_OBJECT_0;
}

HANDLE EventHandle(const SerialEvent& event) {
    return ::LongToHandle(event.NativeHandle());
}

namespace {

int WaitForEvents(std::initializer_list<const SerialEvent*> events, DWORD milliseconds) {
    std::vector<HANDLE> handles;
    for (const SerialEvent* event : events) {
        handles.push_back(EventHandle(*event));
    }
    // The lowest signalled position is what WaitForMultipleObjects returns.
    const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                  handles.data(), FALSE, milliseconds);
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
        return static_cast<int>(result - WAIT_OBJECT_0);
    }
    return result == WAIT_TIMEOUT ? kWaitTimedOut : -1;
}

} // namespace

int WaitForAnyEvent(std::initializer_list<const SerialEvent*> events) {
    return WaitForEvents(events, INFINITE);
}

int WaitForAnyEvent(std::initializer_list<const SerialEvent*> events,
                    std::chrono::nanoseconds timeout) {
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    // Below INFINITE, which would wait without a limit.
    return WaitForEvents(events,
                         static_cast<DWORD>(std::clamp<long long>(milliseconds, 0, INFINITE - 1)));
}

} // namespace korvel::platform
