#include "platform/PortList_win.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/PortInfo.h"
#include "platform/PortList.h"
#include "platform/WideText_win.h"

namespace korvel::platform {
namespace {

using Names = std::vector<std::string>;

// A key of its own under HKEY_CURRENT_USER in the shape of SERIALCOMM, removed afterwards.
class SerialCommKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = L"Software\\KorvelTest\\SERIALCOMM-" + std::to_wstring(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }

    void Add(const std::wstring& name, const std::wstring& data, DWORD type = REG_SZ) {
        ASSERT_EQ(::RegSetValueExW(key_, name.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    std::optional<Names> List() const {
        return ListSerialPortsUnder(HKEY_CURRENT_USER, path_.c_str());
    }

    std::wstring path_;
    HKEY key_ = nullptr;
};

TEST_F(SerialCommKeyTest, ListsTheValuesDataSorted) {
    Add(L"\\Device\\Serial2", L"COM2");
    Add(L"\\Device\\VCP0", L"COM10");
    Add(L"\\Device\\Serial3", L"COM3");
    EXPECT_EQ(List(), (Names{"COM10", "COM2", "COM3"}));
}

TEST_F(SerialCommKeyTest, EmptyKeyIsAnEmptyList) {
    EXPECT_EQ(List(), Names{});
}

TEST_F(SerialCommKeyTest, MissingKeyIsNoList) {
    EXPECT_FALSE(ListSerialPortsUnder(HKEY_CURRENT_USER, (path_ + L"-missing").c_str()));
}

// The whole list is refused rather than one name cut short or dropped.
TEST_F(SerialCommKeyTest, NameOrDataTooLongIsNoList) {
    Add(L"\\Device\\Serial1", L"COM1");
    Add(L"\\Device\\Long", std::wstring(300, L'X'));
    EXPECT_FALSE(List());
}

TEST_F(SerialCommKeyTest, NonAsciiNamesComeBackAsUtf8) {
    Add(L"\\Device\\Virtual", L"COM\u00e9");
    EXPECT_EQ(List(), Names{"COM\xc3\xa9"});
}

// A device key names its port by text, or only by number (modems, some
// virtual ports); an empty text or a zero number names none.
TEST_F(SerialCommKeyTest, DeviceKeyNamesThePortByTextOrNumber) {
    EXPECT_EQ(PortNameFromDeviceKey(key_), std::nullopt);
    const DWORD number = 7;
    ASSERT_EQ(::RegSetValueExW(key_, L"PortNumber", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(PortNameFromDeviceKey(key_), "COM7");
    Add(L"PortName", L"");
    EXPECT_EQ(PortNameFromDeviceKey(key_), "COM7");
    Add(L"PortName", L"COM12");
    EXPECT_EQ(PortNameFromDeviceKey(key_), "COM12");
    const DWORD zero = 0;
    ::RegDeleteValueW(key_, L"PortName");
    ASSERT_EQ(::RegSetValueExW(key_, L"PortNumber", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&zero), sizeof zero),
              ERROR_SUCCESS);
    EXPECT_EQ(PortNameFromDeviceKey(key_), std::nullopt);
}

// SetupAPI's list depends on the machine; what holds everywhere is its shape.
TEST(DescribeSerialPorts, NamedAndSortedLikeThePortList) {
    const std::vector<PortDescription> ports = DescribeSerialPorts();
    Names names;
    for (const PortDescription& port : ports) {
        EXPECT_FALSE(port.name.empty());
        names.push_back(port.name);
    }
    Names sorted = names;
    SortPortNames(sorted);
    EXPECT_EQ(names, sorted);
}

TEST(UsbIdFromHardwareId, ReadsVendorAndProductWhereverTheBusPutsThem) {
    const struct {
        const char* id;
        const char* expected;
    } cases[] = {
        {"USB\\VID_0403&PID_6001&REV_0600", "0403:6001"},
        {"FTDIBUS\\VID_0403+PID_6015+DK0AB1CDA\\0000", "0403:6015"},
        {"usb\\vid_1a86&pid_7523", "1a86:7523"},
        {"USB\\VID_10C4&PID_EA60", "10c4:ea60"},
        {"ACPI\\PNP0501", ""},
        {"BTHENUM\\{00001101-0000-1000-8000-00805f9b34fb}_VID&0001005d_PID&223b", ""},
        {"USB\\VID_04&PID_6001", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UsbIdFromHardwareId(c.id), c.expected) << c.id;
    }
}

TEST(UsbSerialFromInstanceId, OnlyASerialNumberTheDeviceGaveItself) {
    const struct {
        const char* id;
        const char* expected;
    } cases[] = {
        {"USB\\VID_0403&PID_6001\\A50285BI", "A50285BI"},
        {"usb\\vid_10c4&pid_ea60\\0001", "0001"},
        {"USB\\VID_1A86&PID_7523\\5&2A3B4C5D&0&2", ""},          // made up: no serial number
        {"USB\\VID_2341&PID_0043&MI_00\\6&1C2D3E4F&0&0000", ""}, // an interface, not the device
        {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", ""},
        {"USB\\VID_0403&PID_6001\\", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UsbSerialFromInstanceId(c.id), c.expected) << c.id;
    }
}

// A port SetupAPI does not know keeps its name and nothing else.
TEST(DescribeSerialPorts, AnUnknownPortIsNamedOnly) {
    const std::vector<PortInfo> ports = DescribeSerialPorts({"COM250"});
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].path, "COM250");
    EXPECT_FALSE(ports[0].usb);
    EXPECT_EQ(ports[0].product, "");
}

} // namespace
} // namespace korvel::platform
