#include "platform/TtyMonitor.h"

#include <libudev.h>
#include <poll.h>

namespace korvel::platform {

namespace {

class UdevTtyMonitor final : public TtyMonitor {
public:
    UdevTtyMonitor(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
    ~UdevTtyMonitor() override {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }
    UdevTtyMonitor(const UdevTtyMonitor&) = delete;
    UdevTtyMonitor& operator=(const UdevTtyMonitor&) = delete;

    bool Wait(std::chrono::milliseconds timeout) override {
        pollfd watched{udev_monitor_get_fd(monitor_), POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(timeout.count())) <= 0) {
            return false;
        }
        bool any = false;
        // The monitor's socket is non-blocking: drain what has come.
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            any = true;
            udev_device_unref(device);
        }
        return any;
    }

private:
    udev* udev_;
    udev_monitor* monitor_;
};

} // namespace

protocol::Result<std::unique_ptr<TtyMonitor>> OpenTtyMonitor() {
    using protocol::Failure;
    udev* context = udev_new();
    if (context == nullptr) {
        return Failure{Failure::Kind::System, "udev is not available"};
    }
    // "udev" events come after the rules ran, so the node has its permissions.
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        udev_unref(context);
        return Failure{Failure::Kind::System,
                       "the udev monitor cannot be opened (no udev daemon here?)"};
    }
    return std::unique_ptr<TtyMonitor>(std::make_unique<UdevTtyMonitor>(context, monitor));
}

} // namespace korvel::platform
