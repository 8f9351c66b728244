#pragma once
// The serial ports on Windows: the names the serial drivers register under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (what ListSerialPorts reads here, its two
// arguments naming Linux places and being ignored), and the names Device
// Manager shows for them.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace korvel::platform {

inline constexpr const wchar_t* kSerialCommKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The data of every value of `root`\`subkey`, as text (COM3), sorted by
// SortPortNames. nullopt when the key cannot be opened or a value cannot be
// read whole (name above 255 characters, data above 255): the caller then keeps
// its old list.
std::optional<std::vector<std::string>> ListSerialPortsUnder(HKEY root, const wchar_t* subkey);

struct PortDescription {
    std::string name;         // COM3
    std::string friendlyName; // "USB Serial Port (COM3)"; empty when the driver gives none
    std::string hardwareId;   // the first hardware id, e.g. USB\VID_0403&PID_6001&REV_0600
    std::string manufacturer; // as the driver's INF names it, e.g. FTDI
    std::string service;      // the driver's service, e.g. FTDIBUS, usbser
    std::string usbSerial;    // the USB device's serial number; empty without one
    std::string location;     // where the USB device is plugged, e.g. Port_#0002.Hub_#0003
    bool operator==(const PortDescription&) const = default;
};

// "0403:6001" (lower-case hex, as Linux shows USB ids) from a hardware id that
// names a USB vendor and product (USB\VID_0403&PID_6001, FTDIBUS\VID_0403+PID_6001+...);
// empty for any other.
std::string UsbIdFromHardwareId(const std::string& hardwareId);

// The serial number in the instance id of a USB device
// (USB\VID_0403&PID_6001\A50285BI gives A50285BI); empty for an id Windows
// made up because the device has none (it holds an ampersand:
// USB\VID_1A86&PID_7523\5&2A3B4C5D&0&2), for an interface of a composite
// device (&MI_) and for any other bus.
std::string UsbSerialFromInstanceId(const std::string& instanceId);

// The COM name in a port's device key: its PortName text, or else COM<n> from
// the PortNumber some modem and virtual-port drivers write instead; nullopt
// with neither.
std::optional<std::string> PortNameFromDeviceKey(HKEY key);

// Every present device of the Ports and Modem classes or behind the COM-port
// interface that has a port name, from SetupAPI, each name once, sorted by
// name as SortPortNames sorts; empty when SetupAPI has none.
std::vector<PortDescription> DescribeSerialPorts();

} // namespace korvel::platform
