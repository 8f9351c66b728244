// Finding the logger: which ports are tried, all at once, and what each
// answer means for the exit code.
#include "cli/Discovery.h"

#include "CliFixture.h"
#include "protocol/Frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvel::cli {
namespace {

using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::Logger;
using ::testing::HasSubstr;

platform::PortInfo port(const std::string& path, bool usb) {
    platform::PortInfo info;
    info.path = path;
    info.usb = usb;
    return info;
}

TEST(CandidatePorts, UsbSerialPortsUnlessAllPortsAreAsked) {
    const std::vector<platform::PortInfo> ports = {
        port("/dev/ttyS0", false),   port("/dev/ttyUSB0", true),   port("/dev/ttyACM0", false),
        port("/dev/ttyAMA0", false), port("/dev/ttyXRUSB0", true),
    };
    EXPECT_EQ(CandidatePorts(ports, false),
              (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyXRUSB0"}));
    EXPECT_EQ(CandidatePorts(ports, true).size(), ports.size());
}

TEST(DistinctPorts, ALinkAndTheNodeItNamesAreOnePort) {
    const auto resolve = [](const std::string& path) -> std::string {
        return path == "/dev/serial/by-id/usb-FTDI-if00-port0" ? "/dev/ttyUSB0" : path;
    };
    EXPECT_EQ(DistinctPorts({"/dev/serial/by-id/usb-FTDI-if00-port0", "/dev/ttyUSB0",
                             "/dev/ttyUSB1", "/dev/ttyUSB1"},
                            resolve),
              (std::vector<std::string>{"/dev/serial/by-id/usb-FTDI-if00-port0", "/dev/ttyUSB1"}));
}

TEST(SilenceLimit, ReplyBegunJustInTimeStillCountsButNeverPastTheLimit) {
    const Timing timing = DefaultTiming();
    // 500 ms, then 210 bytes at 9600 baud (219 ms) and the 200 ms interval.
    EXPECT_EQ(SilenceLimit(timing), 919ms);
    Timing slow = timing;
    slow.silentAfter = 900ms;
    EXPECT_EQ(SilenceLimit(slow), slow.replyLimit);
}

TEST(FindLogger, NoPortsAtAll) {
    Cli cli;
    const auto run = cli.Run({"read"});
    EXPECT_EQ(run.code, exit_code::kNothingSaved);
    EXPECT_THAT(run.err, HasSubstr("no USB serial port found"));
    EXPECT_EQ(run.out, "");
}

TEST(FindLogger, APortThatAnswersWrongIsNoLogger) {
    const struct {
        sim::Mode mode;
        const char* message;
    } cases[] = {
        {sim::Mode::Silent, "(no answer)"},
        {sim::Mode::BadChecksum, "a reply with a bad checksum"},
        {sim::Mode::Garbage, "without the frame's header and trailer"},
        {sim::Mode::Short, "a reply of 100 bytes"},
        {sim::Mode::Split, "a reply of 105 bytes"},
    };
    for (const auto& c : cases) {
        const auto logger = Logger(c.mode);
        Cli cli;
        cli.systemPorts = {logger->PortPath()};
        const auto run = cli.Run({"read"});
        EXPECT_EQ(run.code, exit_code::kNothingSaved) << sim::ModeName(c.mode);
        EXPECT_THAT(run.err, HasSubstr(c.message)) << sim::ModeName(c.mode);
        EXPECT_THAT(run.err, HasSubstr("no logger answered")) << sim::ModeName(c.mode);
        EXPECT_EQ(run.out, "");
    }
}

TEST(FindLogger, EveryPortIsAskedOnceAndAtTheSameTime) {
    std::vector<std::unique_ptr<sim::LoggerSimulator>> ports;
    Cli cli;
    for (int i = 0; i < 7; ++i) {
        ports.push_back(Logger(i == 4 ? sim::Mode::Normal : sim::Mode::Silent));
        cli.systemPorts.push_back(ports.back()->PortPath());
    }
    const auto start = std::chrono::steady_clock::now();
    const auto run = cli.Run({"read", "--json"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_THAT(run.err, HasSubstr("logger \"T23110042\" on " + ports[4]->PortPath()));
    for (const auto& logger : ports) {
        EXPECT_EQ(logger->ReadCount(), 1u);
    }
    // One pause and one reply: the silent ports cost nothing beyond it.
    EXPECT_LT(took, DefaultTiming().openPause + SilenceLimit(DefaultTiming()) + 600ms);
}

// Silent ports of a search are given up once they have shown no first byte in
// time, not after the time a whole reply would take.
TEST(FindLogger, SilentPortsAreGivenUpAfterTheFirstByteLimit) {
    std::vector<std::unique_ptr<sim::LoggerSimulator>> ports;
    Cli cli;
    for (int i = 0; i < 3; ++i) {
        ports.push_back(Logger(sim::Mode::Silent));
        cli.systemPorts.push_back(ports.back()->PortPath());
    }
    const auto start = std::chrono::steady_clock::now();
    const auto run = cli.Run({"read"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.code, exit_code::kNothingSaved);
    EXPECT_THAT(run.err, HasSubstr("(no answer)"));
    const Timing timing = DefaultTiming();
    EXPECT_GE(took, timing.openPause + timing.firstByteAfter);
    EXPECT_LT(took, timing.openPause + SilenceLimit(timing) - 200ms);
}

// A reply that has begun in time gets the whole silence limit, however long its
// bytes take. One that begins later is silent in a search, whatever the other
// ports do, and read whole with --port.
TEST(FindLogger, AReplyBegunInTimeIsReadWholeAndALateOneOnlyWithPort) {
    Timing timing = DefaultTiming();
    timing.firstByteAfter = 250ms; // clear of a loaded machine's scheduling
    const struct {
        const char* name;
        std::chrono::milliseconds delay;
        bool pace;
        bool foundBySearch;
    } cases[] = {
        // The last byte comes some 340 ms after the first-byte limit.
        {"slow to send", 150ms, true, true},
        {"late to begin", 450ms, false, false},
    };
    for (const auto& c : cases) {
        sim::LoggerSimulator::Options options;
        options.replyDelay = c.delay;
        options.pace = c.pace;
        const auto logger = Logger(std::move(options));
        const auto silent = Logger(sim::Mode::Silent);
        Cli cli;
        cli.timing = timing;
        cli.systemPorts = {silent->PortPath(), logger->PortPath()};
        const auto searched = cli.Run({"read"});
        EXPECT_EQ(searched.code, c.foundBySearch ? exit_code::kDone : exit_code::kNothingSaved)
            << c.name << searched.err;
        const auto named = cli.Run({"read", "--port", logger->PortPath()});
        EXPECT_EQ(named.code, exit_code::kDone) << c.name << named.err;
    }

    // A late logger beside a prompt one: the prompt one alone is found, as it
    // would be without the late one, and not "two loggers".
    sim::LoggerSimulator::Options late;
    late.replyDelay = 350ms;
    const auto slow = Logger(std::move(late));
    sim::LoggerSimulator::Options paced;
    paced.pace = true;
    const auto prompt = Logger(std::move(paced));
    Cli cli;
    cli.timing = timing;
    cli.systemPorts = {slow->PortPath(), prompt->PortPath()};
    const auto run = cli.Run({"read"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_THAT(run.err, HasSubstr("on " + prompt->PortPath()));
}

TEST(FindLogger, TwoLoggersNeedAPort) {
    const auto first = Logger();
    const auto second = Logger();
    Cli cli;
    cli.systemPorts = {first->PortPath(), second->PortPath()};
    const auto run = cli.Run({"read"});
    EXPECT_EQ(run.code, exit_code::kSeveralLoggers);
    EXPECT_THAT(run.err, HasSubstr("2 loggers answered"));
    EXPECT_THAT(run.err, HasSubstr(first->PortPath()));
    EXPECT_THAT(run.err, HasSubstr("choose one with --port"));

    const auto chosen = cli.Run({"read", "--port", second->PortPath()});
    EXPECT_EQ(chosen.code, exit_code::kDone) << chosen.err;
}

TEST(FindLogger, PermissionDeniedNamesTheDialoutGroup) {
    Cli cli;
    cli.opener = [](const std::string&) {
        return platform::OpenResult{
            nullptr, platform::SerialError::AccessDenied, {13, "Permission denied"}};
    };
    const auto run = cli.Run({"read", "--port", "/dev/ttyUSB0"});
    EXPECT_EQ(run.code, exit_code::kNothingSaved);
    EXPECT_THAT(run.err, HasSubstr("permission denied on /dev/ttyUSB0 (Permission denied)"));
    EXPECT_THAT(run.err, HasSubstr("dialout"));
}

TEST(List, ProbeSaysWhereTheLoggerIsAndWhyOtherPortsAreNot) {
    const auto logger = Logger();
    const auto silent = Logger(sim::Mode::Silent);
    Cli cli;
    cli.systemPorts = {logger->PortPath(), silent->PortPath(), "/dev/korvel-no-such-port"};
    const auto run = cli.Run({"list", "--probe"});
    EXPECT_EQ(run.code, exit_code::kDone);
    EXPECT_THAT(run.out, HasSubstr("usb:          0403:6001"));
    EXPECT_THAT(run.out, HasSubstr("probe:        logger \"T23110042\""));
    EXPECT_THAT(run.out, HasSubstr("probe:        no answer"));
    EXPECT_THAT(run.out, HasSubstr("/dev/korvel-no-such-port is gone"));

    const auto json = cli.Run({"list", "--json", "--probe", "--port", logger->PortPath()});
    EXPECT_THAT(json.out,
                HasSubstr(R"("probe": {"result": "logger", "serial_number": "T23110042"})"));
}

} // namespace
} // namespace korvel::cli
