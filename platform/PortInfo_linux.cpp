#include "platform/PortInfo.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace korvel::platform {
namespace {

namespace fs = std::filesystem;

// A one-line sysfs attribute without its newline; empty when unreadable.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

fs::path canonicalOrEmpty(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

// The nearest directory at or above `device` that describes a USB device: the
// one with idVendor (the interface and the tty sit below it).
fs::path usbDeviceOf(fs::path device) {
    std::error_code error;
    for (; !device.empty() && device != device.root_path(); device = device.parent_path()) {
        if (fs::exists(device / "idVendor", error) && fs::exists(device / "idProduct", error)) {
            return device;
        }
    }
    return {};
}

std::string byIdNameOf(const fs::path& port, const std::string& byIdDir) {
    const fs::path target = canonicalOrEmpty(port);
    std::error_code error;
    if (target.empty()) {
        return {};
    }
    for (fs::directory_iterator entry(byIdDir, error), end; !error && entry != end;
         entry.increment(error)) {
        if (canonicalOrEmpty(entry->path()) == target) {
            return entry->path().string();
        }
    }
    return {};
}

PortInfo describe(const std::string& port, const std::string& sysfsClassTty,
                  const std::string& byIdDir) {
    PortInfo info;
    info.path = port;
    info.byIdName = byIdNameOf(port, byIdDir);
    const fs::path entry = fs::path(sysfsClassTty) / fs::path(port).filename();
    const fs::path device = canonicalOrEmpty(entry / "device");
    if (device.empty()) {
        return info;
    }
    info.driver = canonicalOrEmpty(device / "driver").filename().string();
    const fs::path usb = usbDeviceOf(device);
    if (!usb.empty()) {
        info.usb = true;
        info.usbId = attribute(usb / "idVendor") + ":" + attribute(usb / "idProduct");
        info.manufacturer = attribute(usb / "manufacturer");
        info.product = attribute(usb / "product");
    }
    return info;
}

} // namespace

std::vector<PortInfo> DescribeSerialPorts(const std::vector<std::string>& ports,
                                          const std::string& sysfsClassTty,
                                          const std::string& byIdDir) {
    std::vector<PortInfo> infos;
    for (const std::string& port : ports) {
        infos.push_back(describe(port, sysfsClassTty, byIdDir));
    }
    return infos;
}

} // namespace korvel::platform
