#include "platform/PortList_win.h"

// initguid.h must come before devguid.h, so that it defines the class GUIDs
// here instead of only declaring them; clang-format would sort it after.
// clang-format off
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <cfgmgr32.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <string>

#include "platform/PortList.h"
#include "platform/WideText_win.h"

namespace korvel::platform {

const char* const kPortListHint = "can HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM be read?";

namespace {

// GUID_DEVINTERFACE_COMPORT: <windows.h> has declared it before initguid.h,
// and the header that defines it is the driver kit's.
DEFINE_GUID(kComPortInterface, 0x86e0d1e0, 0x8089, 0x11d0, 0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f,
            0x73);

// Both buffers hold 256 characters: a name or text that does not fit is a
// failure of the whole listing, not a shortened entry.
constexpr DWORD kNameCapacity = 256;
constexpr DWORD kDataCapacity = 256;

// Registry text may or may not carry its terminating null; no text ends in one.
std::wstring RegistryText(const wchar_t* data, DWORD bytes) {
    std::wstring text(data, bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

class RegistryKey {
public:
    RegistryKey(HKEY root, const wchar_t* subkey) {
        if (::RegOpenKeyExW(root, subkey, 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    explicit RegistryKey(HKEY opened) : key_(opened == INVALID_HANDLE_VALUE ? nullptr : opened) {}
    ~RegistryKey() {
        if (key_ != nullptr) {
            ::RegCloseKey(key_);
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::optional<std::string> PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    RegistryKey key(
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (key.get() == nullptr) {
        return std::nullopt;
    }
    return PortNameFromDeviceKey(key.get());
}

// A text property; of a list (the hardware ids) its first entry. Empty when
// the driver gives none.
std::string TextPropertyOf(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t data[kDataCapacity] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                             reinterpret_cast<BYTE*>(data),
                                             sizeof data - sizeof(wchar_t), nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ)) {
        return {};
    }
    // The buffer keeps a null behind whatever came, so a list stops at its first entry.
    return Utf8FromWide(data);
}

// The hex digits after `key` in `id` (upper-case), if four follow it.
std::string HexAfter(const std::string& id, const std::string& key) {
    const std::size_t at = id.find(key);
    if (at == std::string::npos || id.size() < at + key.size() + 4) {
        return {};
    }
    std::string digits = id.substr(at + key.size(), 4);
    for (char& c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return {};
        }
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return digits;
}

} // namespace

std::optional<std::string> PortNameFromDeviceKey(HKEY key) {
    wchar_t data[kDataCapacity] = {};
    DWORD bytes = sizeof data;
    DWORD type = 0;
    if (::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(data),
                           &bytes) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::wstring name = RegistryText(data, bytes);
        if (!name.empty()) {
            return Utf8FromWide(name);
        }
    }
    DWORD number = 0;
    bytes = sizeof number;
    if (::RegQueryValueExW(key, L"PortNumber", nullptr, &type, reinterpret_cast<BYTE*>(&number),
                           &bytes) == ERROR_SUCCESS &&
        type == REG_DWORD && bytes == sizeof number && number != 0) {
        return "COM" + std::to_string(number);
    }
    return std::nullopt;
}

std::string UsbIdFromHardwareId(const std::string& hardwareId) {
    std::string id = hardwareId;
    for (char& c : id) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::string vendor = HexAfter(id, "VID_");
    const std::string product = HexAfter(id, "PID_");
    if (vendor.empty() || product.empty()) {
        return {};
    }
    return vendor + ":" + product;
}

std::optional<std::vector<std::string>> ListSerialPortsUnder(HKEY root, const wchar_t* subkey) {
    RegistryKey key(root, subkey);
    if (key.get() == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameCapacity];
        wchar_t data[kDataCapacity];
        DWORD nameLength = kNameCapacity;
        DWORD dataBytes = sizeof data;
        const LONG result = ::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS) {
            return std::nullopt;
        }
        ports.push_back(Utf8FromWide(RegistryText(data, dataBytes)));
    }
    SortPortNames(ports);
    return ports;
}

std::optional<std::vector<std::string>> ListSerialPorts(const std::string&, const std::string&) {
    return ListSerialPortsUnder(HKEY_LOCAL_MACHINE, kSerialCommKey);
}

std::string UsbSerialFromInstanceId(const std::string& instanceId) {
    std::string upper = instanceId;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t last = instanceId.rfind('\\');
    if (upper.rfind("USB\\VID_", 0) != 0 || upper.find("&MI_") != std::string::npos ||
        last == std::string::npos || last + 1 == instanceId.size()) {
        return {};
    }
    const std::string serial = instanceId.substr(last + 1);
    return serial.find('&') == std::string::npos ? serial : std::string();
}

namespace {

std::string DeviceIdOf(DEVINST node) {
    std::wstring id(MAX_DEVICE_ID_LEN + 1, L'\0');
    if (::CM_Get_Device_IDW(node, id.data(), static_cast<ULONG>(id.size()), 0) != CR_SUCCESS) {
        return {};
    }
    id.resize(std::wcslen(id.c_str()));
    return Utf8FromWide(id);
}

std::string LocationOf(DEVINST node) {
    std::wstring text(256, L'\0');
    ULONG size = static_cast<ULONG>(text.size() * sizeof(wchar_t));
    if (::CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_INFORMATION, nullptr, text.data(),
                                            &size, 0) != CR_SUCCESS) {
        return {};
    }
    text.resize(std::wcslen(text.c_str()));
    return Utf8FromWide(text);
}

// The USB device a port belongs to: the port's own node (CH340, CP210x), its
// parent (FTDI's bus, an interface of a composite CDC device) or the one above.
void AddUsbIdentity(DEVINST node, PortDescription& port) {
    for (int level = 0; level < 3; ++level) {
        const std::string id = DeviceIdOf(node);
        std::string upper = id;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (upper.rfind("USB\\VID_", 0) == 0 && upper.find("&MI_") == std::string::npos) {
            port.usbSerial = UsbSerialFromInstanceId(id);
            port.location = LocationOf(node);
            return;
        }
        DEVINST parent = 0;
        if (::CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) {
            return;
        }
        node = parent;
    }
}

// Adds every present device of one SetupAPI set that has a port name and is
// not listed yet (a port is in its class and behind the COM-port interface).
void AddDevicesOf(HDEVINFO devices, std::vector<PortDescription>& ports) {
    if (devices == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        auto name = PortNameOf(devices, device);
        if (!name || std::any_of(ports.begin(), ports.end(), [&name](const PortDescription& port) {
                return port.name == *name;
            })) {
            continue;
        }
        PortDescription port{std::move(*name),
                             TextPropertyOf(devices, device, SPDRP_FRIENDLYNAME),
                             TextPropertyOf(devices, device, SPDRP_HARDWAREID),
                             TextPropertyOf(devices, device, SPDRP_MFG),
                             TextPropertyOf(devices, device, SPDRP_SERVICE),
                             {},
                             {}};
        AddUsbIdentity(device.DevInst, port);
        ports.push_back(std::move(port));
    }
    ::SetupDiDestroyDeviceInfoList(devices);
}

} // namespace

std::vector<PortDescription> DescribeSerialPorts() {
    std::vector<PortDescription> ports;
    // The Ports class holds parallel ports (LPT1) too; callers match these by
    // name against ListSerialPorts. A USB adapter whose driver installs it as a
    // modem is in the Modem class instead, and some drivers register only the
    // COM-port interface: all three keep the adapter's USB identity.
    AddDevicesOf(::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT),
                 ports);
    AddDevicesOf(::SetupDiGetClassDevsW(&GUID_DEVCLASS_MODEM, nullptr, nullptr, DIGCF_PRESENT),
                 ports);
    AddDevicesOf(::SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
                 ports);
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortDescription& a, const PortDescription& b) {
                         return PortNameLess(a.name, b.name);
                     });
    return ports;
}

} // namespace korvel::platform
