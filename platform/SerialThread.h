#pragma once
// Priorities for the port's worker threads, asked of the OS where that is harmless.

namespace korvel::platform {

enum class ThreadPriority { Highest, AboveNormal };

// Applies to the calling thread; a refusal leaves it at normal priority.
void RaiseCurrentThreadPriority(ThreadPriority priority);

} // namespace korvel::platform
