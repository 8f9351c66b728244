#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>

namespace korvel::platform {

namespace {

// Lock-free, so the handler may touch it.
std::atomic<int> requests{0};
std::atomic<bool> hangUp{false};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void countRequest(int received) {
    if (received == SIGHUP) {
        hangUp.store(true, std::memory_order_relaxed);
    }
    if (requests.fetch_add(1, std::memory_order_relaxed) + 1 >= 2) {
        // A third request is fatal again: a way out if anything should hang.
        struct sigaction fatal {};
        fatal.sa_handler = SIG_DFL;
        for (const int signal : kStopSignals) {
            ::sigaction(signal, &fatal, nullptr);
        }
    }
}

} // namespace

void CatchStopSignals() {
    struct sigaction counted {};
    counted.sa_handler = countRequest;
    // Reads and writes in progress go on rather than fail with EINTR.
    counted.sa_flags = SA_RESTART;
    sigemptyset(&counted.sa_mask);
    for (const int signal : kStopSignals) {
        ::sigaction(signal, &counted, nullptr);
    }
    struct sigaction ignored {};
    ignored.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignored, nullptr);
}

int StopSignalCount() {
    return requests.load(std::memory_order_relaxed);
}

bool SessionEnded() {
    return hangUp.load(std::memory_order_relaxed);
}

// A hang-up or SIGTERM already gives the save its time here.
SaveInFlight::SaveInFlight() = default;
SaveInFlight::~SaveInFlight() = default;

} // namespace korvel::platform
