#include "platform/SerialThread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace korvel::platform {

void RaiseCurrentThreadPriority(ThreadPriority priority) {
    // Linux gives ordinary threads a per-thread nice value: lowering it needs
    // CAP_SYS_NICE (or an RLIMIT_NICE allowance), so for most users this is
    // refused and the thread runs at normal priority, which is harmless. Real-time
    // scheduling is not asked for: a runaway reader must never starve the desktop.
    const int nice = priority == ThreadPriority::Highest ? -10 : -5;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice);
}

} // namespace korvel::platform
