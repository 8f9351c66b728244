#include "platform/PortInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korvel::platform {
namespace {

namespace fs = std::filesystem;

// A scratch /sys and /dev: a USB adapter with its interface, driver and texts,
// and a by-id link to its device node.
class FakeSystem {
public:
    FakeSystem() {
        std::string pattern = (fs::temp_directory_path() / "korvel-portinfo-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::create_directories(root_ / "sys/class/tty");
        fs::create_directories(root_ / "dev/serial/by-id");
        fs::create_directories(root_ / "sys/bus/drivers/ftdi_sio");
    }
    ~FakeSystem() { fs::remove_all(root_); }

    std::string classTty() const { return (root_ / "sys/class/tty").string(); }
    std::string byId() const { return (root_ / "dev/serial/by-id").string(); }

    // A tty whose device directory is `deviceDir` under sys/devices; returns its /dev path.
    std::string addTty(const std::string& deviceDir, const std::string& name) {
        const fs::path device = root_ / "sys/devices" / deviceDir;
        fs::create_directories(device / "tty" / name);
        fs::create_directory_symlink(device, device / "tty" / name / "device");
        fs::create_directory_symlink(device / "tty" / name, root_ / "sys/class/tty" / name);
        std::ofstream(root_ / "dev" / name) << "";
        return (root_ / "dev" / name).string();
    }
    void write(const std::string& relative, const std::string& text) {
        std::ofstream(root_ / "sys/devices" / relative) << text << "\n";
    }
    void link(const fs::path& from, const fs::path& to) { fs::create_symlink(to, root_ / from); }
    fs::path root() const { return root_; }

private:
    fs::path root_;
};

TEST(DescribeSerialPorts, UsbAdapterWithItsIdentityAndByIdName) {
    FakeSystem sys;
    const std::string usb = "pci0000:00/usb1/1-1";
    fs::create_directories(sys.root() / "sys/devices" / usb);
    sys.write(usb + "/idVendor", "0403");
    sys.write(usb + "/idProduct", "6001");
    sys.write(usb + "/manufacturer", "FTDI");
    sys.write(usb + "/product", "FT232R USB UART");
    const std::string port = sys.addTty(usb + "/1-1:1.0/ttyUSB0", "ttyUSB0");
    sys.link("sys/devices/" + usb + "/1-1:1.0/ttyUSB0/driver",
             sys.root() / "sys/bus/drivers/ftdi_sio");
    sys.link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0", "../../ttyUSB0");
    const std::string plain = sys.addTty("platform/serial8250/ttyS0", "ttyS0");

    const auto infos = DescribeSerialPorts({port, plain}, sys.classTty(), sys.byId());
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].path, port);
    EXPECT_TRUE(infos[0].usb);
    EXPECT_EQ(infos[0].usbId, "0403:6001");
    EXPECT_EQ(infos[0].manufacturer, "FTDI");
    EXPECT_EQ(infos[0].product, "FT232R USB UART");
    EXPECT_EQ(infos[0].driver, "ftdi_sio");
    EXPECT_EQ(fs::path(infos[0].byIdName).filename(), "usb-FTDI_FT232R_USB_UART_A1-if00-port0");

    EXPECT_FALSE(infos[1].usb);
    EXPECT_EQ(infos[1].usbId, "");
    EXPECT_EQ(infos[1].byIdName, "");
}

TEST(DescribeSerialPorts, APortSysfsDoesNotKnowKeepsItsPathOnly) {
    FakeSystem sys;
    const auto infos = DescribeSerialPorts({"/dev/pts/77"}, sys.classTty(), sys.byId());
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].path, "/dev/pts/77");
    EXPECT_FALSE(infos[0].usb);
    EXPECT_EQ(infos[0].driver, "");
}

} // namespace
} // namespace korvel::platform
