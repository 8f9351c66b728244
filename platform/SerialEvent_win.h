#pragma once
// The event object behind a SerialEvent, for the Windows device's waits.

#include <windows.h>

#include "platform/SerialEvent.h"

namespace korvel::platform {

HANDLE EventHandle(const SerialEvent& event);

} // namespace korvel::platform
