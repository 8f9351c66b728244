#pragma once
// What the operating system tells about a serial port without opening it: its
// stable name, its driver and, for a USB adapter, the adapter's identity. For
// listings and for choosing which ports are worth a read command at all.

#include <string>
#include <vector>

namespace korvel::platform {

struct PortInfo {
    std::string path;     // as listed, e.g. /dev/ttyUSB0
    std::string byIdName; // e.g. /dev/serial/by-id/usb-FTDI_FT232R-if00-port0; empty if none
    std::string driver;   // e.g. ftdi_sio, cdc_acm; empty if unknown
    bool usb = false;     // the port belongs to a USB device
    std::string usbId;    // vendor:product in hex, e.g. 0403:6001; empty unless usb
    // The USB device's own texts; empty when it gives none. On Windows the
    // driver's manufacturer and the name Device Manager shows.
    std::string manufacturer;
    std::string product;
    // Windows: the USB device's own serial number, which names the adapter in
    // any socket, and the socket it is in (hub and port); empty when it has
    // none. Linux's by-id name carries the serial number instead.
    std::string serialNumber;
    std::string location;
};

// A PortInfo for each of `ports` (paths as ListSerialPorts gives them), in the
// same order. A detail that cannot be read stays empty; this never fails.
std::vector<PortInfo> DescribeSerialPorts(const std::vector<std::string>& ports,
                                          const std::string& sysfsClassTty = "/sys/class/tty",
                                          const std::string& byIdDir = "/dev/serial/by-id");

// The ports a search sends the read command to: USB serial ports (a USB
// device, or a ttyUSB or ttyACM name), every port with `allPorts`. Opening a
// port raises DTR and the read command goes to whatever listens; and opening
// an outgoing Bluetooth port makes Windows try to connect, for seconds. So
// other ports are left alone unless asked for.
std::vector<std::string> CandidatePorts(const std::vector<PortInfo>& ports, bool allPorts);

} // namespace korvel::platform
