#include "platform/PortList.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace korvel::platform {

const char* const kPortListHint = "is /sys mounted?";

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kVirtualDevices = "/devices/virtual/";
constexpr std::string_view kPlaceholderPrefix = "ttyS";

bool IsVirtual(const fs::path& entry) {
    std::error_code error;
    const fs::path resolved = fs::canonical(entry, error);
    return error || resolved.string().find(kVirtualDevices) != std::string::npos;
}

bool HasDevice(const fs::path& entry) {
    std::error_code error;
    return fs::exists(entry / "device", error);
}

// Kernels from 6.8 on hang the 8250 placeholders under a "serial-base" device,
// so only the port type tells them from real ports: 0 means no UART there.
// Only a type that reads as 0 drops a port: kernels before 5.7 let only root
// read the file, and an ordinary user must still see the ports.
bool IsPlaceholderPortType(const fs::path& entry) {
    std::ifstream typeFile(entry / "type");
    int type = -1;
    return typeFile >> type && type == 0;
}

bool IsSerialPort(const fs::path& entry) {
    const std::string name = entry.filename().string();
    if (!HasDevice(entry) || IsVirtual(entry)) {
        return false;
    }
    return name.rfind(kPlaceholderPrefix, 0) != 0 || !IsPlaceholderPortType(entry);
}

} // namespace

std::optional<std::vector<std::string>> ListSerialPorts(const std::string& sysfsClassTty,
                                                        const std::string& devDir) {
    std::error_code error;
    std::vector<std::string> ports;
    for (fs::directory_iterator entry(sysfsClassTty, error), end; !error && entry != end;
         entry.increment(error)) {
        if (IsSerialPort(entry->path())) {
            ports.push_back((fs::path(devDir) / entry->path().filename()).string());
        }
    }
    // A list cut short by a failure would hide ports, so keep the caller's instead.
    if (error) {
        return std::nullopt;
    }
    SortPortNames(ports);
    return ports;
}

} // namespace korvel::platform
