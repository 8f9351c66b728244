// provision --watch: loggers plugged in by linking a watched path to a
// simulated logger's pseudo-terminal; once per plug-in; Ctrl-C once lets the
// saves in flight finish, twice aborts them and says so.
#include "CliFixture.h"
#include "tests/support/FakeHistory.h"

#include "cli/Commands.h"
#include "cli/Provision.h"
#include "protocol/Frame.h"
#include "protocol/SettingsCodec.h"
#include "tools/sim/SimBlock.h"
#include "tools/sim/SimulatedDevice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvel::cli {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::FakeHistory;
using korvel::testing::Logger;
using ::testing::HasSubstr;

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvel-watch-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Polls `done` until it holds or `limit` passes; returns done().
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

sim::LoggerSimulator::Options loggerOptions(const std::string& serial) {
    sim::Block block = sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    sim::LoggerSimulator::Options options;
    options.block = sim::ReadReplyFrom(block);
    return options;
}

// korvel-cli as a child process, standard output and error into one file.
class Program {
public:
    Program(const std::vector<std::string>& arguments, const std::string& output) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(KORVEL_CLI_PROGRAM)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(KORVEL_CLI_PROGRAM, argv.data());
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    void Signal(int signal) const { ::kill(pid_, signal); }
    // The exit code, or -1 when it has not ended within `limit` (then killed).
    int Wait(std::chrono::milliseconds limit = 15s) {
        int status = 0;
        bool ended = false;
        eventually([&] { return ended = ended || ::waitpid(pid_, &status, WNOHANG) == pid_; },
                   limit);
        if (!ended) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

std::size_t lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

constexpr const char* kFile = R"({"korvel": 1, "time_zone": "UTC+02:00"})";

TEST(Watch, EachPlugInIsProvisionedOnceAndCtrlCEndsWithASummary) {
    const TempDir dir;
    auto first = Logger(loggerOptions("WATCH0001"));
    auto second = Logger(loggerOptions("WATCH0002"));
    const std::string a = dir.Path("a");
    const std::string b = dir.Path("b");
    const std::string report = dir.Path("run.csv");
    const std::string output = dir.Path("output.txt");
    Program program({"provision", dir.Write("bench.json", kFile), "--watch", "--port", a, "--port",
                     b, "--report", report, "--allow-unsynced-clock"},
                    output);
    const auto rows = [&] { return lines(readFile(report)) - 1; }; // without the header

    std::filesystem::create_symlink(first->PortPath(), a);
    ASSERT_TRUE(first->WaitForSaves(1, 10s)) << readFile(output);
    std::filesystem::create_symlink(second->PortPath(), b);
    ASSERT_TRUE(second->WaitForSaves(1, 10s)) << readFile(output);
    ASSERT_TRUE(eventually([&] { return rows() == 2; })) << readFile(output);

    // Unplugged and plugged in again: provisioned again.
    std::filesystem::remove(a);
    ASSERT_TRUE(eventually([&] {
        return readFile(output).find(a + " unplugged") != std::string::npos;
    })) << readFile(output);
    std::filesystem::create_symlink(first->PortPath(), a);
    ASSERT_TRUE(first->WaitForSaves(2, 10s)) << readFile(output);
    ASSERT_TRUE(eventually([&] { return rows() == 3; })) << readFile(output);

    program.Signal(SIGINT);
    EXPECT_EQ(program.Wait(), exit_code::kDone) << readFile(output);
    // The logger left in place was written once.
    EXPECT_EQ(second->SaveCount(), 1u);
    EXPECT_EQ(first->SaveCount(), 2u);
    EXPECT_THAT(readFile(output), HasSubstr(": 3 found, 3 confirmed, 0 not confirmed"));
    EXPECT_EQ(rows(), 3u);
}

// Ctrl-C once while a save is in flight: the save finishes and is confirmed.
// Twice: the save is cut short and the report says its state is unknown.
TEST(Watch, CtrlCOnceLetsTheSaveFinishTwiceAbortsIt) {
    for (const int signals : {1, 2}) {
        const TempDir dir;
        std::atomic<sim::LoggerSimulator*> simulated = nullptr;
        auto options = loggerOptions("WATCH0003");
        // The acknowledgement comes late: within the program's limit, but
        // long enough for the signals to arrive while it waits.
        options.onSave = [&](const sim::Block&) { simulated.load()->SetReplyDelay(700ms); };
        auto logger = Logger(std::move(options));
        simulated = logger.get();
        const std::string port = dir.Path("a");
        const std::string report = dir.Path("run.jsonl");
        const std::string output = dir.Path("output.txt");
        std::filesystem::create_symlink(logger->PortPath(), port);
        Program program({"provision", dir.Write("bench.json", kFile), "--watch", "--port", port,
                         "--report", report, "--allow-unsynced-clock"},
                        output);
        ASSERT_TRUE(logger->WaitForSaves(1, 10s)) << readFile(output);
        for (int i = 0; i < signals; ++i) {
            program.Signal(i == 0 ? SIGINT : SIGTERM);
            std::this_thread::sleep_for(100ms); // two presses, not one
        }
        const int code = program.Wait();
        const std::string rows = readFile(report);
        EXPECT_EQ(lines(rows), 1u) << signals;
        if (signals == 1) {
            EXPECT_EQ(code, exit_code::kDone) << readFile(output);
            EXPECT_THAT(rows, HasSubstr("\"result\": \"confirmed\""));
        } else {
            EXPECT_EQ(code, exit_code::kNotConfirmed) << readFile(output);
            EXPECT_THAT(rows, HasSubstr("\"result\": \"interrupted, state unknown\""));
            EXPECT_THAT(readFile(output), HasSubstr("interrupted, state unknown"));
        }
    }
}

// Each logger takes the computer's clock when it is saved: one plugged in an
// hour after the first gets a clock an hour later.
TEST(Watch, ALoggerPluggedInLaterGetsTheClockOfItsOwnSave) {
    const TempDir dir;
    auto first = Logger(loggerOptions("WATCH0006"));
    auto second = Logger(loggerOptions("WATCH0007"));
    const std::string a = dir.Path("a");
    const std::string b = dir.Path("b");
    Cli cli;
    std::atomic<int> stops = 0;
    cli.stopRequests = &stops;
    auto running = std::async(std::launch::async, [&] {
        return cli.Run(
            {"provision", dir.Write("bench.json", kFile), "--watch", "--port", a, "--port", b});
    });
    std::filesystem::create_symlink(first->PortPath(), a);
    ASSERT_TRUE(first->WaitForSaves(1, 10s));
    cli.Advance(1h);
    std::filesystem::create_symlink(second->PortPath(), b);
    ASSERT_TRUE(second->WaitForSaves(1, 10s));
    stops = 1;
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    const auto run = running.get();
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    // 12:00:07 and 13:00:07 UTC in UTC+02:00.
    const auto clockOf = [](const sim::LoggerSimulator& logger) {
        const Block block = logger.CurrentBlock();
        return std::vector<int>{block[offset::kSystemHour], block[offset::kSystemMinute],
                                block[offset::kSystemSecond]};
    };
    EXPECT_EQ(clockOf(*first), (std::vector<int>{14, 0, 7}));
    EXPECT_EQ(clockOf(*second), (std::vector<int>{15, 0, 7}));
}

// The watch, too, takes a manifest row only for the whole serial number.
TEST(Watch, AManifestRowIsMatchedByTheWholeSerialNumber) {
    const TempDir dir;
    auto logger = Logger(loggerOptions("T2311"));
    const std::string port = dir.Path("a");
    std::filesystem::create_symlink(logger->PortPath(), port);
    const std::string manifest = dir.Write("trips.csv", "serial_number,trip_information\n"
                                                        "T23110042,Pallet 9\n"
                                                        "T2311,Pallet 1\n");
    Cli cli;
    std::atomic<int> stops = 0;
    cli.stopRequests = &stops;
    auto running = std::async(std::launch::async, [&] {
        return cli.Run({"provision", dir.Write("bench.json", kFile), "--watch", "--port", port,
                        "--manifest", manifest});
    });
    const bool saved = logger->WaitForSaves(1, 10s);
    stops = 1;
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    const auto run = running.get();
    ASSERT_TRUE(saved) << run.out << run.err;
    EXPECT_EQ(DecodeSettings(logger->CurrentBlock()).tripInformation, "Pallet 1");
}

// In the program's own process, with a history: a logger saved less than a
// day ago is warned of, and an aborted save is recorded as unknown.
TEST(Watch, TheHistoryWarnsOfARecentSaveAndRecordsAnAbortedOne) {
    const TempDir dir;
    std::atomic<sim::LoggerSimulator*> simulated = nullptr;
    auto options = loggerOptions("WATCH0004");
    options.onSave = [&](const sim::Block&) { simulated.load()->SetReplyDelay(5s); };
    auto logger = Logger(std::move(options));
    simulated = logger.get();
    const std::string port = dir.Path("a");
    std::filesystem::create_symlink(logger->PortPath(), port);

    Cli cli;
    FakeHistory history;
    history.lastConfirmed["WATCH0004"] = cli.now - std::chrono::hours(3);
    cli.history = &history;
    std::atomic<int> stops = 0;
    cli.stopRequests = &stops;
    auto running = std::async(std::launch::async, [&] {
        return cli.Run({"provision", dir.Write("bench.json", kFile), "--watch", "--port", port});
    });
    ASSERT_TRUE(logger->WaitForSaves(1, 10s));
    stops = 2;
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    const auto run = running.get();
    EXPECT_EQ(run.code, exit_code::kNotConfirmed) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr("logger WATCH0004 was provisioned 2025-06-01T09:00:07"));
    EXPECT_THAT(run.err, HasSubstr("less than 24 hours ago"));
    EXPECT_EQ(history.ResultOf("WATCH0004"), "interrupted, state unknown");
}

// A new port that another program holds for a while (ModemManager probing
// it) is tried again until it is free, then provisioned.
TEST(Watch, ABusyNewPortIsTriedAgain) {
    const TempDir dir;
    auto logger = Logger(loggerOptions("WATCH0005"));
    const std::string port = dir.Path("a");
    std::filesystem::create_symlink(logger->PortPath(), port);
    Cli cli;
    std::atomic<int> opens = 0;
    cli.opener = [&opens](const std::string& name) {
        if (++opens <= 3) {
            return platform::OpenResult{nullptr, platform::SerialError::Busy, {16, "busy"}};
        }
        return platform::OpenSerialDevice(name);
    };
    std::atomic<int> stops = 0;
    cli.stopRequests = &stops;
    auto running = std::async(std::launch::async, [&] {
        return cli.Run({"provision", dir.Write("bench.json", kFile), "--watch", "--port", port});
    });
    ASSERT_TRUE(logger->WaitForSaves(1, 10s));
    stops = 1;
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    const auto run = running.get();
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    EXPECT_GE(opens.load(), 4);
}

// Windows' names: a port is there when the port list lists it. COM12 is no
// file (looked for as one, it would be a file of the current folder).
TEST(Watch, AListedPortFromCom10OnIsProvisioned) {
    const TempDir dir;
    auto logger = std::make_shared<sim::SimulatedLogger>(loggerOptions("WATCH0012"));
    Cli cli;
    cli.systemPorts = {"COM3", "COM12"};
    cli.opener = [logger](const std::string& name) {
        if (name != "COM12") {
            return platform::OpenResult{nullptr, platform::SerialError::NotFound, {2, "no port"}};
        }
        return platform::OpenResult{
            std::make_unique<sim::SimulatedDevice>(logger), platform::SerialError::None, {}};
    };
    std::atomic<int> stops = 0;
    cli.stopRequests = &stops;
    auto running = std::async(std::launch::async, [&] {
        return cli.Run({"provision", dir.Write("bench.json", kFile), "--watch"});
    });
    EXPECT_TRUE(logger->WaitForSaves(1, 10s)) << "COM12 was never seen";
    stops = 1;
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    const auto run = running.get();
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
}

TEST(Watch, PresenceIsTheListingOrAnExistingPath) {
    const std::set<std::string> listed{"COM12", "/dev/ttyUSB0"};
    const auto exists = [](const std::string& path) { return path == "/tmp/link"; };
    EXPECT_TRUE(PortPresent("COM12", listed, exists));
    EXPECT_TRUE(PortPresent("/dev/ttyUSB0", listed, exists));
    EXPECT_TRUE(PortPresent("/tmp/link", listed, exists));
    EXPECT_FALSE(PortPresent("COM13", listed, [](const std::string&) { return true; }));
    EXPECT_FALSE(PortPresent("/dev/ttyUSB1", listed, exists));
}

} // namespace
} // namespace korvel::cli
