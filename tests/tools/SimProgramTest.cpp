// korvel-sim as a program: its command line, its port line and its stop.
#include "protocol/Frame.h"
#include "tools/sim/SimBlock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;

int ExitCode(const std::string& arguments) {
    const std::string command =
        std::string(KORVEL_SIM_PROGRAM) + " " + arguments + " >/dev/null 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SimProgram, CommandLineExitCodes) {
    const struct {
        const char* arguments;
        int code;
    } cases[] = {
        {"--help", 0},
        {"--version", 0},
        {"--bogus", 2},
        {"--mode loud", 2},
        {"--mode", 2},
        {"--delay soon", 2},
        {"--block /nonexistent/block.hex", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExitCode(c.arguments), c.code) << c.arguments;
    }
}

// The program started with a pipe on its standard output.
class Running {
public:
    explicit Running(std::vector<std::string> arguments) {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv = {const_cast<char*>(KORVEL_SIM_PROGRAM)};
            for (auto& a : arguments) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        output_ = out[0];
    }
    ~Running() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(output_);
    }

    // The first line of standard output, within `timeout`.
    std::string firstLine(std::chrono::milliseconds timeout) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        char c = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd in{output_, POLLIN, 0};
            if (::poll(&in, 1, 100) > 0) {
                if (::read(output_, &c, 1) != 1 || c == '\n') {
                    break;
                }
                line += c;
            }
        }
        return line;
    }

    // Sends `signal` and returns the exit code, or -1 when it does not end in time.
    int stop(int signal, std::chrono::milliseconds timeout) {
        ::kill(pid_, signal);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

TEST(SimProgram, PrintsItsPortWritesSavesAndStopsOnSignal) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("korvel-sim-program-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto saveTo = dir / "saved.hex";

    Running sim({"--save-to", saveTo.string()});
    const std::string port = sim.firstLine(10s);
    ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;

    Block save = DefaultBlock();
    save[offset::kCommand] = command::kSave;
    save[offset::kTripInfo] = 'Q';
    save[offset::kChecksum] = FrameChecksum(save.data(), offset::kChecksum - 1);
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, save.data(), save.size()), static_cast<ssize_t>(save.size()));

    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!std::filesystem::exists(saveTo) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ::close(fd);
    const LoadedBlock written = LoadBlockFile(saveTo.string());
    ASSERT_TRUE(written.block) << written.error;
    EXPECT_EQ(*written.block, save);

    EXPECT_EQ(sim.stop(SIGTERM, 5s), 0);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace korvel::sim
