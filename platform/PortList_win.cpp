#include "platform/PortList_win.h"

// clang-format off: initguid.h must come first so that devguid.h defines the GUIDs.
#include <devguid.h>
#include <initguid.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cctype>

#include "platform/PortList.h"
#include "platform/WideText_win.h"

namespace korvel::platform {

const char* const kPortListHint = "can HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM be read?";

namespace {

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
    wchar_t data[kDataCapacity] = {};
    DWORD bytes = sizeof data;
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(data),
                           &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return Utf8FromWide(RegistryText(data, bytes));
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

std::vector<PortDescription> DescribeSerialPorts() {
    std::vector<PortDescription> ports;
    const HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return ports;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // The class holds parallel ports (LPT1) too; callers match these by name
    // against ListSerialPorts.
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        if (auto name = PortNameOf(devices, device)) {
            ports.push_back({std::move(*name), TextPropertyOf(devices, device, SPDRP_FRIENDLYNAME),
                             TextPropertyOf(devices, device, SPDRP_HARDWAREID),
                             TextPropertyOf(devices, device, SPDRP_MFG),
                             TextPropertyOf(devices, device, SPDRP_SERVICE)});
        }
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    std::stable_sort(ports.begin(), ports.end(),
                     [](const PortDescription& a, const PortDescription& b) {
                         return PortNameLess(a.name, b.name);
                     });
    return ports;
}

} // namespace korvel::platform
