#include "platform/SerialDevice.h"
#include "platform/SerialTermios_linux.h"

#include <termios.h>

#include <array>
#include <cerrno>

#include <gtest/gtest.h>

#include "tests/support/SerialPty.h"

namespace korvel::platform {
namespace {

using korvel::testing::PtyPair;

TEST(SerialDeviceOpenTest, PathsAndBareNames) {
    EXPECT_EQ(SerialDevicePath("/dev/pts/5"), "/dev/pts/5");
    EXPECT_EQ(SerialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(OpenSerialDevice("/dev/korvel-no-such-port").error, SerialError::NotFound);
    EXPECT_EQ(OpenSerialDevice("korvel-no-such-port").error, SerialError::NotFound);
    EXPECT_EQ(OpenSerialDevice("").error, SerialError::NotFound);
    // A bare name never leaves /dev.
    const OpenResult climbing = OpenSerialDevice("../dev/null");
    EXPECT_EQ(climbing.device, nullptr);
    EXPECT_EQ(climbing.error, SerialError::NotFound);
}

TEST(SerialDeviceOpenTest, IsExclusiveUntilClosed) {
    PtyPair pty;
    OpenResult first = OpenSerialDevice(pty.slavePath());
    ASSERT_NE(first.device, nullptr);
    EXPECT_GT(first.device->NativeHandle(), 2);
    EXPECT_TRUE(first.device->SetupQueues(4096, 4096));

    const OpenResult second = OpenSerialDevice(pty.slavePath());
    EXPECT_EQ(second.device, nullptr);
    EXPECT_EQ(second.error, SerialError::Busy);

    first.device.reset();
    EXPECT_NE(OpenSerialDevice(pty.slavePath()).device, nullptr);
}

TEST(SerialDeviceOpenTest, SomethingThatIsNoTerminalFailsTheQueueSetup) {
    OpenResult opened = OpenSerialDevice("/dev/null");
    ASSERT_NE(opened.device, nullptr);
    EXPECT_FALSE(opened.device->SetupQueues(4096, 4096));
}

// A refused setting says why, so that the open can fail with the system's words.
TEST(SerialDeviceLineTest, RefusedSettingsReportTheSystemError) {
    PtyPair pty;
    OpenResult terminal = OpenSerialDevice(pty.slavePath());
    ASSERT_NE(terminal.device, nullptr);
    pty.CloseMaster(); // the other end gone: the terminal is hung up
    OpenResult null = OpenSerialDevice("/dev/null");
    ASSERT_NE(null.device, nullptr);
    const struct {
        const char* name;
        SerialDevice& device;
        SerialError error;
        int code;
    } cases[] = {{"HungUp", *terminal.device, SerialError::DeviceGone, EIO},
                 {"NoTerminal", *null.device, SerialError::NotATerminal, ENOTTY}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsResult applied = c.device.ApplyLineSettings({});
        EXPECT_FALSE(applied.ok);
        EXPECT_EQ(applied.error, c.error);
        EXPECT_EQ(applied.system.code, c.code);
        EXPECT_FALSE(applied.system.text.empty());
    }
}

constexpr std::uint32_t kDtrRtsOn = line_flag::kBinary | (1u << line_flag::kDtrControlShift) |
                                    line_flag::kTxContinueOnXoff |
                                    (1u << line_flag::kRtsControlShift);
constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputFlow = IXON | IXOFF | INPCK;

LineSettings Framing(std::uint32_t flags, std::uint8_t byteSize, std::uint8_t parity,
                     std::uint8_t stopBits) {
    LineSettings settings;
    settings.flags = flags;
    settings.byteSize = byteSize;
    settings.parity = parity;
    settings.stopBits = stopBits;
    return settings;
}

struct FramingCase {
    const char* name;
    LineSettings settings;
    tcflag_t cflag; // within kFraming
    tcflag_t iflag; // within kInputFlow
};

void PrintTo(const FramingCase& c, std::ostream* os) {
    *os << c.name;
}

class TermiosFramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(TermiosFramingTest, MapsTheControlBlockAndStaysRaw) {
    const FramingCase& c = GetParam();
    termios tio{};
    // Start from a cooked terminal with every translation on.
    tio.c_iflag = ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | BRKINT | IXON | IXOFF | IXANY | INPCK;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    tio.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS;
    FillTermios(tio, c.settings);
    EXPECT_EQ(tio.c_cflag & kFraming, c.cflag);
    EXPECT_EQ(tio.c_iflag & kInputFlow, c.iflag);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | BRKINT | IXANY), 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TermiosFramingTest,
    ::testing::Values(
        FramingCase{"Logger8N1", Framing(kDtrRtsOn, 8, 0, 0), CS8, 0},
        FramingCase{"SevenEvenTwo", Framing(kDtrRtsOn, 7, 2, 2), CS7 | PARENB | CSTOPB, 0},
        FramingCase{"OddWithCheck", Framing(kDtrRtsOn | line_flag::kParity, 8, 1, 0),
                    CS8 | PARENB | PARODD, INPCK},
        FramingCase{"MarkFiveBitsOneAndAHalf", Framing(kDtrRtsOn, 5, 3, 1),
                    CS5 | PARENB | PARODD | CMSPAR | CSTOPB, 0},
        FramingCase{"SpaceSixBits", Framing(kDtrRtsOn, 6, 4, 0), CS6 | PARENB | CMSPAR, 0},
        FramingCase{"XonXoffBothWays",
                    Framing(kDtrRtsOn | line_flag::kOutX | line_flag::kInX, 8, 0, 0), CS8,
                    IXON | IXOFF},
        FramingCase{"CtsFlow", Framing(kDtrRtsOn | line_flag::kOutxCtsFlow, 8, 0, 0), CS8 | CRTSCTS,
                    0},
        FramingCase{"RtsHandshake",
                    Framing(line_flag::kBinary | (2u << line_flag::kRtsControlShift), 8, 0, 0),
                    CS8 | CRTSCTS, 0}),
    [](const auto& row) { return std::string(row.param.name); });

struct SpeedCase {
    const char* name;
    std::uint32_t baudRate;
    speed_t speed;
};

void PrintTo(const SpeedCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialDeviceSpeedTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(SerialDeviceSpeedTest, ReachesTheTerminalRawAndEightBitsClean) {
    const SpeedCase& c = GetParam();
    PtyPair pty;
    OpenResult opened = OpenSerialDevice(pty.slavePath());
    ASSERT_NE(opened.device, nullptr);
    LineSettings settings = Framing(kDtrRtsOn, 8, 0, 0);
    settings.baudRate = c.baudRate;
    ASSERT_TRUE(opened.device->ApplyLineSettings(settings).ok);

    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), c.speed);
    EXPECT_EQ(::cfgetispeed(&tio), c.speed);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialDeviceSpeedTest,
                         ::testing::Values(SpeedCase{"Logger", 9600, B9600},
                                           SpeedCase{"Fast", 115200, B115200},
                                           // Set through termios2; reads back as "other" (BOTHER).
                                           SpeedCase{"NonStandard", 250000, CBAUDEX}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SerialDeviceLineTest, FlowControlCharactersReachTheTerminal) {
    PtyPair pty;
    OpenResult opened = OpenSerialDevice(pty.slavePath());
    ASSERT_NE(opened.device, nullptr);
    LineSettings settings;
    settings.flags |= line_flag::kOutX;
    settings.xonChar = 0x21;
    settings.xoffChar = 0x22;
    ASSERT_TRUE(opened.device->ApplyLineSettings(settings).ok);
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &tio), 0);
    EXPECT_EQ(tio.c_cc[VSTART], 0x21);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x22);
}

TEST(SerialDeviceWaitTest, StopAndVanishedDeviceEndTheWait) {
    PtyPair pty;
    OpenResult opened = OpenSerialDevice(pty.slavePath());
    ASSERT_NE(opened.device, nullptr);
    SerialDevice& device = *opened.device;
    ASSERT_TRUE(device.ApplyLineSettings({}).ok);
    ASSERT_TRUE(device.ApplyTimeouts({200, 0, 0, 0, 0}));
    ASSERT_TRUE(device.SetEventMask(kEventCarrierDetect | kEventError | kEventRing));
    std::array<std::uint8_t, 2048> buffer{};
    SerialEvent stop;

    stop.Set();
    ReadRequest read(buffer);
    EXPECT_EQ(device.WaitForInput(read, stop).kind, InputResult::Kind::Stopped);
    stop.Reset();

    pty.Write({1, 2, 3});
    read.Restart();
    ASSERT_TRUE(device.ReportsFirstBytes());
    ASSERT_EQ(device.WaitForInput(read, stop).kind, InputResult::Kind::FirstBytes);
    EXPECT_GE(read.count, 1u);
    ASSERT_EQ(device.WaitForInput(read, stop).kind, InputResult::Kind::ReadDone);
    EXPECT_EQ(read.count, 3u);

    pty.CloseMaster();
    read.Restart();
    const InputResult gone = device.WaitForInput(read, stop);
    EXPECT_EQ(gone.kind, InputResult::Kind::Failed);
    EXPECT_EQ(gone.error, SerialError::DeviceGone);
}

} // namespace
} // namespace korvel::platform
