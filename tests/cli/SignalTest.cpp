// korvel-cli as a process, told to stop by real signals and by a closed pipe
// while a save is in flight, against korvel-sim: the save is finished and
// recorded, and the exit code says what happened.
#include "cli/Environment.h"
#include "tests/support/ScratchFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace korvel::cli {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

using TempDir = korvel::testing::ScratchFolder;

using korvel::testing::ReadText;

// A program with its standard output on a pipe the test holds, standard
// error in a file, and no input.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const std::string& errPath) {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseOutput();
    }

    // The first line of standard output, waited for at most `limit`.
    std::string FirstLine(std::chrono::milliseconds limit) const {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd ready{out_, POLLIN, 0};
            if (::poll(&ready, 1, 50) == 1) {
                char c = 0;
                if (::read(out_, &c, 1) != 1) {
                    break;
                }
                line += c;
            }
        }
        return line.substr(0, line.find('\n'));
    }

    void CloseOutput() {
        if (out_ >= 0) {
            ::close(out_);
            out_ = -1;
        }
    }

    void Signal(int signal) const { ::kill(pid_, signal); }

    // The wait status, or -1 when the program has not ended within `limit`.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

bool waitForFile(const std::string& path, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A simulated logger answering each frame after `delay`, which writes its
// block to `savedTo` the moment a save frame arrives.
struct SimulatedLogger {
    SimulatedLogger(const TempDir& dir, const std::string& savedTo)
        : process({KORVEL_SIM_PROGRAM, "--delay", "700", "--save-to", savedTo},
                  dir.Path("sim.err")),
          port(process.FirstLine(10s)) {}
    Child process;
    std::string port;
};

std::string historyList(const std::string& history) {
    const TempDir dir;
    Child list({KORVEL_CLI_PROGRAM, "--history", history, "history", "list"}, dir.Path("err"));
    std::string text;
    for (std::string line; !(line = list.FirstLine(5s)).empty();) {
        text += line + '\n';
    }
    list.Wait(5s);
    return text;
}

constexpr const char* kFile = R"({"korvel": 1, "time_zone": "UTC+02:00"})";

// SIGINT during a write whose frame has gone out: once, the acknowledgement
// and read-back finish and the save is confirmed; twice, the wait is cut
// short and told as a state unknown (exit 3). Either way the record has its
// outcome.
TEST(Signals, CtrlCDuringAWriteAfterTheFrameWentOut) {
    for (const int requests : {1, 2}) {
        const TempDir dir;
        const std::string saved = dir.Path("saved.hex");
        SimulatedLogger logger(dir, saved);
        ASSERT_FALSE(logger.port.empty());
        std::ofstream(dir.Path("settings.json")) << kFile;
        const std::string history = dir.Path("history.sqlite3");
        Child write({KORVEL_CLI_PROGRAM, "write", dir.Path("settings.json"), "--port", logger.port,
                     "--history", history},
                    dir.Path("write.err"));
        ASSERT_TRUE(waitForFile(saved, 10s)) << ReadText(dir.Path("write.err"));
        for (int i = 0; i < requests; ++i) {
            std::this_thread::sleep_for(100ms);
            write.Signal(SIGINT);
        }
        const int status = write.Wait(15s);
        const std::string err = ReadText(dir.Path("write.err"));
        ASSERT_TRUE(WIFEXITED(status)) << requests << " status " << status << ": " << err;
        const std::string list = historyList(history);
        EXPECT_THAT(list, Not(HasSubstr("no outcome recorded"))) << requests;
        if (requests == 1) {
            EXPECT_EQ(WEXITSTATUS(status), exit_code::kDone) << err;
            EXPECT_THAT(list, HasSubstr("confirmed"));
        } else {
            EXPECT_EQ(WEXITSTATUS(status), exit_code::kNotConfirmed) << err;
            EXPECT_THAT(err, HasSubstr("interrupted, state unknown: run korvel-cli read"));
            EXPECT_THAT(list, HasSubstr("interrupted, state unknown"));
        }
    }
}

// Provisioning whose standard output is closed (`| head`), or whose terminal
// hangs up, while a save is in flight: the save finishes with its report row
// and its outcome, and the run exits 1 rather than dying of the signal.
TEST(Signals, AClosedPipeOrAHangUpDuringProvisioningFinishesTheSaveInFlight) {
    for (const bool hangUp : {false, true}) {
        const TempDir dir;
        const std::string saved = dir.Path("saved.hex");
        SimulatedLogger logger(dir, saved);
        ASSERT_FALSE(logger.port.empty());
        std::ofstream(dir.Path("bench.json")) << kFile;
        const std::string history = dir.Path("history.sqlite3");
        const std::string report = dir.Path("report.csv");
        Child provision({KORVEL_CLI_PROGRAM, "provision", dir.Path("bench.json"), "--port",
                         logger.port, "--history", history, "--report", report,
                         "--allow-unsynced-clock"},
                        dir.Path("provision.err"));
        ASSERT_TRUE(waitForFile(saved, 10s)) << ReadText(dir.Path("provision.err"));
        if (hangUp) {
            provision.Signal(SIGHUP);
        } else {
            provision.CloseOutput();
        }
        const int status = provision.Wait(15s);
        const std::string err = ReadText(dir.Path("provision.err"));
        ASSERT_TRUE(WIFEXITED(status)) << hangUp << " status " << status << ": " << err;
        EXPECT_EQ(WEXITSTATUS(status), exit_code::kNothingSaved) << hangUp << err;
        EXPECT_THAT(err, HasSubstr(hangUp ? "the terminal was closed" : "standard output failed"));
        EXPECT_THAT(ReadText(report), HasSubstr(",confirmed,")) << hangUp;
        const std::string list = historyList(history);
        EXPECT_THAT(list, HasSubstr("confirmed")) << hangUp;
        EXPECT_THAT(list, Not(HasSubstr("no outcome recorded"))) << hangUp;
    }
}

} // namespace
} // namespace korvel::cli
