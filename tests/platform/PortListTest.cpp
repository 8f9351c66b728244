#include "platform/PortList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace korvel::platform {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A small copy of /sys: devices under devices/, class entries as relative links.
class FakeSysfs {
public:
    FakeSysfs() {
        std::string pattern = (fs::temp_directory_path() / "korvel-sysfs-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        fs::create_directories(classTty());
    }
    ~FakeSysfs() { fs::remove_all(root_); }

    fs::path classTty() const { return root_ / "class" / "tty"; }
    fs::path root() const { return root_; }

    // A tty at devices/<ttyDir>/<name>; `device` links to the directory holding tty/.
    // Returns the tty's directory.
    fs::path addTty(const std::string& ttyDir, const std::string& name, bool withDevice,
                    const char* type = nullptr) {
        fs::path dir = root_ / "devices" / ttyDir / name;
        fs::create_directories(dir);
        if (withDevice) {
            fs::create_directory_symlink("../..", dir / "device");
        }
        if (type != nullptr) {
            std::ofstream(dir / "type") << type << "\n";
        }
        fs::create_directory_symlink(fs::path("../../devices") / ttyDir / name, classTty() / name);
        return dir;
    }

private:
    fs::path root_;
};

TEST(ListSerialPorts, KeepsRealPortsOnly) {
    FakeSysfs sys;
    sys.addTty("platform/serial8250/tty", "ttyS0", true, "4");
    sys.addTty("platform/serial8250/tty", "ttyS3", true, "0");
    sys.addTty("platform/serial8250/serial8250:0/serial8250:0.1/tty", "ttyS1", true, "0");
    sys.addTty("platform/serial8250/serial8250:0/serial8250:0.2/tty", "ttyS2", true, "4");
    sys.addTty("platform/serial8250/tty", "ttyS5", true); // no type file: kept
    sys.addTty("pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0/tty", "ttyUSB0", true);
    sys.addTty("pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty", "ttyACM0", true);
    sys.addTty("virtual/tty", "tty1", false);
    sys.addTty("virtual/tty", "ttyV0", true); // a device link alone does not make it real
    sys.addTty("platform/other/tty", "ttyX0", false);

    const auto ports = ListSerialPorts(sys.classTty().string(), "/dev");

    ASSERT_TRUE(ports.has_value());
    EXPECT_EQ(*ports,
              (Names{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS5", "/dev/ttyUSB0"}));
}

// Before Linux 5.7 only root could read `type`: an ordinary user must still see
// the ports. Each fixture here fails to read even for root, except the
// root-only file, which stands for what an ordinary user meets.
TEST(ListSerialPorts, KeepsPortsWhoseTypeCannotBeRead) {
    FakeSysfs sys;
    const std::string tty = "platform/serial8250/tty";
    fs::create_directory(sys.addTty(tty, "ttyS0", true) / "type");
    fs::create_symlink("missing", sys.addTty(tty, "ttyS1", true) / "type");
    fs::permissions(sys.addTty(tty, "ttyS2", true, "4") / "type", fs::perms::owner_read);
    sys.addTty(tty, "ttyS3", true, "unknown");
    sys.addTty(tty, "ttyS4", true, "0");

    const auto ports = ListSerialPorts(sys.classTty().string(), "/dev");

    ASSERT_TRUE(ports.has_value());
    EXPECT_EQ(*ports, (Names{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));
}

TEST(ListSerialPorts, EmptyDirectoryIsAnEmptyList) {
    FakeSysfs sys;
    const auto ports = ListSerialPorts(sys.classTty().string(), "/dev");
    ASSERT_TRUE(ports.has_value());
    EXPECT_TRUE(ports->empty());
}

TEST(ListSerialPorts, UnreadableDirectoryIsNoList) {
    FakeSysfs sys;
    std::ofstream(sys.root() / "plain-file") << "not a directory";
    EXPECT_FALSE(ListSerialPorts((sys.root() / "missing").string()).has_value());
    EXPECT_FALSE(ListSerialPorts((sys.root() / "plain-file").string()).has_value());
}

} // namespace
} // namespace korvel::platform
