#pragma once
// Runs korvel-cli's command line in this process, against simulated loggers on
// pseudo-terminals that the test presents as the computer's USB serial ports.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/HistoryCommands.h"
#include "tools/sim/LoggerSimulator.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace korvel::testing {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

class Cli {
public:
    // What `list` and a search without --port see: every one a USB serial port.
    std::vector<std::string> systemPorts;
    // The computer's clock starts at 2025-06-01T12:00:07.250 UTC and moves a
    // millisecond on at each reading, so that a clock floored to the minute, or
    // one reading kept for many, shows. Advance() moves it further.
    std::chrono::system_clock::time_point now =
        std::chrono::sys_days{std::chrono::year(2025) / 6 / 1} + std::chrono::hours(12) +
        std::chrono::milliseconds(7250);
    std::string input; // standard input
    serial::TComm::DeviceOpener opener = platform::OpenSerialDevice;
    cli::Timing timing = cli::DefaultTiming();
    platform::ClockSync clockSync = platform::ClockSync::Synchronised;
    // Where saves are recorded, as the program's main would hand it over.
    history::SaveHistory* history = nullptr;
    // Opens the history the command line names (give --history PATH), as the
    // program does; otherwise none is kept but `history`.
    bool openHistory = false;
    // Ctrl-C as the program counts it; null for none.
    const std::atomic<int>* stopRequests = nullptr;
    bool requireHistory = false; // as --require-history would
    // Creates a report's or a trace's file; empty for the system's.
    cli::FileCreator createFile;

    // Moves the computer's clock on, also while a command runs.
    void Advance(std::chrono::system_clock::duration by) { *elapsed_ += by.count(); }

    CliRun Run(const std::vector<std::string>& arguments) const {
        CliRun run;
        const cli::ParsedCommandLine line = cli::ParseCommandLine(arguments);
        if (!line.options) {
            run.code = line.exitCode;
            run.out = line.out;
            run.err = line.err;
            return run;
        }
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in(input);
        cli::Environment env = cli::SystemEnvironment(out, err, in, arguments);
        env.listPorts = [this] { return systemPorts; };
        env.describePorts = [](const std::vector<std::string>& ports) {
            std::vector<platform::PortInfo> infos;
            for (const std::string& port : ports) {
                platform::PortInfo info;
                info.path = port;
                info.driver = "ftdi_sio";
                info.usb = true;
                info.usbId = "0403:6001";
                info.manufacturer = "FTDI";
                info.product = "FT232R";
                infos.push_back(std::move(info));
            }
            return infos;
        };
        env.now = [this] {
            const auto ticks = elapsed_->fetch_add(kTick.count());
            return now + std::chrono::system_clock::duration(ticks);
        };
        env.opener = opener;
        env.timing = timing;
        env.clockSync = [this] { return clockSync; };
        env.loginName = "tester";
        env.hostName = "bench-1";
        env.terminal = false;
        env.history = history;
        env.catchStopRequests = [] {};
        env.stopRequests = [this] { return stopRequests ? stopRequests->load() : 0; };
        if (createFile) {
            env.createFile = createFile;
        }
        cli::Options options = *line.options;
        options.requireHistory = options.requireHistory || requireHistory;
        run.code = openHistory ? cli::RunWithHistory(options, env) : cli::Run(options, env);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

private:
    static constexpr std::chrono::system_clock::duration kTick = std::chrono::milliseconds(1);
    // Since `now`; shared by the copies of a Cli and read from the workers' threads.
    std::shared_ptr<std::atomic<std::chrono::system_clock::rep>> elapsed_ =
        std::make_shared<std::atomic<std::chrono::system_clock::rep>>(0);
};

inline std::unique_ptr<sim::LoggerSimulator> Logger(sim::LoggerSimulator::Options options = {}) {
    return std::make_unique<sim::LoggerSimulator>(std::move(options));
}

inline std::unique_ptr<sim::LoggerSimulator> Logger(sim::Mode mode) {
    sim::LoggerSimulator::Options options;
    options.mode = mode;
    return Logger(std::move(options));
}

// A program run through the shell: its exit code and its two streams.
struct ProgramRun {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs `command` with standard error in `errFile` and no standard input.
inline ProgramRun RunShellCommand(const std::string& command, const std::string& errFile) {
    ProgramRun run;
    FILE* pipe = ::popen((command + " 2>" + errFile + " </dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer{};
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        run.out.append(buffer.data(), got);
    }
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

} // namespace korvel::testing
