#include "cli/StopRequests.h"

#include <atomic>
#include <csignal>

namespace korvel::cli {

namespace {

// Lock-free, so the handler may touch it.
std::atomic<int> requests{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void countRequest(int) {
    requests.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

void CatchStopRequests() {
    std::signal(SIGINT, countRequest);
    std::signal(SIGTERM, countRequest);
}

int StopRequestCount() {
    return requests.load(std::memory_order_relaxed);
}

} // namespace korvel::cli
