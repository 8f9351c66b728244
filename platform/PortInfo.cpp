#include "platform/PortInfo.h"

#include <filesystem>

namespace korvel::platform {

namespace {

bool HasUsbName(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

} // namespace

std::vector<std::string> CandidatePorts(const std::vector<PortInfo>& ports, bool allPorts) {
    std::vector<std::string> candidates;
    for (const PortInfo& port : ports) {
        if (allPorts || port.usb || HasUsbName(port.path)) {
            candidates.push_back(port.path);
        }
    }
    return candidates;
}

} // namespace korvel::platform
