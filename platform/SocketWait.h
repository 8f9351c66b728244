#pragma once
// Waiting on a network socket that another library opened (the shared
// history's connection), with a limit, so that a server that never answers
// holds nothing up for longer than the caller allows.

#include <chrono>

namespace korvel::platform {

enum class SocketReady { Ready, TimedOut, Failed };

// Waits until `socket` (a file descriptor, or a SOCKET on Windows) can be
// read (`forWriting` false) or written, for at most `limit`.
SocketReady WaitForSocket(long long socket, bool forWriting, std::chrono::milliseconds limit);

} // namespace korvel::platform
