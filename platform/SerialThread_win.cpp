#include "platform/SerialThread.h"

#include <windows.h>

namespace korvel::platform {

void RaiseCurrentThreadPriority(ThreadPriority priority) {
    // Within the normal priority class, so no right is needed; a refusal is harmless.
    ::SetThreadPriority(::GetCurrentThread(), priority == ThreadPriority::Highest
                                                  ? THREAD_PRIORITY_HIGHEST
                                                  : THREAD_PRIORITY_ABOVE_NORMAL);
}

} // namespace korvel::platform
