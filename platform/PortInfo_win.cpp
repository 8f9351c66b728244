#include "platform/PortInfo.h"

#include "platform/PortList_win.h"

#include <algorithm>
#include <cctype>

namespace korvel::platform {
namespace {

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

} // namespace

// Windows has no by-id names; the rest comes from SetupAPI, read once for all
// ports. The two folders name Linux places and are ignored.
std::vector<PortInfo> DescribeSerialPorts(const std::vector<std::string>& ports, const std::string&,
                                          const std::string&) {
    const std::vector<PortDescription> known = DescribeSerialPorts();
    std::vector<PortInfo> infos;
    for (const std::string& port : ports) {
        PortInfo info;
        info.path = port;
        const auto found = std::find_if(known.begin(), known.end(), [&](const PortDescription& d) {
            return SameName(d.name, port);
        });
        if (found != known.end()) {
            info.driver = found->service;
            info.usbId = UsbIdFromHardwareId(found->hardwareId);
            info.usb = !info.usbId.empty();
            info.manufacturer = found->manufacturer;
            info.product = found->friendlyName;
            info.serialNumber = found->usbSerial;
            info.location = found->location;
        }
        infos.push_back(std::move(info));
    }
    return infos;
}

} // namespace korvel::platform
