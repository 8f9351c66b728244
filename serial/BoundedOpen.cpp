#include "serial/BoundedOpen.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace korvel::serial {

namespace {

// What the opening thread and the waiting caller share; the last to let go
// frees it.
struct Attempt {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<platform::OpenResult> result;
    bool abandoned = false;
};

} // namespace

platform::OpenResult OpenWithin(const DeviceOpenFn& opener, const std::string& name,
                                std::chrono::milliseconds limit) {
    auto attempt = std::make_shared<Attempt>();
    try {
        std::thread([attempt, opener, name] {
            platform::OpenResult opened = opener(name);
            std::unique_lock lock(attempt->mutex);
            if (attempt->abandoned) {
                lock.unlock();
                opened.device.reset(); // off the caller's thread, as closes must be
                return;
            }
            attempt->result = std::move(opened);
            attempt->done.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        return {nullptr, platform::SerialError::Other, {error.code().value(), error.what()}};
    }
    std::unique_lock lock(attempt->mutex);
    if (!attempt->done.wait_for(lock, limit, [&] { return attempt->result.has_value(); })) {
        attempt->abandoned = true;
        const auto tenths = (limit.count() + 99) / 100;
        return {nullptr,
                platform::SerialError::Other,
                {0, "did not open within " + std::to_string(tenths / 10) + "." +
                        std::to_string(tenths % 10) +
                        " s (a Bluetooth port reaching for its device?); left to finish "
                        "on its own"}};
    }
    return std::move(*attempt->result);
}

} // namespace korvel::serial
