// Provisioning many loggers at once: korvel-cli provision as a child process
// with 1, 8 and 32 simulated loggers on pseudo-terminals, each pacing its
// bytes at 9600 baud, all given one settings file. Prints the wall time of
// each beside the single logger's (goal: 32 in at most 1.2 times the time of
// one) and korvel-cli's CPU time per logger (user + system, from wait4).
#include "protocol/Frame.h"
#include "tools/sim/LoggerSimulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using korvel::sim::LoggerSimulator;

constexpr int kRounds = 5;

struct Timed {
    double wallMs = -1;
    double cpuMs = 0;
};

double msOf(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
}

// One provisioning run of every logger; a negative wall time on failure.
// Every save is recorded, as in use, but in the benchmark's own history.
Timed provision(const std::vector<std::unique_ptr<LoggerSimulator>>& loggers,
                const std::string& file, const std::string& history) {
    std::vector<std::string> arguments = {KORVEL_CLI_PROGRAM,       "provision", file,   "--quiet",
                                          "--allow-unsynced-clock", "--history", history};
    for (const auto& logger : loggers) {
        arguments.push_back("--port");
        arguments.push_back(logger->PortPath());
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Timed timed;
    pid_t child = 0;
    const auto start = Clock::now();
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return timed;
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "provision of %zu loggers failed (status %d)\n", loggers.size(),
                     status);
        return timed;
    }
    timed.wallMs = wall;
    timed.cpuMs = msOf(usage.ru_utime) + msOf(usage.ru_stime);
    return timed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    char pattern[] = "/tmp/korvel-provision-bench-XXXXXX.json";
    const int fd = ::mkstemps(pattern, 5);
    const std::string settings =
        R"({"korvel": 1, "time_zone": "UTC+02:00", "stop_mode": "software"})";
    if (fd < 0 || ::write(fd, settings.data(), settings.size()) < 0) {
        std::perror("settings file");
        return 1;
    }
    ::close(fd);
    const std::string file = pattern;
    char folder[] = "/tmp/korvel-provision-history-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("history folder");
        return 1;
    }
    const std::string history = std::string(folder) + "/history.sqlite3";

    double single = 0;
    int failures = 0;
    std::printf("%8s %12s %14s %16s %12s\n", "loggers", "wall ms", "range", "x single",
                "CPU/logger");
    for (const std::size_t count : {1u, 8u, 32u}) {
        std::vector<std::unique_ptr<LoggerSimulator>> loggers;
        for (std::size_t i = 0; i < count; ++i) {
            LoggerSimulator::Options options;
            options.pace = true;
            char serial[16];
            std::snprintf(serial, sizeof serial, "B%08zu", i);
            std::copy_n(serial, 9, options.block.begin() + korvel::protocol::offset::kSerialNumber);
            options.block = korvel::sim::ReadReplyFrom(options.block);
            loggers.push_back(std::make_unique<LoggerSimulator>(std::move(options)));
        }
        provision(loggers, file, history); // unmeasured: warms the caches
        std::vector<double> walls;
        std::vector<double> cpus;
        for (int round = 0; round < kRounds; ++round) {
            const Timed timed = provision(loggers, file, history);
            if (timed.wallMs < 0) {
                ++failures;
                continue;
            }
            walls.push_back(timed.wallMs);
            cpus.push_back(timed.cpuMs / static_cast<double>(count));
        }
        if (walls.empty()) {
            continue;
        }
        const double wall = median(walls);
        if (count == 1) {
            single = wall;
        }
        char range[32];
        std::snprintf(range, sizeof range, "%.0f-%.0f",
                      *std::min_element(walls.begin(), walls.end()),
                      *std::max_element(walls.begin(), walls.end()));
        std::printf("%8zu %12.1f %14s %16.2f %9.1f ms\n", count, wall, range, wall / single,
                    median(cpus));
    }
    std::remove(file.c_str());
    std::remove(history.c_str());
    ::rmdir(folder);
    std::printf("goal: 32 loggers in at most 1.2 x the single logger's time\n");
    return failures == 0 ? 0 : 1;
}
